#include "line_options.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace plclink::host {

std::optional<std::uint16_t> ParityCode(const std::string& name) {
    static const char* const kNames[] = {"none", "odd", "even", "mark", "space"};
    for (std::uint16_t code = 0; code < 5; ++code) {
        if (name == kNames[code] || (name.size() == 1 && name[0] == kNames[code][0])) return code;
    }
    return std::nullopt;
}

std::optional<std::uint16_t> StopBitsCode(const std::string& name) {
    if (name == "1") return 0;
    if (name == "1.5") return 1;
    if (name == "2") return 2;
    return std::nullopt;
}

std::string DriverPortName(const std::string& port) {
#if !defined(_WIN32)
    if (port.size() <= kMaxPortName) return port;
    // A long symbolic link (socat's pty,link=...) names a short device.
    std::string device = port;
    if (char* real = realpath(port.c_str(), nullptr)) {
        device = real;
        std::free(real);
    }
    if (device.size() <= kMaxPortName) return device;
    // The driver takes a name without a leading / as one under /dev.
    const std::string dev = "/dev/";
    if (device.compare(0, dev.size(), dev) == 0) return device.substr(dev.size());
    return device;
#else
    return port;
#endif
}

std::optional<std::string> TcpServerOfPort(const std::string& port) {
    if (port.compare(0, 4, "tcp:") != 0) return std::nullopt;
    const std::string server = port.substr(4);
    const std::size_t colon = server.rfind(':');
    if (colon == std::string::npos || colon == 0) return std::nullopt;
    const std::string number = server.substr(colon + 1);
    if (number.empty() || number.size() > 5 || number.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const unsigned long value = std::stoul(number);
    if (value == 0 || value > 65535) return std::nullopt;
    return server;
}

std::optional<ColdStartRequest> ColdStartRequestFor(const LineOptions& line, std::string& why) {
    ColdStartRequest request{};
    if (line.port.empty()) {
        why = "no serial port given (--port)";
        return std::nullopt;
    }
    const bool tcp = line.port.compare(0, 4, "tcp:") == 0;
    if (tcp && !TcpServerOfPort(line.port)) {
        why = "'" + line.port + "' is not tcp:HOST:PORT (PORT 1..65535)";
        return std::nullopt;
    }
    std::string name = tcp ? kTcpPortName : DriverPortName(line.port);
    if (name.size() > kMaxPortName) {
        why = "port name '" + line.port + "' is longer than the driver's " +
              std::to_string(kMaxPortName) + " characters (a shorter symbolic link to it will do)";
        return std::nullopt;
    }
    // Names on which the driver opens no line, or a device that answers
    // nothing: every transaction would fail, so nothing is tried.
    if (strcasecmp(name.c_str(), "NULLDEV") == 0) {
        why = "NULLDEV is the driver's null line: it reaches no controller";
        return std::nullopt;
    }
    if (name == "NUL") {
        why = "NUL is the null device: it reaches no controller";
        return std::nullopt;
    }
    std::memcpy(request.portName, name.c_str(), name.size() + 1);
    if (line.baud == 0 || line.baud > 65535) {
        why = "baud rate " + std::to_string(line.baud) + " is outside the driver's 1..65535";
        return std::nullopt;
    }
    if (line.dataBits < 5 || line.dataBits > 8) {
        why = "data bits must be 5..8";
        return std::nullopt;
    }
    auto parity = ParityCode(line.parity);
    if (!parity) {
        why = "parity must be none, odd, even, mark or space";
        return std::nullopt;
    }
    auto stopBits = StopBitsCode(line.stopBits);
    if (!stopBits) {
        why = "stop bits must be 1, 1.5 or 2";
        return std::nullopt;
    }
    // The driver counts the read time-out in 10 ms units; 0 would mean no
    // time-out at all, so a silent station would hang the program.
    if (line.timeoutMs < 10 || line.timeoutMs > 600000) {
        why = "read time-out must be 10..600000 ms";
        return std::nullopt;
    }
    request.lineSwitch = 1;
    request.readTimeout = (line.timeoutMs + 9) / 10;
    request.settings = LineSettings{static_cast<std::uint16_t>(line.baud),
                                    static_cast<std::uint16_t>(line.dataBits), *stopBits, *parity};
    return request;
}

ColdStartRequest NullLineRequest() {
    ColdStartRequest request{};
    std::strcpy(request.portName, "NULLDEV");
    request.lineSwitch = 1;
    request.readTimeout = 100;
    request.settings = LineSettings{9600, 8, 0, 2};
    return request;
}

std::string DescribeLineSettings(const LineSettings& settings) {
    static const char* const kParity[] = {"no", "odd", "even", "mark", "space"};
    static const char* const kStop[] = {"1 stop bit", "1.5 stop bits", "2 stop bits"};
    std::string text = std::to_string(settings.baud) + " baud, " + std::to_string(settings.dataBits) +
                       " data bits, ";
    text += settings.parity < 5 ? std::string(kParity[settings.parity]) + " parity, "
                                : "parity code " + std::to_string(settings.parity) + ", ";
    text += settings.stopBits < 3 ? kStop[settings.stopBits]
                                  : "stop-bits code " + std::to_string(settings.stopBits);
    return text;
}

}  // namespace plclink::host
