// plclink.dll as the host loads it: one export, cdecl VpiMain, the records
// at their 32-bit sizes, and the resources the module carries.
#include <windows.h>
#include <winver.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dialog_template.h"
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

struct ExpectedControl {
    int id;
    const char* className;
    const char* text;
    short x, y, cx, cy;
    DWORD style;  // besides WS_CHILD | WS_VISIBLE
    DWORD exStyle;
};

// The Tag Format template, control by control in tab order.
const ExpectedControl kTagFormatControls[] = {
    {1037, "EDIT", "", 56, 22, 14, 12, WS_TABSTOP | ES_UPPERCASE,
     WS_EX_CLIENTEDGE | WS_EX_STATICEDGE},
    {1022, "LISTBOX", "", 56, 112, 35, 11,
     WS_DISABLED | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
         LBS_WANTKEYBOARDINPUT,
     WS_EX_STATICEDGE},
    {1, "BUTTON", "OK", 165, 68, 40, 14, WS_TABSTOP | BS_DEFPUSHBUTTON, 0},
    {2, "BUTTON", "Cancel", 165, 90, 40, 14, WS_TABSTOP | BS_PUSHBUTTON, 0},
    {1036, "SCROLLBAR", "", 70, 22, 11, 12, SBS_VERT | SBS_LEFTALIGN, 0},
    {1057, "STATIC", "PLC number:", 7, 22, 42, 8, WS_GROUP | SS_LEFT, 0},
    {1054, "STATIC", "Memory type:", 7, 68, 43, 10, WS_GROUP | SS_LEFT, 0},
    {1058, "STATIC", "Address:", 8, 91, 30, 8, WS_GROUP | SS_LEFT, 0},
    {1055, "STATIC", "Bit number:", 7, 112, 37, 10, WS_GROUP | SS_LEFT, 0},
    {-1, "BUTTON", "", 55, 18, 26, 18, BS_GROUPBOX, 0},
    {-1, "STATIC", "Point type:", 7, 46, 34, 11, WS_GROUP | SS_LEFT, 0},
    {1060, "COMBOBOX", "", 56, 44, 84, 57, WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST, 0},
    {1006, "COMBOBOX", "", 56, 67, 69, 76,
     WS_DISABLED | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST, WS_EX_STATICEDGE},
    {1007, "EDIT", "", 55, 89, 30, 12, WS_TABSTOP | ES_NUMBER | ES_UPPERCASE,
     WS_EX_CLIENTEDGE | WS_EX_STATICEDGE},
    {1041, "SCROLLBAR", "", 84, 89, 11, 12, SBS_VERT | SBS_LEFTALIGN, 0},
};

TEST_F(ModuleBinary, TagFormatTemplateIsResource101) {
    HRSRC found = ::FindResourceA(module_, MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(5));
    ASSERT_NE(found, nullptr);
    HGLOBAL loaded = ::LoadResource(module_, found);
    ASSERT_NE(loaded, nullptr);
    plclink::testing::DialogTemplate t;
    ASSERT_TRUE(plclink::testing::ReadDialogTemplate(::LockResource(loaded),
                                                     ::SizeofResource(module_, found), &t));
    EXPECT_TRUE(t.extended);
    EXPECT_EQ(t.caption, "Tag Format");
    EXPECT_EQ(t.cx, 232);
    EXPECT_EQ(t.cy, 138);
    EXPECT_EQ(t.style, static_cast<DWORD>(WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(t.exStyle, 0u);
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.typeface, "MS Sans Serif");
    EXPECT_EQ(t.menu, "");
    EXPECT_EQ(t.windowClass, "");

    ASSERT_EQ(t.controls.size(), std::size(kTagFormatControls));
    for (std::size_t i = 0; i < t.controls.size(); ++i) {
        const plclink::testing::DialogControl& got = t.controls[i];
        const ExpectedControl& want = kTagFormatControls[i];
        SCOPED_TRACE("control " + std::to_string(i) + " id " + std::to_string(want.id));
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.className, want.className);
        EXPECT_EQ(got.text, want.text);
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.cx, want.cx);
        EXPECT_EQ(got.cy, want.cy);
        EXPECT_EQ(got.style, WS_CHILD | WS_VISIBLE | want.style);
        EXPECT_EQ(got.exStyle, want.exStyle);
    }
}

}  // namespace
