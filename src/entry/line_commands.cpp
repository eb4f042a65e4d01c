// The line commands of a running instance: flush (2), close (12), reopen
// (13) and change (15).
#include <cstring>

#include "entry/command_handlers.h"
#include "core/host_log.h"
#include "entry/instance_line.h"
#include "core/vpi_instance.h"
#include "fdl/station_registry.h"
#include "platform/platform.h"
#include "serial/line_io.h"
#include "serial/serial_port.h"

namespace plclink {
namespace {

// A reopened line gets what ColdStart gives a new one: the instance's read
// time-out, the transmit-empty event mask and RTS dropped.
void TakeOpenedLine(VpiInstance& instance, LineHandle handle) {
    instance.lineHandle = handle;
    instance.lineActive = 1;
    SetReadTimeout(handle, instance.readTimeout);
    WatchTxEmpty(handle);
    SetRts(handle, 0);
    StartStation(instance);
}

// The number that names the instance's initialization file.
std::uint16_t VpiNumberOf(const VpiCallBlock* callBlock) {
    return static_cast<std::uint16_t>(callBlock->vpiNumber);
}

std::int32_t NoInstance(const char* command) {
    err(kLogCategory, "%s() FAIL (no instance or record)", command);
    return VPI_UNAVAILABLE;
}

}  // namespace

bool WatchTxEmpty(LineHandle handle) { return Platform().setEventMask(handle, kEventTxEmpty); }

std::int32_t CloseInstanceLine(VpiInstance& instance) {
    StopStation(instance);  // the station leaves the ring before its line goes
    const LineHandle handle = instance.lineHandle;
    if (handle == kNullLine) {
        instance.lineHandle = kNoLine;
        return VPI_OK;
    }
    if (handle == kNoLine) return VPI_OK;
    SetDtr(handle, 0);
    SetRts(handle, 0);
    if (CloseComPort(handle) != 0) return VPI_UNAVAILABLE;
    instance.lineHandle = kNoLine;
    return VPI_OK;
}

std::int32_t FlushLine(VpiCallBlock* callBlock) {
    VpiInstance* instance = InstanceOf(callBlock);
    if (instance == nullptr) return NoInstance("FlushLine");
    if (instance->lineHandle == kNullLine) return VPI_OK;
    if (StationOf(*instance) != nullptr) return VPI_OK;  // the station's thread owns the line
    ClearLineErrors(instance->lineHandle);
    PurgeInput(instance->lineHandle);
    return VPI_OK;
}

std::int32_t CloseLine(VpiCallBlock* callBlock) {
    VpiInstance* instance = InstanceOf(callBlock);
    if (instance == nullptr) return NoInstance("CloseLine");
    return CloseInstanceLine(*instance);
}

std::int32_t ReopenLine(VpiCallBlock* callBlock) {
    VpiInstance* instance = InstanceOf(callBlock);
    if (instance == nullptr) return NoInstance("ReopenLine");
    const LineHandle handle =
        OpenInstanceLine(*instance, instance->lineConfig, VpiNumberOf(callBlock), instance->readTimeout);
    if (handle == kNoLine) return VPI_UNAVAILABLE;
    TakeOpenedLine(*instance, handle);
    return VPI_OK;
}

std::int32_t ChangeLine(VpiCallBlock* callBlock) {
    VpiInstance* instance = InstanceOf(callBlock);
    const LineChangeRequest* request = ParamsOf<const LineChangeRequest>(callBlock);
    if (instance == nullptr || request == nullptr) return NoInstance("ChangeLine");
    VpiInstance& self = *instance;
    LineConfig& config = self.lineConfig;
    if (request->readTimeout != 0) self.readTimeout = request->readTimeout;
    const bool otherPort =
        std::strncmp(request->portName, config.portName, sizeof config.portName) != 0;
    if (otherPort && self.lineHandle != kNoLine) CloseInstanceLine(self);
    std::memcpy(config.portName, request->portName, sizeof config.portName);
    if (request->settings.baud != 0) config.settings = request->settings;
    const LineHandle handle = OpenInstanceLine(self, config, VpiNumberOf(callBlock), self.readTimeout);
    if (handle == kNoLine) return VPI_UNAVAILABLE;
    TakeOpenedLine(self, handle);
    return VPI_OK;
}

}  // namespace plclink
