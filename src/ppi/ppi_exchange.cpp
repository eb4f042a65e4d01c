#include "ppi/ppi_exchange.h"

#include "core/host_log.h"
#include "platform/platform.h"
#include "ppi/busy_answer.h"
#include "ppi/frame_io.h"
#include "ppi/ppi_frame.h"

namespace plclink {
namespace {

// The poll for the response to `request`: same DA and SA, FC 0x5C.
void BuildPoll(const std::uint8_t* request, std::uint8_t (&poll)[kSd1Length]) {
    poll[0] = kSd1;
    poll[1] = request[kDaOffset];
    poll[2] = request[kSaOffset];
    poll[3] = kFcPoll;
    poll[4] = FrameChecksum(poll + 1, 3);
    poll[5] = kFrameEnd;
}

// The rest of an SD1 frame whose start byte is in response[0]: 0 and the
// whole frame in bytes 0..5, or the failing read's result.
int ReceiveSd1Rest(LineHandle line, std::uint8_t* response) {
    return ReceiveExact(line, response + 1, kSd1Length - 1);
}

// After SC: wait, poll, and read the head of the response into bytes 0..6.
// A station whose answer is not ready yet answers the poll with SC; with a
// short pause it is polled again, up to `pause.busyPolls` times. An SC that
// stays, or an SD1 "no resource" or "no service", ends the exchange as busy.
int PollForResponse(LineHandle line, const std::uint8_t* request, std::uint8_t* response,
                    std::int32_t number, const LinkPause& pause) {
    std::uint8_t poll[kSd1Length];
    BuildPoll(request, poll);
    for (std::uint32_t repolls = 0;; ++repolls) {
        Platform().sleepMs(pause.pauseMs);
        int rc = SendFrame(line, poll, kSd1Length);
        if (rc != kLinkDone) {
            err(kLogCategory, "Vpi%s%02d: Send SD1 fail", kFamilyTag, number);
            return rc;
        }
        rc = ReceiveExact(line, response, 1);
        if (rc == kLinkDone && response[0] == kSc) {
            if (repolls < pause.busyPolls) continue;  // still busy: poll again
            return kLinkBusy;
        }
        if (rc == kLinkDone && response[0] == kSd1) {
            rc = ReceiveSd1Rest(line, response);
            if (rc == kLinkDone && IsBusySd1(request, response)) return kLinkBusy;
            rc = kLinkBroken;  // a foreign or broken SD1: not the response
        } else if (rc == kLinkDone) {
            rc = ReceiveExact(line, response + 1, kSd2HdrLength - 1);
            if (rc == kLinkSilent) rc = kLinkBroken;  // its first byte did arrive
        }
        if (rc != kLinkDone) err(kLogCategory, "Vpi%s%02d: recv. tSD2Hdr fail", kFamilyTag, number);
        return rc;
    }
}

// The controller answered the request with an SD1 frame: read its rest. A
// busy answer of the addressed station ends the exchange as busy, any other
// SD1 as a foreign frame.
int AnswerSd1(LineHandle line, const std::uint8_t* request, std::uint8_t* response,
              std::int32_t number) {
    const int rc = ReceiveSd1Rest(line, response);
    if (rc == kLinkDone && IsBusySd1(request, response)) return kLinkBusy;
    err(kLogCategory, "Vpi%s%02d: recv SD1 after SD2 message", kFamilyTag, number);
    if (rc == kLinkDone) return kLinkBroken;
    err(kLogCategory, "Vpi%s%02d: recv. tSD1Hdr fail", kFamilyTag, number);
    return rc;
}

// The controller passed the token (SD4): read its rest; the exchange fails
// either way, the driver takes no part in token passing.
int ForeignSd4(LineHandle line, std::uint8_t* response, std::int32_t number) {
    err(kLogCategory, "Vpi%s%02d: recv SD4 after SD2 message (pass Token)", kFamilyTag, number);
    const int rc = ReceiveExact(line, response + 1, kSd4Length - 1);
    if (rc == kLinkDone) return kLinkBroken;
    err(kLogCategory, "Vpi%s%02d: recv. tSD4Hdr - 1 fail", kFamilyTag, number);
    return rc;
}

// Reads the S7 header and then the parameters, data, FCS and end byte it
// announces, refusing a frame longer than the response buffer.
int ReceiveResponseBody(LineHandle line, std::uint8_t* response, std::size_t capacity,
                        std::uint32_t* responseLength, std::int32_t number) {
    int rc = ReceiveExact(line, response + kRspHdrOffset, kPpiRspHdrLength);
    if (rc != kLinkDone) {
        err(kLogCategory, "Vpi%s%02d: recv. tPPIRspHdr fail", kFamilyTag, number);
        return rc;
    }
    const std::uint32_t body = std::uint32_t{ParLgOf(response)} + DatLgOf(response);
    const std::uint32_t total = body + kResponseOverhead;
    if (total > capacity) {
        err(kLogCategory, "Vpi%s%02d: recv. frame too long (par_lg + dat_lg + 21 = %u)",
            kFamilyTag, number, static_cast<unsigned>(total));
        return kLinkBroken;
    }
    rc = ReceiveExact(line, response + kParamsOffset, body + 2);
    if (rc != kLinkDone) {
        err(kLogCategory, "Vpi%s%02d: recv. (par_lg + dat_lg + 2) fail", kFamilyTag, number);
        return rc;
    }
    *responseLength = total;
    return kLinkDone;
}

}  // namespace

int PpiExchange(LineHandle line, const std::uint8_t* request, std::int32_t requestLength,
                std::uint8_t* response, std::size_t responseCapacity,
                std::uint32_t* responseLength, std::int32_t number, const LinkPause& pause) {
    *responseLength = 0;
    Platform().sleepMs(pause.pauseMs);

    int rc = SendFrame(line, request, static_cast<std::uint32_t>(requestLength));
    if (rc != kLinkDone) {
        err(kLogCategory, "Vpi%s%02d: Send SD2 fail", kFamilyTag, number);
        return rc;
    }
    rc = ReceiveExact(line, response, 1);
    if (rc != kLinkDone) {
        err(kLogCategory, "Vpi%s%02d: recv. SC Ack fail", kFamilyTag, number);
        return rc;
    }

    switch (response[0]) {
        case kSc:
            rc = PollForResponse(line, request, response, number, pause);
            if (rc != kLinkDone) return rc;
            break;
        case kSd2:  // the response at once, without SC and poll
            rc = ReceiveExact(line, response + 1, kSd2HdrLength - 1);
            if (rc != kLinkDone) {
                err(kLogCategory, "Vpi%s%02d: recv. tSD2Hdr - 1 fail", kFamilyTag, number);
                return rc;
            }
            break;
        case kSd1:
            return AnswerSd1(line, request, response, number);
        case kSd4:
            return ForeignSd4(line, response, number);
        default:
            err(kLogCategory, "Vpi%s%02d: invalid recv. %02x", kFamilyTag, number,
                static_cast<unsigned>(response[0]));
            return kLinkBroken;
    }
    return ReceiveResponseBody(line, response, responseCapacity, responseLength, number);
}

}  // namespace plclink
