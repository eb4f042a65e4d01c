// The Win32 platform layer: the mapping of our line state onto the DCB, the
// device names ports are opened by, and the calls that need no serial port.
#include <windows.h>
#include <winver.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/windows/wide_tick_count.h"
#include "platform/windows/windows_line_state.h"

namespace {

using plclink::LineHandle;
using plclink::LineState;
using plclink::NativePlatform;
namespace win = plclink::windows_platform;

TEST(WindowsPlatform, EveryOperationIsFilledIn) {
    const plclink::PlatformOps& ops = NativePlatform();
    const auto* slots = reinterpret_cast<const unsigned char*>(&ops);
    constexpr std::size_t kSlot = sizeof(void (*)());
    static_assert(sizeof(ops) % kSlot == 0);
    // The one optional operation: what a failed dialog lacks.
    const std::size_t optional = offsetof(plclink::PlatformOps, dialogUnavailable) / kSlot;
    for (std::size_t i = 0; i < sizeof(ops) / kSlot; ++i) {
        if (i == optional) continue;
        void (*slot)() = nullptr;
        std::memcpy(&slot, slots + i * kSlot, kSlot);
        EXPECT_NE(slot, nullptr) << "operation " << i;
    }
}

// The tick count goes on across its wrap, and a count read by one thread
// before another thread's later one is older, not a wrap 49.7 days on.
TEST(WindowsPlatform, WideTickCountGoesOnAcrossTheWrapAndTakesALateCountAsOlder) {
    win::WideTickCount clock;
    EXPECT_EQ(clock.Widen(0xFFFFFF00u), 0xFFFFFF00u);
    EXPECT_EQ(clock.Widen(0x00000010u), 0x100000010u);
    EXPECT_EQ(clock.Widen(0xFFFFFFF0u), 0x0FFFFFFF0u);  // read before the wrap
    EXPECT_EQ(clock.Widen(0x00000020u), 0x100000020u);
}

// A DCB as a port might hold it, with every field we do not own set to
// something recognisable.
DCB PortDcb() {
    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = 1200;
    dcb.ByteSize = 7;
    dcb.Parity = ODDPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.fOutxCtsFlow = 1;
    dcb.fOutX = 1;
    dcb.fInX = 1;
    dcb.fNull = 1;
    dcb.fErrorChar = 1;
    dcb.fAbortOnError = 1;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    dcb.fTXContinueOnXoff = 1;
    dcb.XonLim = 111;
    dcb.XoffLim = 222;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.EofChar = 0x1A;
    dcb.EvtChar = 0x7E;
    dcb.ErrorChar = '?';
    return dcb;
}

TEST(WindowsLineState, PpiLineStateLandsInTheDcbFieldsAndNothingElseChanges) {
    LineState ppi{};
    ppi.baudRate = 9600;
    ppi.byteSize = 8;
    ppi.parity = 2;
    ppi.stopBits = 0;
    ppi.binary = true;
    ppi.parityCheck = true;
    ppi.dtrControl = 1;
    ppi.rtsControl = 0;
    ppi.errorCharValue = static_cast<char>(0xFC);

    DCB dcb = PortDcb();
    win::ApplyLineState(ppi, dcb);

    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fParity, 1u);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fDsrSensitivity, 0u);
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fInX, 0u);
    EXPECT_EQ(dcb.fErrorChar, 0u);
    EXPECT_EQ(dcb.fNull, 0u);
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    EXPECT_EQ(dcb.fAbortOnError, 0u);
    EXPECT_EQ(static_cast<unsigned char>(dcb.ErrorChar), 0xFC);
    // What the port had stays.
    EXPECT_EQ(dcb.fTXContinueOnXoff, 1u);
    EXPECT_EQ(dcb.XonLim, 111);
    EXPECT_EQ(dcb.XoffLim, 222);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
    EXPECT_EQ(dcb.EofChar, 0x1A);
    EXPECT_EQ(dcb.EvtChar, 0x7E);
}

TEST(WindowsLineState, EveryFieldSurvivesTheRoundTrip) {
    const LineState read = win::LineStateOf(PortDcb());
    EXPECT_EQ(read.baudRate, 1200u);
    EXPECT_EQ(read.byteSize, 7);
    EXPECT_EQ(read.parity, 1);
    EXPECT_EQ(read.stopBits, 2);
    EXPECT_TRUE(read.outxCtsFlow && read.outX && read.inX && read.nullDiscard &&
                read.errorChar && read.abortOnError);
    EXPECT_FALSE(read.binary || read.parityCheck || read.outxDsrFlow || read.dsrSensitivity);
    EXPECT_EQ(read.dtrControl, 2);
    EXPECT_EQ(read.rtsControl, 3);
    EXPECT_EQ(read.errorCharValue, '?');

    LineState flipped = read;
    flipped.binary = true;
    flipped.dsrSensitivity = true;
    flipped.outX = false;
    flipped.rtsControl = 2;
    DCB dcb = PortDcb();
    win::ApplyLineState(flipped, dcb);
    const LineState back = win::LineStateOf(dcb);
    EXPECT_EQ(std::memcmp(&back, &flipped, sizeof back), 0);
}

TEST(WindowsLineState, TimeoutsKeepTheirOrder) {
    const plclink::LineTimeouts ours{1, 2, 1000, 4, 5};
    const COMMTIMEOUTS t = win::CommTimeoutsOf(ours);
    EXPECT_EQ(t.ReadIntervalTimeout, 1u);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 2u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 1000u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 4u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 5u);
    const plclink::LineTimeouts back = win::LineTimeoutsOf(t);
    EXPECT_EQ(std::memcmp(&back, &ours, sizeof back), 0);
}

std::string DeviceName(const char* port) {
    char out[32];
    if (!win::DeviceNameOf(port, out, sizeof out)) return "<too long>";
    return out;
}

TEST(WindowsPortName, PortsAboveNineOpenInTheDeviceNamespace) {
    EXPECT_EQ(DeviceName("COM1"), "COM1");
    EXPECT_EQ(DeviceName("COM9"), "COM9");
    EXPECT_EQ(DeviceName("COM10"), "\\\\.\\COM10");
    EXPECT_EQ(DeviceName("com256"), "\\\\.\\com256");
    EXPECT_EQ(DeviceName("NUL"), "NUL");
    EXPECT_EQ(DeviceName("COM1X"), "COM1X");
    EXPECT_EQ(DeviceName("COM05"), "COM05");
    EXPECT_EQ(DeviceName("\\\\.\\COM12"), "\\\\.\\COM12");
    char small[8];
    EXPECT_FALSE(win::DeviceNameOf("COM12", small, sizeof small));
}

TEST(WindowsSerial, AMissingPortLeavesTheInvalidHandle) {
    LineHandle h = 0;
    EXPECT_FALSE(NativePlatform().openPort("COM199", &h));
    EXPECT_EQ(h, plclink::kNullLine);
}

TEST(WindowsSerial, TheNullDeviceOpensButHasNoLineState) {
    LineHandle h = 0;
    ASSERT_TRUE(NativePlatform().openPort("NUL", &h));
    EXPECT_NE(h, plclink::kNullLine);
    LineState state{};
    EXPECT_FALSE(NativePlatform().getLineState(h, &state));
    EXPECT_TRUE(NativePlatform().closePort(h));
}

TEST(WindowsVersion, TheModuleFileCarriesTheProjectVersion) {
    const plclink::PlatformOps& ops = NativePlatform();
    const std::uint32_t size = ops.fileVersionInfoSize("plclink.dll");
    ASSERT_GT(size, 0u) << "plclink.dll beside the test program";
    std::vector<unsigned char> data(size);
    ASSERT_TRUE(ops.fileVersionInfo("plclink.dll", size, data.data()));
    std::uint32_t ms = 0, ls = 0, length = 0;
    ASSERT_TRUE(ops.queryFileVersion(data.data(), &ms, &ls, &length));
    EXPECT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(ms, (std::uint32_t{PLCLINK_VERSION_MAJOR} << 16) | PLCLINK_VERSION_MINOR);
    EXPECT_EQ(ls, (std::uint32_t{PLCLINK_VERSION_PATCH} << 16) | PLCLINK_VERSION_TWEAK);

    EXPECT_EQ(ops.fileVersionInfoSize("no-such-module.dll"), 0u);
}

}  // namespace
