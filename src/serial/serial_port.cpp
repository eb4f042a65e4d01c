// Opening, configuring and closing a serial port, and its read time-out.
#include "serial/serial_port.h"

#include <algorithm>
#include <cstring>

#include "core/host_log.h"
#include "platform/platform.h"
#include "platform/tcp_line.h"

namespace plclink {
namespace {

constexpr char kNullLineName[] = "NULLDEV";
constexpr char kNullDeviceName[] = "NUL";

// Time-outs of a freshly opened port: reads give up 1000 ms after they
// began, writes never time out.
constexpr LineTimeouts kOpenTimeouts{0, 0, 1000, 0, 0};
constexpr std::uint32_t kQueueSize = 1200;
constexpr char kErrorCharacter = static_cast<char>(0xFC);
// A read time-out of 0 would let a silent station hold the caller for ever;
// it stands for the default instead.
constexpr std::uint32_t kDefaultReadTimeoutTenMs = 100;

// A port name is usable only when its NUL lies within the 12-byte field.
bool NameFitsField(const char (&name)[12]) {
    return std::memchr(name, '\0', sizeof name) != nullptr;
}

std::uint8_t DtrControlOf(std::uint16_t controlFlags) {
    if (controlFlags & 0x0101) return 1;  // enabled
    if (controlFlags & 0x8000) return 2;  // handshake
    return 0;
}

std::uint8_t RtsControlOf(std::uint16_t controlFlags) {
    if (controlFlags & 0x0202) return 1;  // enabled
    if (controlFlags & 0x1000) return 2;  // handshake
    if (controlFlags & 0x2000) return 3;  // toggle
    return 0;
}

// The line state the driver runs a port with, over what the port had.
LineState DriverLineState(LineState state, const LineSettings& settings,
                          std::uint16_t controlFlags) {
    state.baudRate = settings.baud;
    state.byteSize = static_cast<std::uint8_t>(settings.dataBits);
    state.parity = static_cast<std::uint8_t>(settings.parity);
    state.stopBits = static_cast<std::uint8_t>(settings.stopBits);
    state.binary = true;
    state.parityCheck = true;
    state.outxCtsFlow = false;
    state.outxDsrFlow = false;
    state.dtrControl = DtrControlOf(controlFlags);
    state.dsrSensitivity = false;
    state.outX = false;
    state.inX = false;
    state.errorChar = false;
    state.errorCharValue = kErrorCharacter;
    state.nullDiscard = false;
    state.rtsControl = RtsControlOf(controlFlags);
    state.abortOnError = false;
    return state;
}

int CloseAfterFailure(LineHandle handle, int result) {
    Platform().closePort(handle);
    return result;
}

// Steps 3 to 6 of an open: time-outs, line state and queues on an opened
// port; a port that refuses them is closed again.
int ConfigurePort(LineHandle handle, const LineSettings& settings, std::uint16_t controlFlags) {
    const PlatformOps& os = Platform();
    LineState state{};
    if (!os.getLineState(handle, &state)) return CloseAfterFailure(handle, kPortStateUnreadable);
    if (!os.setTimeouts(handle, &kOpenTimeouts)) return CloseAfterFailure(handle, kPortOpenFailed);
    const LineState wanted = DriverLineState(state, settings, controlFlags);
    if (!os.setLineState(handle, &wanted)) return CloseAfterFailure(handle, kPortStateRefused);
    os.setupQueues(handle, kQueueSize, kQueueSize);
    return kPortOpened;
}

// A connection attempt waits the read time-out, but at least 1 s and at
// most 10 s.
constexpr std::uint32_t kShortestConnectTenMs = 100;
constexpr std::uint32_t kLongestConnectTenMs = 1000;

}  // namespace

bool IsNullLineName(const char* name) {
    for (std::size_t i = 0;; ++i) {
        char a = name[i];
        char b = kNullLineName[i];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (a != b) return false;
        if (b == '\0') return true;
    }
}

LineHandle OpenLine(const LineConfig& config) {
    if (!NameFitsField(config.portName)) return kNoLine;
    if (IsNullLineName(config.portName)) return kNullLine;
    LineHandle handle = kNullLine;
    if (OpenComPort(config.portName, config.settings, config.controlFlags, &handle) != kPortOpened)
        return kNoLine;
    return handle;
}

int OpenComPort(const char* portName, const LineSettings& settings, std::uint16_t controlFlags,
                LineHandle* handleOut) {
    LineHandle handle = kNullLine;
    const bool opened = Platform().openPort(portName, &handle);
    *handleOut = opened ? handle : kNullLine;
    if (!opened) return kPortOpenFailed;
    if (std::strcmp(portName, kNullDeviceName) == 0) return kPortOpened;
    return ConfigurePort(handle, settings, controlFlags);
}

LineHandle OpenTcpLine(const LineConfig& config, const TcpServer& server,
                       std::uint32_t readTimeoutTenMs) {
    const std::uint32_t waitMs =
        std::clamp<std::uint32_t>(readTimeoutTenMs, kShortestConnectTenMs, kLongestConnectTenMs) * 10;
    char address[sizeof server.host + 8];
    FormatTcpAddress(server.host, server.port, address, sizeof address);
    const PlatformOps& os = Platform();
    LineHandle handle = kNullLine;
    const TcpOpenResult result =
        os.openTcpLine == nullptr ? TcpOpenResult::kFailed
                                  : os.openTcpLine(server.host, server.port, waitMs, &handle);
    if (result != TcpOpenResult::kConnected) {
        char why[64];
        DescribeTcpOpenResult(result, waitMs, why, sizeof why);
        err(kLogCategory, "%.11s: TCP %s: %s", config.portName, address, why);
        return kNoLine;
    }
    if (ConfigurePort(handle, config.settings, config.controlFlags) != kPortOpened) return kNoLine;
    err(kLogCategory, "%.11s: TCP %s connected; baud rate, parity and RTS/DTR are the server's settings",
        config.portName, address);
    return handle;
}

bool IsLineOpen(LineHandle handle) {
    LineTimeouts timeouts{};
    return handle != kNoLine && handle != kNullLine && Platform().getTimeouts(handle, &timeouts);
}

int CloseComPort(LineHandle handle) {
    return Platform().closePort(handle) ? 0 : kPortCloseFailed;
}

std::uint32_t SetReadTimeout(LineHandle handle, std::uint32_t tenMs) {
    const PlatformOps& os = Platform();
    LineTimeouts timeouts{};
    if (!os.getTimeouts(handle, &timeouts)) return 0;
    if (tenMs == 0) tenMs = kDefaultReadTimeoutTenMs;
    // Saturate instead of wrapping round to a short (or no) time-out.
    constexpr std::uint32_t kLargest = UINT32_MAX / 10;
    const std::uint32_t constant = (tenMs > kLargest ? kLargest : tenMs) * 10;
    const std::uint32_t previous = timeouts.readTotalConstant;
    if (constant == previous) return previous / 10;
    timeouts.readTotalConstant = constant;
    if (!os.setTimeouts(handle, &timeouts)) return 0;
    return previous / 10;
}

}  // namespace plclink
