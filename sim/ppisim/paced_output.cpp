#include "ppisim/paced_output.h"

#include <algorithm>
#include <string>

namespace ppisim {
namespace {

// Noise goes out in slices of this much line time.
constexpr std::int64_t kFloodSliceUs = 10000;

// Bytes a line at `baud` carries in `us` (11 bits per byte).
std::uint64_t BytesIn(std::int64_t us, unsigned baud) {
    return static_cast<std::uint64_t>(us) * baud / 11 / 1000000;
}

}  // namespace

void PacedOutput::trickle(Bytes bytes, std::int64_t gapUs, std::int64_t nowUs) {
    if (bytes.empty()) return;
    trickle_ = Trickle{std::move(bytes), 0, gapUs, nowUs + gapUs};
}

void PacedOutput::abandonTrickle(std::int64_t nowUs) {
    if (!trickle_) return;
    trace_.note(nowUs, "trickle abandoned after " + std::to_string(trickle_->sent) + " of " +
                           std::to_string(trickle_->bytes.size()) + " bytes: the master sends");
    trickle_.reset();
}

void PacedOutput::flood(std::int64_t nowUs, std::int64_t durationUs) {
    if (!flooding()) {
        floodStartUs_ = nowUs;
        floodSent_ = 0;
    }
    const std::int64_t end = durationUs > 0 ? nowUs + durationUs : kNever;
    floodEndUs_ = floodEndUs_ == kNever ? kNever : std::max(floodEndUs_, end);
}

std::int64_t PacedOutput::nextDueUs() const {
    std::int64_t due = trickle_ ? trickle_->dueUs : kNever;
    if (flooding()) {
        const auto sentUs = static_cast<std::int64_t>(floodSent_ * 11 * 1000000 / baud_);
        due = std::min({due, floodStartUs_ + sentUs + kFloodSliceUs, floodEndUs_});
    }
    return due;
}

void PacedOutput::service(std::int64_t nowUs) {
    serviceTrickle(nowUs);
    serviceFlood(nowUs);
}

void PacedOutput::serviceTrickle(std::int64_t nowUs) {
    if (!trickle_ || nowUs < trickle_->dueUs) return;
    const std::uint8_t byte = trickle_->bytes[trickle_->sent++];
    line_.writeAll(std::span(&byte, 1), 0);
    trace_.frame(nowUs, "tx", std::span(&byte, 1));
    if (trickle_->sent == trickle_->bytes.size()) {
        trickle_.reset();
        return;
    }
    trickle_->dueUs += trickle_->gapUs;
}

void PacedOutput::serviceFlood(std::int64_t nowUs) {
    if (!flooding()) return;
    const std::int64_t until = std::min(nowUs, floodEndUs_);
    const std::uint64_t due = BytesIn(until - floodStartUs_, baud_);
    if (due > floodSent_) {
        // Never more than a slice at once: a master that does not read
        // leaves the rest to the line's own buffer limits.
        const std::size_t count = static_cast<std::size_t>(
            std::min<std::uint64_t>(due - floodSent_, BytesIn(kFloodSliceUs, baud_) + 1));
        line_.writeAll(noise_(count), 0);
        floodSent_ += due - floodSent_;
    }
    if (nowUs >= floodEndUs_) {
        trace_.note(nowUs, "flood ended after " + std::to_string(floodSent_) + " bytes");
        floodEndUs_ = 0;
    }
}

}  // namespace ppisim
