// The check of a multi-item read answer. Any data item that does not match
// its item specification refuses the whole answer: its values could belong
// to another request, or be shifted onto the wrong tags.
#include "core/host_log.h"
#include "core/vpi_instance.h"
#include "ppi/multi_read.h"
#include "ppi/ppi_frame.h"
#include "ppi/s7200_messages.h"

namespace plclink {
namespace {

constexpr std::uint8_t kAccessGranted = 0xFF;
constexpr std::uint8_t kDataTypeBytes = 0x04;  // bytes, words or double words; length in bits
constexpr std::uint8_t kDataTypeOctets = 0x09;  // timer and counter records; length in bytes
constexpr std::uint16_t kItemResponseParLg = 2;  // function, num_of_vars

int Refuse(std::int32_t number, const char* what, unsigned got, unsigned expected) {
    err(kLogCategory, "Vpi%s%02d: Check Responed FAIL (%s %u, expected %u)", kFamilyTag, number,
        what, got, expected);
    return 1;
}

int RefuseItem(std::int32_t number, std::size_t item, const char* what, unsigned got,
               unsigned expected) {
    err(kLogCategory, "Vpi%s%02d: Check Responed FAIL (item %u %s %u, expected %u)", kFamilyTag,
        number, static_cast<unsigned>(item + 1), what, got, expected);
    return 1;
}

}  // namespace

int CheckMultiRdRsp(const VpiInstance& instance, const ReadRequest& request,
                    std::vector<ItemAnswer>& answers) {
    if (CheckResponseFrame(instance) != 0) return 1;
    const std::int32_t number = instance.instanceNumber;
    const std::uint8_t* rx = instance.rxFrame;
    const std::uint16_t reference = Big16At(rx + kReferenceOffset);
    const std::uint16_t expected = Big16At(instance.txFrame + kReferenceOffset);
    if (reference != expected) {
        err(kLogCategory, "Vpi%s%02d: Check Responed FAIL (reference %04x, expected %04x)",
            kFamilyTag, number, static_cast<unsigned>(reference), static_cast<unsigned>(expected));
        return 1;
    }
    const std::uint16_t parLg = ParLgOf(rx);
    if (parLg != kItemResponseParLg) return Refuse(number, "par_lg", parLg, kItemResponseParLg);
    if (rx[kParamsOffset] != kFunctionRead) return Refuse(number, "function", rx[kParamsOffset], kFunctionRead);
    const std::size_t items = request.items.size();
    if (rx[kParamsOffset + 1] != items)
        return Refuse(number, "num_of_vars", rx[kParamsOffset + 1], static_cast<unsigned>(items));

    // The data items one after another; each odd-length one but the last is
    // followed by a fill byte. A refused item is its access_result and an
    // empty head, or, as the last item, its access_result alone.
    const std::size_t dataAt = kParamsOffset + parLg;
    const std::uint8_t* data = rx + dataAt;
    const std::size_t datLg = DatLgOf(rx);
    answers.assign(items, ItemAnswer{});
    std::size_t at = 0;
    for (std::size_t i = 0; i < items; ++i) {
        const bool last = i + 1 == items;
        if (at >= datLg) return RefuseItem(number, i, "at", static_cast<unsigned>(at), static_cast<unsigned>(datLg));
        const std::uint8_t accessResult = data[at];
        answers[i].accessResult = accessResult;
        if (accessResult != kAccessGranted) {
            if (last && datLg - at == 1) {
                at += 1;
                continue;
            }
            if (at + kDataItemHeadBytes > datLg)
                return RefuseItem(number, i, "head end", static_cast<unsigned>(at + kDataItemHeadBytes),
                                  static_cast<unsigned>(datLg));
            const std::uint16_t length = Big16At(data + at + 2);
            if (length != 0) return RefuseItem(number, i, "data length", length, 0);
            at += kDataItemHeadBytes;
            continue;
        }
        const std::uint32_t bytes = request.items[i].bytes;
        std::size_t end = at + kDataItemHeadBytes + bytes + (bytes % 2 != 0 && !last ? 1 : 0);
        if (end > datLg)
            return RefuseItem(number, i, "end", static_cast<unsigned>(end), static_cast<unsigned>(datLg));
        // Timers' and counters' records come as octets, their length in
        // bytes: exactly a record per element, or they would be misread.
        const bool records = AreaPackingOf(request.items[i].areaCode).recordBytes != 0;
        const std::uint8_t dataType = records ? kDataTypeOctets : kDataTypeBytes;
        const std::uint32_t expectedLength = records ? bytes : bytes * 8;
        if (data[at + 1] != dataType) return RefuseItem(number, i, "data_type", data[at + 1], dataType);
        const std::uint16_t length = Big16At(data + at + 2);
        if (length != expectedLength) return RefuseItem(number, i, "data length", length, expectedLength);
        answers[i].valuesAt = dataAt + at + kDataItemHeadBytes;
        at = end;
    }
    if (at != datLg) return Refuse(number, "dat_lg", static_cast<unsigned>(datLg), static_cast<unsigned>(at));
    return 0;
}

}  // namespace plclink
