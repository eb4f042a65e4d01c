// Opening an instance's line: the port the host names, or the serial device
// server that the instance's initialization file puts in its place.
#include "entry/instance_line.h"

#include <cstring>

#include "core/host_log.h"
#include "entry/init_file.h"
#include "serial/serial_port.h"

namespace plclink {

LineHandle OpenInstanceLine(const VpiInstance& instance, const LineConfig& config,
                            std::uint16_t vpiNumber, std::uint32_t readTimeoutTenMs) {
    TcpServer server{};
    // The null line stays the null line (the host asked for no line at all),
    // and a port name that overruns its field is refused as the port's open
    // refuses it.
    const bool nameFits = std::memchr(config.portName, '\0', sizeof config.portName) != nullptr;
    if (!nameFits || IsNullLineName(config.portName) || !ReadTcpServerLine(vpiNumber, &server))
        return OpenLine(config);
    if (IsLineOpen(instance.lineHandle)) {
        err(kLogCategory, "%.11s: TCP line still open, not connected again", config.portName);
        return kNoLine;
    }
    return OpenTcpLine(config, server, readTimeoutTenMs);
}

}  // namespace plclink
