// Shows command 16's "Tag Format" dialog of plclink.dll in a real window and
// drives it from a second thread with the messages a user's clicks and keys
// produce: spin arrows, memory area, data type, address, bit, then OK. Checks
// the controls on the way and the address the command writes; then a
// "missing value!" box and Cancel.
//
// With a directory argument it pauses before pressing OK, writes "ready"
// there and waits for "go", so that a screenshot of the filled-in dialog can
// be taken from outside. Exit status 0 when every check passed.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "plclink/vpi.h"

namespace {

using VpiMainFn = int32_t(__cdecl*)(VpiCallBlock*);

constexpr int kPlcEdit = 1037, kBitList = 1022, kPlcSpin = 1036, kAreaCombo = 1060,
              kTypeCombo = 1006, kAddressEdit = 1007, kAddressSpin = 1041;

int failures = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok) ++failures;
}

// A window of the dialog class with this caption, belonging to our process.
// The first window of a process can take long where Wine's 32-bit code runs
// under an emulator.
HWND WaitForDialog(const char* caption, DWORD timeoutMs = 180000) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        HWND w = ::FindWindowA("#32770", caption);
        if (w != nullptr && ::IsWindowVisible(w)) return w;
        ::Sleep(50);
    }
    return nullptr;
}

std::string TextOf(HWND window) {
    char text[64] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ItemText(HWND dialog, int id) { return TextOf(::GetDlgItem(dialog, id)); }

std::string BitListTop(HWND dialog) {
    const LRESULT top = ::SendDlgItemMessageA(dialog, kBitList, LB_GETTOPINDEX, 0, 0);
    char text[16] = {};
    if (top < 0) return "<none>";
    ::SendDlgItemMessageA(dialog, kBitList, LB_GETTEXT, static_cast<WPARAM>(top),
                          reinterpret_cast<LPARAM>(text));
    return text;
}

// The area letters of the memory area list, in order: "M,I,Q,...".
std::string AreaLetters(HWND dialog) {
    std::string letters;
    const LRESULT count = ::SendDlgItemMessageA(dialog, kAreaCombo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char text[64] = {};
        if (::SendDlgItemMessageA(dialog, kAreaCombo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) >=
            static_cast<LRESULT>(sizeof text))
            return "<item too long>";
        ::SendDlgItemMessageA(dialog, kAreaCombo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                              reinterpret_cast<LPARAM>(text));
        if (i != 0) letters += ',';
        letters.append(text, std::strcspn(text, " "));
    }
    return letters;
}

// The message of a message box: the text of its static control that is not
// the icon.
BOOL CALLBACK KeepStaticText(HWND child, LPARAM param) {
    char cls[32] = {};
    ::GetClassNameA(child, cls, sizeof cls);
    const std::string text = TextOf(child);
    if (::lstrcmpiA(cls, "Static") != 0 || text.empty()) return TRUE;
    *reinterpret_cast<std::string*>(param) = text;
    return FALSE;
}

std::string MessageText(HWND box) {
    std::string found;
    ::EnumChildWindows(box, KeepStaticText, reinterpret_cast<LPARAM>(&found));
    return found;
}

// What the user's choice in a drop-down list sends: the new choice, then
// the notification to the dialog.
bool Choose(HWND dialog, int comboId, const char* prefix) {
    HWND combo = ::GetDlgItem(dialog, comboId);
    const LRESULT index =
        ::SendMessageA(combo, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(prefix));
    if (index == CB_ERR) return false;
    ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(combo));
    return true;
}

void Spin(HWND dialog, int spinId, int code) {
    ::SendMessageA(dialog, WM_VSCROLL, MAKEWPARAM(code, 0),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, spinId)));
}

void Press(HWND dialog, int buttonId) {
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, buttonId)));
}

bool FileExists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WaitForScreenshot(const std::string& dir) {
    if (dir.empty()) return;
    FILE* ready = std::fopen((dir + "\\ready").c_str(), "w");
    if (ready != nullptr) std::fclose(ready);
    for (int i = 0; i < 1200 && !FileExists(dir + "\\go"); ++i) ::Sleep(50);
}

struct Driver {
    std::string shotDir;
    int scenario = 0;
};

DWORD WINAPI ComposeByteBit(void* param) {
    const auto* driver = static_cast<Driver*>(param);
    HWND dialog = WaitForDialog("Tag Format");
    Check(dialog != nullptr, "the Tag Format dialog appears");
    if (dialog == nullptr) return 1;

    Check(ItemText(dialog, kPlcEdit) == "01", "PLC number opens as 01");
    Check(ItemText(dialog, kAddressEdit) == "0000", "address opens as 0000");
    Check(!::IsWindowEnabled(::GetDlgItem(dialog, kTypeCombo)), "data type starts disabled");
    Check(!::IsWindowEnabled(::GetDlgItem(dialog, kBitList)), "bit list starts disabled");
    Check(BitListTop(dialog) == "None", "bit list rests on None");
    const std::string areas = AreaLetters(dialog);
    Check(areas == "M,I,Q,V,S,SM,AI,AQ,T,C", "the ten memory areas in order (" + areas + ")");

    Spin(dialog, kPlcSpin, SB_LINEDOWN);
    Check(ItemText(dialog, kPlcEdit) == "01", "PLC spin down stops at 01");
    Spin(dialog, kPlcSpin, SB_LINEUP);
    Check(ItemText(dialog, kPlcEdit) == "02", "PLC spin up gives 02");

    Check(Choose(dialog, kAreaCombo, "M"), "memory area M chosen");
    Check(::IsWindowEnabled(::GetDlgItem(dialog, kTypeCombo)) != FALSE,
          "data type enabled after the area");
    Check(Choose(dialog, kTypeCombo, "B"), "data type B chosen");
    Check(::IsWindowEnabled(::GetDlgItem(dialog, kBitList)) != FALSE, "bit list enabled for B");
    Check(::SendDlgItemMessageA(dialog, kBitList, LB_GETCOUNT, 0, 0) == 9,
          "bit list holds None and 00..07 for B");

    ::SetDlgItemTextA(dialog, kAddressEdit, "0009");
    Spin(dialog, kAddressSpin, SB_LINEUP);
    Check(ItemText(dialog, kAddressEdit) == "0010", "address spin up from 0009 gives 0010");

    const LRESULT bit = ::SendDlgItemMessageA(dialog, kBitList, LB_FINDSTRINGEXACT,
                                              static_cast<WPARAM>(-1),
                                              reinterpret_cast<LPARAM>("05"));
    ::SendDlgItemMessageA(dialog, kBitList, LB_SETTOPINDEX, static_cast<WPARAM>(bit), 0);
    Check(BitListTop(dialog) == "05", "bit 05 scrolled to the top");
    ::RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);

    WaitForScreenshot(driver->shotDir);
    Press(dialog, IDOK);
    return 0;
}

DWORD WINAPI MissingValueThenCancel(void*) {
    HWND dialog = WaitForDialog("Tag Format");
    Check(dialog != nullptr, "the dialog shows again after the first one ended");
    if (dialog == nullptr) return 1;
    Check(ItemText(dialog, kPlcEdit) == "01", "the new dialog opens with the defaults");
    Press(dialog, IDOK);  // no area, no type
    HWND box = WaitForDialog("Error", 60000);
    Check(box != nullptr, "OK without area and type shows an Error box");
    if (box != nullptr) {
        const std::string text = MessageText(box);
        Check(text == "missing value!",
              "the box says \"missing value!\" (it says \"" + text + "\")");
        ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        for (int i = 0; i < 200 && ::IsWindow(box); ++i) ::Sleep(50);
    }
    Check(::IsWindow(dialog) != FALSE, "the dialog stays open after the box");
    Press(dialog, IDCANCEL);
    return 0;
}

int RunScenario(VpiMainFn vpiMain, LPTHREAD_START_ROUTINE drive, Driver* driver, char* gas) {
    GateParseRecord record{};
    record.gas = gas;
    record.ownerWindow = nullptr;
    VpiCallBlock block{nullptr, VPI_TAG_FORMAT, 1, 0, &record};
    HANDLE thread = ::CreateThread(nullptr, 0, drive, driver, 0, nullptr);
    const int32_t result = vpiMain(&block);
    ::WaitForSingleObject(thread, 30000);
    ::CloseHandle(thread);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    Driver driver;
    if (argc > 1) driver.shotDir = argv[1];

    HMODULE module = ::LoadLibraryA("plclink.dll");
    Check(module != nullptr, "plclink.dll loads");
    if (module == nullptr) return 1;
    auto vpiMain = reinterpret_cast<VpiMainFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(module, "VpiMain")));

    char gas[16];
    std::memset(gas, 'X', sizeof gas);
    int result = RunScenario(vpiMain, ComposeByteBit, &driver, gas);
    Check(result == 0, "command 16 returns 0 after OK (got " + std::to_string(result) + ")");
    gas[sizeof gas - 1] = '\0';
    Check(std::strcmp(gas, "02MB00105") == 0, std::string("composed address 02MB00105: ") + gas);
    std::printf("composed: %s\n", gas);

    std::memset(gas, 'Y', sizeof gas);
    result = RunScenario(vpiMain, MissingValueThenCancel, &driver, gas);
    Check(result == 53, "Cancel returns 53 (got " + std::to_string(result) + ")");
    Check(gas[0] == 'Y' && gas[sizeof gas - 1] == 'Y', "Cancel leaves the buffer alone");

    ::FreeLibrary(module);
    std::printf("%d failure(s)\n", failures);
    return failures == 0 ? 0 : 1;
}
