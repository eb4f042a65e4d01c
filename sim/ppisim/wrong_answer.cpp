#include "ppisim/wrong_answer.h"

#include <algorithm>

#include "ppisim/timer_counter.h"

namespace ppisim {
namespace {

// The value bytes a read or write of `job` moves.
std::size_t ValueBytes(const Job& job) {
    std::size_t bytes = 0;
    for (const ItemSpec& item : job.items) bytes += std::size_t{item.count} * ElementSizeOf(item.transportSize);
    return bytes;
}

// A read answer of one item with `count` value bytes of a pattern no
// controller memory is likely to hold.
Bytes ReadAnswer(std::uint16_t reference, std::size_t count) {
    const DataItem item{kAccessGranted, kDataBytes, Bytes(count, 0xEE)};
    return EncodeReadResponse(reference, std::span(&item, 1));
}

// Bytes of a read answer besides its values: header, function and item
// count, data item head.
constexpr std::size_t kReadAnswerOverhead = 12 + 2 + 4;

}  // namespace

WrongAnswer AnswerOfAnotherRequest(const Job& job, std::uint32_t choice, std::size_t messageLimit) {
    const std::size_t values = std::max<std::size_t>(ValueBytes(job), 1);
    const bool otherFunction = choice % 2 == 0;
    if (job.function == kFunctionRead) {
        // Timers or counters answered as if they were words: 2 bytes each
        // in place of a record.
        if (!otherFunction && job.items.size() == 1 && IsTimerCounterItem(job.items[0])) {
            const std::size_t words = std::size_t{job.items[0].count} * 2;
            return {ReadAnswer(job.reference, words), "a read answer of 2-byte records"};
        }
        if (otherFunction) return {EncodeWriteResponse(job.reference, Bytes{kAccessGranted}), "a write's answer"};
        // Two bytes more, or two fewer when more would not fit.
        const std::size_t other = values + 2 + kReadAnswerOverhead <= messageLimit ? values + 2 : values - 2;
        return {ReadAnswer(job.reference, other), "a read answer of " + std::to_string(other) + " bytes"};
    }
    if (otherFunction) {
        const std::size_t count = std::min(values, messageLimit - kReadAnswerOverhead);
        return {ReadAnswer(job.reference, count), "a read answer of " + std::to_string(count) + " bytes"};
    }
    return {EncodeWriteResponse(job.reference, Bytes{kAccessGranted, kAccessGranted}),
            "a write answer of two items"};
}

}  // namespace ppisim
