// The stand-in KORVAN.dll as plclink.dll meets it: loaded beside the module,
// its functions found by their plain names, and its lines handed to a host
// that asks for them.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using ErrFn = int(__cdecl*)(int, const char*, ...);
using SinkFn = void(__cdecl*)(int, const char*);
using SendLinesToFn = void(__cdecl*)(SinkFn);
using MkClientFn = unsigned short(__cdecl*)(const char*, int, int, unsigned char*);
using RefuseFn = void(__cdecl*)(unsigned short);

std::vector<std::pair<int, std::string>> received;

void __cdecl KeepLine(int category, const char* line) { received.emplace_back(category, line); }

template <typename Fn>
Fn Find(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

TEST(KorvanStandin, LinesGoToTheHostsSinkFormatted) {
    HMODULE korvan = ::LoadLibraryA("KORVAN.dll");
    ASSERT_NE(korvan, nullptr);
    auto err = Find<ErrFn>(korvan, "err");
    auto sendLinesTo = Find<SendLinesToFn>(korvan, "KorStandinSendLinesTo");
    ASSERT_NE(err, nullptr);
    ASSERT_NE(sendLinesTo, nullptr);

    received.clear();
    sendLinesTo(KeepLine);
    err(32, "%s: Fail to open %s", "VpiK701", "COM5");
    const std::string longText(2000, 'x');
    err(0, "%s|%d", longText.c_str(), 7);
    sendLinesTo(nullptr);

    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0], std::make_pair(32, std::string("VpiK701: Fail to open COM5")));
    EXPECT_EQ(received[1].first, 0);
    EXPECT_EQ(received[1].second, longText + "|7");
    ::FreeLibrary(korvan);
}

TEST(KorvanStandin, RegistrationGrantsFreshIdsUntilRefused) {
    HMODULE korvan = ::LoadLibraryA("KORVAN.dll");
    ASSERT_NE(korvan, nullptr);
    auto mkClient = Find<MkClientFn>(korvan, "KorMkClient");
    auto refuse = Find<RefuseFn>(korvan, "KorStandinRefuse");
    ASSERT_NE(mkClient, nullptr);
    ASSERT_NE(refuse, nullptr);
    unsigned char first = 0, second = 0;
    EXPECT_EQ(mkClient("KORCLIENT05", 1, 0, &first), 0);
    EXPECT_EQ(mkClient("KORCLIENT06", 1, 0, &second), 0);
    EXPECT_NE(first, second);
    refuse(3);
    unsigned char untouched = 0xAA;
    EXPECT_EQ(mkClient("KORCLIENT07", 1, 0, &untouched), 3);
    EXPECT_EQ(untouched, 0xAA);
    refuse(0);
    ::FreeLibrary(korvan);
}

}  // namespace
