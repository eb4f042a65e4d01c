#include "ppi/token_visit_exchange.h"

#include "core/host_log.h"
#include "fdl/fdl_line.h"
#include "fdl/station_registry.h"
#include "ppi/link_pause.h"
#include "ppi/ppi_exchange.h"

namespace plclink {
namespace {

struct VisitExchange {
    VpiInstance* instance;
    std::uint32_t rotationMs;
};

// Inside the visit the pauses are the bus idle time, every answer has to
// start within the slot time after the request's end on the line, and a
// station that answers the poll with SC is polled again for at most one
// target rotation time, so that the token's hold stays near what the other
// masters expect.
int RunExchange(void* context, const VisitTiming& timing) {
    const VisitExchange& job = *static_cast<VisitExchange*>(context);
    VpiInstance& instance = *job.instance;
    SetLineWaitMs(instance.lineHandle,
                  timing.slotMs + FrameLineMs(static_cast<std::uint32_t>(instance.txLength), timing.baud));
    const LinkPause pause =
        LinkPauseFor(timing.idleMs, instance.lineConfig.settings.baud, job.rotationMs);
    return PpiExchange(instance.lineHandle, instance.txFrame, instance.txLength, instance.rxFrame,
                       sizeof instance.rxFrame, &instance.rxLength, instance.instanceNumber, pause);
}

}  // namespace

int ExchangeInTokenVisit(RingStation& station, VpiInstance& instance) {
    VisitExchange job{&instance, station.Timing().rotationMs};
    const std::uint32_t waitMs = instance.readTimeout * 10 + station.Timing().rotationMs;
    return station.RunInTokenVisit(TokenVisitWork{RunExchange, &job}, waitMs);
}

int NotInTokenRing(const VpiInstance& instance) {
    char reason[96] = "the station is not running";
    if (const RingStation* station = StationOf(instance))
        station->DescribeNotInRing(reason, sizeof reason);
    err(kLogCategory, "Vpi%s%02d: not in the token ring (%s)", kFamilyTag, instance.instanceNumber,
        reason);
    return 2;
}

}  // namespace plclink
