// Matching a read or write response to the request it answers. A response
// that passed the frame and header checks may still answer another request
// (a late answer to an earlier one, a replay, another master's exchange):
// it must carry the request's PDU reference, which the controller echoes,
// and its function and sizes must be the ones the request in txFrame asked
// for, or its values would reach the host as good ones.
#include "address/element_areas.h"
#include "core/host_log.h"
#include "core/vpi_instance.h"
#include "ppi/ppi_frame.h"
#include "ppi/s7200_messages.h"

namespace plclink {
namespace {

// Request frame: tSD2Hdr, the 10-byte request header, then the parameters:
// function, item count and the item specification, whose transport size
// and number of elements sit at its offsets 3 and 4.
constexpr std::size_t kRequestParamsOffset = kRequestFunctionOffset;
constexpr std::size_t kRequestTransportOffset = kRequestParamsOffset + 2 + 3;
constexpr std::size_t kRequestCountOffset = kRequestParamsOffset + 2 + 4;

// A read or write response carries two parameter bytes: function and
// num_of_vars.
constexpr std::uint16_t kItemResponseParLg = 2;
// A write response's data: one access_result.
constexpr std::uint16_t kWriteResponseDatLg = 1;
// A read response's data item: access_result, data_type, length, values.
constexpr std::size_t kItemHeadLength = 4;
constexpr std::uint8_t kDataTypeBytes = 0x04;  // its length counts bits
constexpr std::uint8_t kDataTypeOctets = 0x09;  // its length counts bytes

// Bytes per value by the transport size a read request asked for.
std::uint32_t ValueBytesOf(std::uint8_t transport) {
    switch (transport) {
        case 0x06: return 4;
        case 0x04: return 2;
        default: return 1;
    }
}

int Mismatch(std::int32_t number, const char* what, unsigned got, unsigned expected) {
    err(kLogCategory, "Vpi%s%02d: Check Responed FAIL (%s %u, expected %u)", kFamilyTag, number,
        what, got, expected);
    return 1;
}

}  // namespace

int MatchResponseToRequest(const VpiInstance& instance) {
    const std::uint8_t* tx = instance.txFrame;
    const std::uint8_t* rx = instance.rxFrame;
    const std::int32_t number = instance.instanceNumber;
    const std::uint8_t function = tx[kRequestParamsOffset];
    if (function != kFunctionRead && function != kFunctionWrite) return 0;

    const std::uint16_t reference = Big16At(rx + kReferenceOffset);
    const std::uint16_t expected = Big16At(tx + kReferenceOffset);
    if (reference != expected) {
        err(kLogCategory, "Vpi%s%02d: Check Responed FAIL (reference %04x, expected %04x)",
            kFamilyTag, number, static_cast<unsigned>(reference), static_cast<unsigned>(expected));
        return 1;
    }
    const std::uint16_t parLg = ParLgOf(rx);
    if (parLg != kItemResponseParLg) return Mismatch(number, "par_lg", parLg, kItemResponseParLg);
    if (rx[kParamsOffset] != function) return Mismatch(number, "function", rx[kParamsOffset], function);

    const std::uint16_t datLg = DatLgOf(rx);
    if (function == kFunctionWrite) {
        if (datLg != kWriteResponseDatLg) return Mismatch(number, "dat_lg", datLg, kWriteResponseDatLg);
        return 0;
    }
    // Timers and counters: one record per element, its length in bytes. An
    // answer of any other shape would be read as values it does not hold.
    const std::uint8_t transport = tx[kRequestTransportOffset];
    const std::uint32_t recordBytes = static_cast<std::uint32_t>(ElementRecordBytes(transport));
    const std::uint32_t valueBytes =
        (recordBytes != 0 ? recordBytes : ValueBytesOf(transport)) * Big16At(tx + kRequestCountOffset);
    if (datLg != kItemHeadLength + valueBytes)
        return Mismatch(number, "dat_lg", datLg, static_cast<unsigned>(kItemHeadLength + valueBytes));
    const std::uint8_t* item = rx + kParamsOffset + parLg;
    if (recordBytes != 0) {
        if (item[1] != kDataTypeOctets) return Mismatch(number, "data_type", item[1], kDataTypeOctets);
        if (Big16At(item + 2) != valueBytes)
            return Mismatch(number, "data length", Big16At(item + 2), valueBytes);
        return 0;
    }
    // Data in another form than bytes is left to the decoder, which refuses it.
    if (item[1] == kDataTypeBytes && Big16At(item + 2) != valueBytes * 8)
        return Mismatch(number, "data length", Big16At(item + 2), valueBytes * 8);
    return 0;
}

}  // namespace plclink
