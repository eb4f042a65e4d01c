#include "platform/line_backend.h"

#include <map>

namespace plclink {
namespace {

struct Backends {
    OpenSerialFn openSerial = nullptr;
    const LineBackend* serial = nullptr;
    OpenTcpFn openTcp = nullptr;
    const LineBackend* tcp = nullptr;
};

Backends& Installed() {
    static Backends backends;
    return backends;
}

// The open lines and the backend of each.
std::map<LineHandle, const LineBackend*>& OpenLines() {
    static std::map<LineHandle, const LineBackend*> lines;
    return lines;
}

const LineBackend* BackendOf(LineHandle handle) {
    const auto it = OpenLines().find(handle);
    return it == OpenLines().end() ? nullptr : it->second;
}

bool OpenSerial(const char* portName, LineHandle* handleOut) {
    const Backends& b = Installed();
    if (!b.openSerial(portName, handleOut)) return false;
    OpenLines()[*handleOut] = b.serial;
    return true;
}

TcpOpenResult OpenTcp(const char* host, std::uint16_t port, std::uint32_t timeoutMs,
                      LineHandle* handleOut) {
    const Backends& b = Installed();
    const TcpOpenResult result = b.openTcp(host, port, timeoutMs, handleOut);
    if (result == TcpOpenResult::kConnected) OpenLines()[*handleOut] = b.tcp;
    return result;
}

// A line whose close failed stays with its backend, which decides what a
// second close does.
bool Close(LineHandle handle) {
    const LineBackend* backend = BackendOf(handle);
    if (backend == nullptr || !backend->closePort(handle)) return false;
    OpenLines().erase(handle);
    return true;
}

// One routed operation: the member `op` of the handle's backend.
template <auto op, typename... Args>
bool Routed(LineHandle handle, Args... args) {
    const LineBackend* backend = BackendOf(handle);
    return backend != nullptr && (backend->*op)(handle, args...);
}

}  // namespace

void RouteLineOps(PlatformOps& ops, OpenSerialFn openSerial, const LineBackend& serial,
                  OpenTcpFn openTcp, const LineBackend& tcp) {
    Installed() = Backends{openSerial, &serial, openTcp, &tcp};
    ops.openPort = OpenSerial;
    ops.openTcpLine = OpenTcp;
    ops.closePort = Close;
    ops.getLineState = Routed<&LineBackend::getLineState, LineState*>;
    ops.setLineState = Routed<&LineBackend::setLineState, const LineState*>;
    ops.getTimeouts = Routed<&LineBackend::getTimeouts, LineTimeouts*>;
    ops.setTimeouts = Routed<&LineBackend::setTimeouts, const LineTimeouts*>;
    ops.setupQueues = Routed<&LineBackend::setupQueues, std::uint32_t, std::uint32_t>;
    ops.setEventMask = Routed<&LineBackend::setEventMask, std::uint32_t>;
    ops.waitEvent = Routed<&LineBackend::waitEvent, std::uint32_t*>;
    ops.clearErrors = Routed<&LineBackend::clearErrors, std::uint32_t*, std::uint32_t*>;
    ops.escapeFunction = Routed<&LineBackend::escapeFunction, std::uint32_t>;
    ops.readPort = Routed<&LineBackend::readPort, void*, std::uint32_t, std::uint32_t*>;
    ops.writePort = Routed<&LineBackend::writePort, const void*, std::uint32_t, std::uint32_t*>;
}

}  // namespace plclink
