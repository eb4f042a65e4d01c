// The check of every response frame against the request just sent.
#include "core/host_log.h"
#include "core/vpi_instance.h"
#include "ppi/ppi_frame.h"
#include "ppi/s7200_messages.h"

namespace plclink {
namespace {

constexpr std::uint8_t kProtocolId = 0x32;
constexpr std::uint8_t kAccessGranted = 0xFF;

// Head, addresses and FC of the SD2 frame: the response goes from the
// request's DA back to its SA.
bool Sd2HeaderAnswers(const VpiInstance& instance) {
    const std::uint8_t* rx = instance.rxFrame;
    const std::uint8_t* tx = instance.txFrame;
    return rx[0] == kSd2 && rx[1] == rx[2] && rx[3] == kSd2 && rx[kDaOffset] == tx[kSaOffset] &&
           rx[kSaOffset] == tx[kDaOffset] && rx[kFcOffset] == kFcResponse;
}

// Protocol id, error class and error code of tPPIRspHdr.
bool PpiRspHeaderClean(const std::uint8_t* rx) {
    const std::uint8_t* header = rx + kRspHdrOffset;
    return header[0] == kProtocolId && header[10] == 0 && header[11] == 0;
}

// FCS over DA through the last data byte, and the end byte.
bool FrameSealIntact(const std::uint8_t* rx, std::uint32_t length) {
    const std::uint8_t fcs = FrameChecksum(rx + kDaOffset, length - 2 - kDaOffset);
    return rx[length - 2] == fcs && rx[length - 1] == kFrameEnd;
}

}  // namespace

int CheckResponseFrame(const VpiInstance& instance) {
    const std::int32_t number = instance.instanceNumber;
    const std::uint8_t* rx = instance.rxFrame;
    const std::uint32_t length = instance.rxLength;

    if (length < kResponseOverhead) {
        err(kLogCategory, "Vpi%s%02d: Check Responed FAIL (minimum length error: %d)", kFamilyTag,
            number, static_cast<int>(length));
        return 1;
    }
    if (!Sd2HeaderAnswers(instance)) {
        err(kLogCategory, "Vpi%s%02d: Check Responed FAIL (SD2 header)", kFamilyTag, number);
        return 1;
    }
    if (!PpiRspHeaderClean(rx)) {
        err(kLogCategory, "Vpi%s%02d: Check Responed FAIL (PPI Rsp. header error)", kFamilyTag,
            number);
        return 1;
    }
    const std::uint16_t parLg = ParLgOf(rx);
    const std::uint16_t datLg = DatLgOf(rx);
    const std::uint32_t announced = (parLg + datLg + kResponseOverhead) % 65536u;
    if (length != announced || length > kFrameBufferSize) {
        err(kLogCategory, "Vpi%s%02d: Check Responed FAIL (length error)", kFamilyTag, number);
        return 1;
    }
    // LE counts DA through the last data byte: the frame less its four head
    // bytes, FCS and end byte.
    if (rx[1] != length - 6) {
        err(kLogCategory, "Vpi%s%02d: Check Responed FAIL (LE %u, expected %u)", kFamilyTag,
            number, static_cast<unsigned>(rx[1]), static_cast<unsigned>(length - 6));
        return 1;
    }
    // A corrupted frame must not hand its values to the host as good ones.
    if (!FrameSealIntact(rx, length)) {
        err(kLogCategory, "Vpi%s%02d: Check Responed FAIL (FCS)", kFamilyTag, number);
        return 1;
    }
    return 0;
}

int CheckResponse(VpiCallBlock* callBlock) {
    const VpiInstance& instance = *InstanceOf(callBlock);
    if (CheckResponseFrame(instance) != 0) return 1;
    const std::int32_t number = instance.instanceNumber;
    const std::uint8_t* rx = instance.rxFrame;
    const std::uint16_t parLg = ParLgOf(rx);
    const std::uint16_t datLg = DatLgOf(rx);
    // The association's answer carries no data. A read or write answer
    // without data answers no request of ours: the match below refuses it.
    if (datLg == 0 && instance.txFrame[kRequestFunctionOffset] == kFunctionSetup) return 0;
    if (rx[kParamsOffset + 1] != 1) {
        err(kLogCategory, "Vpi%s%02d: Check Responed FAIL (num_of_vars != 1)", kFamilyTag, number);
        return 1;
    }
    const std::uint8_t accessResult = rx[kParamsOffset + parLg];
    if (datLg != 0 && accessResult != kAccessGranted) {
        err(kLogCategory, "Vpi%s%02d: Check Responed FAIL (access_result: %02x)", kFamilyTag,
            number, static_cast<unsigned>(accessResult));
        return 1;
    }
    return MatchResponseToRequest(instance);
}

}  // namespace plclink
