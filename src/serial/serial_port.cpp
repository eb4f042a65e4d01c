// Opening, configuring and closing a serial port, and its read time-out.
#include "serial/serial_port.h"

#include <cstring>

#include "platform/platform.h"

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

bool IsNullLineName(const char* name) {
    for (std::size_t i = 0;; ++i) {
        char a = name[i];
        char b = kNullLineName[i];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (a != b) return false;
        if (b == '\0') return true;
    }
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

}  // namespace

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
    const PlatformOps& os = Platform();
    LineHandle handle = kNullLine;
    const bool opened = os.openPort(portName, &handle);
    *handleOut = opened ? handle : kNullLine;
    if (!opened) return kPortOpenFailed;
    if (std::strcmp(portName, kNullDeviceName) == 0) return kPortOpened;

    LineState state{};
    if (!os.getLineState(handle, &state)) return CloseAfterFailure(handle, kPortStateUnreadable);
    if (!os.setTimeouts(handle, &kOpenTimeouts)) return CloseAfterFailure(handle, kPortOpenFailed);
    const LineState wanted = DriverLineState(state, settings, controlFlags);
    if (!os.setLineState(handle, &wanted)) return CloseAfterFailure(handle, kPortStateRefused);
    os.setupQueues(handle, kQueueSize, kQueueSize);
    return kPortOpened;
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
