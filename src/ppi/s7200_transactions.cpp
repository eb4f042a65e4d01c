#include "ppi/s7200_transactions.h"

#include <algorithm>
#include <cstdint>

#include "core/host_log.h"
#include "core/vpi_instance.h"
#include "platform/platform.h"
#include "ppi/busy_answer.h"
#include "ppi/frame_io.h"
#include "ppi/ppi_exchange.h"
#include "ppi/ppi_frame.h"
#include "ppi/s7200_messages.h"
#include "ppi/token_visit_exchange.h"
#include "fdl/station_registry.h"

namespace plclink {
namespace {

// The pauses of the instance's line: the one its initialization file asks
// for, at the line's baud rate, with busy re-polls within its read time-out.
LinkPause LinkPauseOf(const VpiInstance& instance) {
    const std::uint64_t readTimeoutMs = std::uint64_t{instance.readTimeout} * 10;
    return LinkPauseFor(instance.pauseMs, instance.lineConfig.settings.baud,
                        static_cast<std::uint32_t>(std::min<std::uint64_t>(readTimeoutMs, UINT32_MAX)));
}

// The exchange of the request in txFrame, the response into rxFrame: now,
// or, in the multi-master mode, handed to the station for a token visit.
int Exchange(VpiCallBlock* callBlock) {
    VpiInstance& instance = *InstanceOf(callBlock);
    if (RingStation* station = StationOf(instance)) return ExchangeInTokenVisit(*station, instance);
    return PpiExchange(instance.lineHandle, instance.txFrame, instance.txLength,
                       instance.rxFrame, sizeof instance.rxFrame, &instance.rxLength,
                       instance.instanceNumber, LinkPauseOf(instance));
}

// The count and value layout of a read or write of one item.
struct ItemJob {
    std::int32_t count;
    ValueLayout layout;
};

int BuildRead(VpiCallBlock* callBlock, void* job) {
    return SetS7200RdReq(callBlock, static_cast<ItemJob*>(job)->count);
}

int AcceptRead(VpiCallBlock* callBlock, void* job) {
    if (CheckResponse(callBlock) != 0) return 1;
    return GetS7200RdRsp(callBlock, static_cast<ItemJob*>(job)->count);
}

int BuildWrite(VpiCallBlock* callBlock, void* job) {
    const auto& item = *static_cast<ItemJob*>(job);
    return SetS7200WrReq(callBlock, item.count, item.layout);
}

int AcceptWrite(VpiCallBlock* callBlock, void*) { return CheckResponse(callBlock); }

// A transaction whose last attempt met a busy station: one line that says
// so and how the station answered, and result 1 (the line works).
int BusyStation(const VpiInstance& instance) {
    err(kLogCategory, "Vpi%s%02d: station %d busy (%s)", kFamilyTag, instance.instanceNumber,
        static_cast<int>(instance.txFrame[kDaOffset]), BusyAnswerName(instance.rxFrame));
    return 1;
}

}  // namespace

// Up to three attempts. Silence, a busy station and a refused response are
// retried as they are; a broken or foreign frame first sets up the
// association again, and an association that meets silence ends the
// transaction.
int RunS7200Transaction(VpiCallBlock* callBlock, const TransactionSteps& steps) {
    int status = kLinkDone;
    for (int attempt = 0; attempt < kTransactionAttempts; ++attempt) {
        if (steps.build(callBlock, steps.job) != 0) {
            err(kLogCategory, "%s", steps.buildFailLine);
            return 1;
        }
        status = Exchange(callBlock);
        if (status == kLinkNotInRing) return NotInTokenRing(*InstanceOf(callBlock));
        if (status == kLinkDone) {
            if (steps.accept(callBlock, steps.job) == 0) return 0;
        } else if (status == kLinkBroken) {
            status = S7200EstablishAssociation(callBlock);
            if (status == kLinkNotInRing) return NotInTokenRing(*InstanceOf(callBlock));
            if (status == kLinkBusy) continue;  // the line works; the station is busy
            if (status != 0) err(kLogCategory, steps.associationFailLine, status);
            if (status == kLinkSilent) break;
        }
    }
    if (status == kLinkBusy) return BusyStation(*InstanceOf(callBlock));
    // A refused last attempt, or one whose association succeeded, gives 1.
    return status == kLinkDone ? 1 : 2;
}

int S7200EstablishAssociation(VpiCallBlock* callBlock) {
    err(kLogCategory, "S7200EstablishAssociation()");
    int result = kLinkSilent;
    for (int attempt = 0; attempt < kAssociationAttempts; ++attempt) {
        Platform().sleepMs(kAssociationWaitMs);
        SetS7200EstablishAssociationReq(callBlock);
        result = Exchange(callBlock);
        // The line works, or there is no ring to work in: no more waits.
        if (result == kLinkBusy || result == kLinkNotInRing) return result;
        if (result == kLinkDone) {
            if (CheckResponse(callBlock) == 0) return 0;
            result = kLinkBroken;
        }
    }
    return result;
}

int S7200Read(VpiCallBlock* callBlock, std::int32_t count) {
    ItemJob job{count, ValueLayout::kByCount};
    return RunS7200Transaction(callBlock, {BuildRead, AcceptRead, &job, "S7200Read() SetS7200RdReq FAIL",
                                           "S7200Read() S7200EstablishAssociation() rc = %d"});
}

int S7200Write(VpiCallBlock* callBlock, std::int32_t count, ValueLayout layout) {
    ItemJob job{count, layout};
    return RunS7200Transaction(callBlock,
                               {BuildWrite, AcceptWrite, &job,
                                "invalid failed blockParser S7200Write() SetS7200WrReq FAIL",
                                "S7200Write() S7200EstablishAssociation() rc = %d"});
}

}  // namespace plclink
