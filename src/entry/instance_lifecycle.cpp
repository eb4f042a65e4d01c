// Instance start and stop: ColdStart (command 1) and EndVpi (command 11).
#include <cstdio>
#include <cstring>

#include "entry/command_handlers.h"
#include "core/host_log.h"
#include "entry/init_file.h"
#include "entry/instance_line.h"
#include "entry/version_line.h"
#include "core/vpi_instance.h"
#include "fdl/ring_settings.h"
#include "fdl/station_registry.h"
#include "ppi/link_pause.h"
#include "serial/line_io.h"
#include "serial/serial_port.h"

namespace plclink {

std::int32_t instanceCount = 0;

namespace {

constexpr std::uint8_t kRequestFcFirst = 0x7C;
constexpr std::int32_t kEndedInstance = -1;

void NameInstance(VpiInstance& instance) {
    ++instanceCount;
    instance.instanceNumber = instanceCount;
    std::snprintf(instance.VpiName, sizeof instance.VpiName, "Vpi%s%02d", kFamilyTag,
                  instance.instanceNumber);
}

// Registers the instance as a client of the host; the client id is not kept.
bool RegisterClient(std::uint8_t vpiNumber) {
    char clientName[16];
    std::snprintf(clientName, sizeof clientName, "KORCLIENT%02d", vpiNumber);
    unsigned char clientId = 0;
    const unsigned short rc = KorMkClient(clientName, 1, 0, &clientId);
    if (rc != 0) {
        err(kLogCategory, "Error while registering as a Korvan client, rc = %hu", rc);
        return false;
    }
    return true;
}

// Tells the pause between frames when the initialization file changed it.
void LogPauseInForce(const VpiInstance& instance) {
    const std::uint32_t baud = instance.lineConfig.settings.baud;
    const std::uint32_t pause = PauseInForce(instance.pauseMs, baud);
    if (pause == kClassicPauseMs) return;
    if (pause > instance.pauseMs) {
        err(kLogCategory, "%s: pause between frames %u ms (raised to the bus idle time at %u baud)",
            instance.VpiName, static_cast<unsigned>(pause), static_cast<unsigned>(baud));
    } else {
        err(kLogCategory, "%s: pause between frames %u ms, busy stations polled again",
            instance.VpiName, static_cast<unsigned>(pause));
    }
}

// The multi-master mode of the initialization file: its settings and the
// times that follow, once; then the station starts joining the ring.
void StartMultiMaster(VpiInstance& instance, std::uint16_t vpiNumber) {
    RingSettings settings;
    if (!ReadMultiMasterLine(vpiNumber, &settings)) {
        KeepRingSettings(instance, RingSettings{});
        return;
    }
    const RingTiming timing = RingTimingFor(settings, instance.lineConfig.settings.baud);
    err(kLogCategory,
        "%s: multi-master station %u, HSA %u, slot time %u bit times (%u ms), gap update factor %u; "
        "lost token after %u ms, joins the token ring within %u.%u s",
        instance.VpiName, static_cast<unsigned>(settings.address), static_cast<unsigned>(settings.hsa),
        static_cast<unsigned>(timing.slotBits), static_cast<unsigned>(timing.slotMs),
        static_cast<unsigned>(settings.gapFactor), static_cast<unsigned>(timing.lostTokenMs),
        static_cast<unsigned>(timing.joinBoundMs / 1000),
        static_cast<unsigned>(timing.joinBoundMs % 1000 / 100));
    TcpServer server{};
    if (ReadTcpServerLine(vpiNumber, &server))
        err(kLogCategory, "%s: multi-master over a TCP line: the network's latency may exceed the slot time",
            instance.VpiName);
    KeepRingSettings(instance, settings);
    StartStation(instance);
}

LineConfig ConfigOf(const ColdStartRequest& request) {
    LineConfig config{};
    std::memcpy(config.portName, request.portName, sizeof config.portName);
    config.settings = request.settings;
    config.controlFlags = kDriverControlFlags;
    return config;
}

}  // namespace

std::int32_t ColdStart(VpiCallBlock* callBlock) {
    VpiInstance* instance = InstanceOf(callBlock);
    const ColdStartRequest* request = ParamsOf<const ColdStartRequest>(callBlock);
    if (instance == nullptr || request == nullptr) {
        err(kLogCategory, "ColdStart() FAIL (no instance or record)");
        return VPI_UNAVAILABLE;
    }
    VpiInstance& self = *instance;
    const auto vpiNumber = static_cast<std::uint8_t>(callBlock->vpiNumber);

    const ModuleVersion version = ReadModuleVersion(self.VpiName);
    NameInstance(self);
    self.pauseMs = 0;  // the classic pause until the initialization file asks otherwise
    char versionText[48];
    FormatVersionText(version, versionText, sizeof versionText);
    err(kLogCategory, "%s: %s, %s", self.VpiName, versionText, BuildStamp());

    if (!RegisterClient(vpiNumber)) return VPI_UNAVAILABLE;

    self.lineActive = request->lineSwitch;
    if (self.lineActive == 0) return VPI_OK;
    self.requestFc = kRequestFcFirst;

    const LineConfig config = ConfigOf(*request);
    const std::uint32_t readTimeout =
        request->readTimeout == 0 ? kDefaultReadTimeout : request->readTimeout;
    const LineHandle handle = OpenInstanceLine(
        self, config, static_cast<std::uint16_t>(callBlock->vpiNumber), readTimeout);
    if (handle == kNoLine) {
        err(kLogCategory, "%s: Fail to open %.11s", self.VpiName, request->portName);
        return VPI_UNAVAILABLE;
    }
    self.lineHandle = handle;
    SetReadTimeout(handle, readTimeout);
    self.lineConfig = config;
    self.readTimeout = readTimeout;
    self.vpiNumber = vpiNumber;
    self.threeDigitPlc = 0;
    if (!WatchTxEmpty(handle)) err(kLogCategory, "%s: ColdStart() SetCommMask() fail", self.VpiName);
    SetRts(handle, 0);
    ReadInitializationFile(self, static_cast<std::uint16_t>(callBlock->vpiNumber));
    LogPauseInForce(self);
    StartMultiMaster(self, static_cast<std::uint16_t>(callBlock->vpiNumber));
    err(kLogCategory, "%s: ColdStart() end OK", self.VpiName);
    return VPI_OK;
}

std::int32_t EndVpi(VpiCallBlock* callBlock) {
    VpiInstance* instance = InstanceOf(callBlock);
    if (instance == nullptr) {
        err(kLogCategory, "EndVpi() FAIL (no instance)");
        return VPI_UNAVAILABLE;
    }
    CloseInstanceLine(*instance);
    ForgetInstance(*instance);
    err(kLogCategory, "%.35s: EndVpi()", instance->VpiName);
    // An instance that has already ended is not counted again, and the count
    // of instances never goes below none.
    if (instance->instanceNumber != kEndedInstance && instanceCount > 0) --instanceCount;
    err(kLogCategory, "%.35s: No. of Instances left: %d", instance->VpiName, instanceCount);
    instance->instanceNumber = kEndedInstance;
    return VPI_OK;
}

}  // namespace plclink
