#include "platform/windows/windows_line_state.h"

#include <cstdio>
#include <cstring>

namespace plclink::windows_platform {

LineState LineStateOf(const DCB& dcb) {
    LineState s{};
    s.baudRate = dcb.BaudRate;
    s.byteSize = dcb.ByteSize;
    s.parity = dcb.Parity;
    s.stopBits = dcb.StopBits;
    s.binary = dcb.fBinary != 0;
    s.parityCheck = dcb.fParity != 0;
    s.outxCtsFlow = dcb.fOutxCtsFlow != 0;
    s.outxDsrFlow = dcb.fOutxDsrFlow != 0;
    s.dtrControl = static_cast<std::uint8_t>(dcb.fDtrControl);
    s.dsrSensitivity = dcb.fDsrSensitivity != 0;
    s.outX = dcb.fOutX != 0;
    s.inX = dcb.fInX != 0;
    s.errorChar = dcb.fErrorChar != 0;
    s.nullDiscard = dcb.fNull != 0;
    s.rtsControl = static_cast<std::uint8_t>(dcb.fRtsControl);
    s.abortOnError = dcb.fAbortOnError != 0;
    s.errorCharValue = dcb.ErrorChar;
    return s;
}

void ApplyLineState(const LineState& s, DCB& dcb) {
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = s.baudRate;
    dcb.ByteSize = s.byteSize;
    dcb.Parity = s.parity;
    dcb.StopBits = s.stopBits;
    dcb.fBinary = s.binary;
    dcb.fParity = s.parityCheck;
    dcb.fOutxCtsFlow = s.outxCtsFlow;
    dcb.fOutxDsrFlow = s.outxDsrFlow;
    dcb.fDtrControl = s.dtrControl & 0x3u;
    dcb.fDsrSensitivity = s.dsrSensitivity;
    dcb.fOutX = s.outX;
    dcb.fInX = s.inX;
    dcb.fErrorChar = s.errorChar;
    dcb.fNull = s.nullDiscard;
    dcb.fRtsControl = s.rtsControl & 0x3u;
    dcb.fAbortOnError = s.abortOnError;
    dcb.ErrorChar = s.errorCharValue;
}

LineTimeouts LineTimeoutsOf(const COMMTIMEOUTS& t) {
    return {t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
            t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant};
}

COMMTIMEOUTS CommTimeoutsOf(const LineTimeouts& t) {
    COMMTIMEOUTS out{};
    out.ReadIntervalTimeout = t.readInterval;
    out.ReadTotalTimeoutMultiplier = t.readTotalMultiplier;
    out.ReadTotalTimeoutConstant = t.readTotalConstant;
    out.WriteTotalTimeoutMultiplier = t.writeTotalMultiplier;
    out.WriteTotalTimeoutConstant = t.writeTotalConstant;
    return out;
}

namespace {

// COM followed by a number of 10 or more, in any case: the DOS device names
// stop at COM9, so the higher ports exist only in the device namespace.
bool IsHighComPort(const char* name) {
    if (std::strlen(name) < 5) return false;
    if ((name[0] | 0x20) != 'c' || (name[1] | 0x20) != 'o' || (name[2] | 0x20) != 'm')
        return false;
    const char* digits = name + 3;
    if (digits[0] == '0') return false;
    for (const char* p = digits; *p != '\0'; ++p)
        if (*p < '0' || *p > '9') return false;
    return true;  // at least two digits and no leading zero: 10 or more
}

}  // namespace

bool DeviceNameOf(const char* portName, char* out, std::size_t room) {
    const char* prefix = IsHighComPort(portName) ? "\\\\.\\" : "";
    const int n = std::snprintf(out, room, "%s%s", prefix, portName);
    return n >= 0 && static_cast<std::size_t>(n) < room;
}

}  // namespace plclink::windows_platform
