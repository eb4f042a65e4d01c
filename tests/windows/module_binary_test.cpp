// plclink.dll as the host loads it: one export, cdecl VpiMain, the records
// at their 32-bit sizes, and the resources the module carries.
#include <windows.h>
#include <winver.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plclink/vpi.h"

namespace {

using VpiMainFn = int32_t(__cdecl*)(VpiCallBlock*);

class ModuleBinary : public ::testing::Test {
protected:
    static void SetUpTestSuite() { module_ = ::LoadLibraryA("plclink.dll"); }
    static void TearDownTestSuite() {
        if (module_ != nullptr) ::FreeLibrary(module_);
        module_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(module_, nullptr) << "LoadLibrary(plclink.dll) failed, error "
                                    << ::GetLastError();
    }
    static HMODULE module_;
};

HMODULE ModuleBinary::module_ = nullptr;

TEST_F(ModuleBinary, VpiMainIsExportedUnderItsPlainNameOnly) {
    EXPECT_NE(::GetProcAddress(module_, "VpiMain"), nullptr);
    EXPECT_EQ(::GetProcAddress(module_, "_VpiMain"), nullptr);
    EXPECT_EQ(::GetProcAddress(module_, "VpiMain@4"), nullptr);

    // The export directory holds one name.
    const auto* base = reinterpret_cast<const unsigned char*>(module_);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(dir.VirtualAddress, 0u);
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    EXPECT_EQ(exports->NumberOfNames, 1u);
    EXPECT_EQ(exports->NumberOfFunctions, 1u);
}

TEST_F(ModuleBinary, DescribeDriverReportsTheHostsInstanceSize) {
    auto vpiMain = reinterpret_cast<VpiMainFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(module_, "VpiMain")));
    ASSERT_NE(vpiMain, nullptr);
    DriverDescriptor d;
    std::memset(&d, 0xCC, sizeof d);
    VpiCallBlock block{nullptr, 14, 1, 0, &d};
    ASSERT_EQ(vpiMain(&block), 0);
    EXPECT_EQ(d.driverCode, 82u);
    EXPECT_STREQ(d.name, "Siemens S7-200");
    EXPECT_EQ(d.instanceSize, 2152u);
    EXPECT_EQ(d.defaultLine.baud, 9600);
    EXPECT_EQ(d.defaultLine.parity, 2);
    EXPECT_EQ(d.hostValueB, 0x00BE0023u);
    // An unknown command answers 2 through the same export.
    VpiCallBlock unknown{nullptr, 17, 1, 0, nullptr};
    EXPECT_EQ(vpiMain(&unknown), 2);
}

TEST_F(ModuleBinary, VersionResourceIsTheProjectVersion) {
    char path[MAX_PATH];
    ASSERT_GT(::GetModuleFileNameA(module_, path, sizeof path), 0u);
    DWORD unused = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path, &unused);
    ASSERT_GT(size, 0u);
    std::vector<unsigned char> data(size);
    ASSERT_TRUE(::GetFileVersionInfoA(path, 0, size, data.data()));
    void* block = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(data.data(), "\\", &block, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(block);
    EXPECT_EQ(HIWORD(info->dwFileVersionMS), PLCLINK_VERSION_MAJOR);
    EXPECT_EQ(LOWORD(info->dwFileVersionMS), PLCLINK_VERSION_MINOR);
    EXPECT_EQ(HIWORD(info->dwFileVersionLS), PLCLINK_VERSION_PATCH);
    EXPECT_EQ(LOWORD(info->dwFileVersionLS), PLCLINK_VERSION_TWEAK);
    EXPECT_EQ(info->dwFileType, static_cast<DWORD>(VFT_DLL));
}

}  // namespace
