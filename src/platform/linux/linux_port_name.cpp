// Port names as a host gives them, resolved to device paths.
#include <cctype>
#include <cstring>

#include "platform/linux/linux_serial_port.h"

namespace plclink::linux_platform {
namespace {

bool SameIgnoringCase(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (std::toupper(static_cast<unsigned char>(*a)) != *b) return false;
    }
    return *a == *b;
}

}  // namespace

std::string DevicePathOf(const char* portName) {
    if (portName[0] == '/') return portName;
    if (SameIgnoringCase(portName, "NUL")) return "/dev/null";
    const char digit = portName[0] != '\0' && portName[1] != '\0' && portName[2] != '\0'
                           ? portName[3] : '\0';
    if (digit >= '1' && digit <= '9' && portName[4] == '\0') {
        const char prefix[4] = {portName[0], portName[1], portName[2], '\0'};
        if (SameIgnoringCase(prefix, "COM")) return std::string("/dev/ttyS") + char(digit - 1);
    }
    return std::string("/dev/") + portName;
}

}  // namespace plclink::linux_platform
