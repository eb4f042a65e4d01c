#include "ppisim/frame.h"

#include <algorithm>
#include <iterator>

namespace ppisim {

std::uint8_t FrameChecksum(std::span<const std::uint8_t> bytes) {
    std::uint8_t sum = 0;
    for (std::uint8_t b : bytes) sum = static_cast<std::uint8_t>(sum + b);
    return sum;
}

bool IsSrdRequest(std::uint8_t fc) {
    const std::uint8_t function = fc & 0x0F;
    return (fc & kFcRequestBit) != 0 && (function == 0x0C || function == 0x0D);
}

Bytes EncodeSD1(std::uint8_t da, std::uint8_t sa, std::uint8_t fc) {
    const std::uint8_t body[] = {da, sa, fc};
    return {kSD1, da, sa, fc, FrameChecksum(body), kEndByte};
}

Bytes EncodeSD2(std::uint8_t da, std::uint8_t sa, std::uint8_t fc,
                std::span<const std::uint8_t> data) {
    const auto le = static_cast<std::uint8_t>(data.size() + 3);
    // Sized once and filled in place: GCC 12 warns falsely about
    // vector::insert after an initializer list (-Warray-bounds, GCC bug 107852).
    Bytes frame(7 + data.size() + 2);
    const std::uint8_t head[] = {kSD2, le, le, kSD2, da, sa, fc};
    std::copy(std::begin(head), std::end(head), frame.begin());
    std::copy(data.begin(), data.end(), frame.begin() + 7);
    frame[7 + data.size()] = FrameChecksum(std::span(frame).subspan(4, data.size() + 3));
    frame[8 + data.size()] = kEndByte;
    return frame;
}

Bytes EncodeSD4(std::uint8_t da, std::uint8_t sa) { return {kSD4, da, sa}; }

void FrameReader::feed(std::span<const std::uint8_t> bytes, std::int64_t arrivalUs) {
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    arrivals_.insert(arrivals_.end(), bytes.size(), arrivalUs);
    if (!bytes.empty()) lastArrivalUs_ = arrivalUs;
}

void FrameReader::discardPartial() {
    skipped_ += buffer_.size();
    buffer_.clear();
    arrivals_.clear();
}

void FrameReader::drop(std::size_t count) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(count));
    arrivals_.erase(arrivals_.begin(), arrivals_.begin() + static_cast<std::ptrdiff_t>(count));
}

FrameReader::Scan FrameReader::scan(Frame& out, std::size_t& length) const {
    const Bytes& b = buffer_;
    switch (b[0]) {
    case kSD1:
        length = 6;
        if (b.size() < length) return Scan::NeedMore;
        if (b[4] != FrameChecksum(std::span(b).subspan(1, 3)) || b[5] != kEndByte)
            return Scan::Skip;
        out.kind = FrameKind::SD1;
        break;
    case kSD2: {
        if (b.size() < 4) return Scan::NeedMore;
        const std::size_t le = b[1];
        if (b[2] != le || b[3] != kSD2 || le < 3) return Scan::Skip;
        length = le + 6;
        if (b.size() < length) return Scan::NeedMore;
        if (b[4 + le] != FrameChecksum(std::span(b).subspan(4, le)) || b[5 + le] != kEndByte)
            return Scan::Skip;
        out.kind = FrameKind::SD2;
        out.data.assign(b.begin() + 7, b.begin() + 4 + static_cast<std::ptrdiff_t>(le));
        break;
    }
    case kSD4:
        length = 3;
        if (b.size() < length) return Scan::NeedMore;
        out.kind = FrameKind::SD4;
        out.da = b[1];
        out.sa = b[2];
        out.raw.assign(b.begin(), b.begin() + 3);
        return Scan::Frame;
    default:
        return Scan::Skip;
    }
    const std::size_t head = out.kind == FrameKind::SD1 ? 1 : 4;
    out.da = b[head];
    out.sa = b[head + 1];
    out.fc = b[head + 2];
    out.raw.assign(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(length));
    return Scan::Frame;
}

std::optional<Frame> FrameReader::next(std::int64_t* firstByteUs) {
    while (!buffer_.empty()) {
        Frame frame;
        std::size_t length = 0;
        switch (scan(frame, length)) {
        case Scan::NeedMore:
            return std::nullopt;
        case Scan::Skip:
            drop(1);
            ++skipped_;
            continue;
        case Scan::Frame:
            if (firstByteUs) *firstByteUs = arrivals_.front();
            drop(length);
            return frame;
        }
    }
    return std::nullopt;
}

}  // namespace ppisim
