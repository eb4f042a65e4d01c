// PPI frames as they travel on the line, seen from a controller: the four
// frame kinds, the frame checksum, building the frames a controller sends and
// cutting the received byte stream into frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ppisim {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kSD1 = 0x10;  // fixed length, no data
inline constexpr std::uint8_t kSD2 = 0x68;  // variable length, with data
inline constexpr std::uint8_t kSD4 = 0xDC;  // token
inline constexpr std::uint8_t kSC = 0xE5;   // short acknowledgement
inline constexpr std::uint8_t kEndByte = 0x16;

// Function codes. A request from the master carries bit 6; its low nibble
// 0x0C or 0x0D asks for send-and-request-data (a request, or a poll when it
// comes in an SD1 frame). A controller answers with 0x08 (response data).
inline constexpr std::uint8_t kFcRequestBit = 0x40;
inline constexpr std::uint8_t kFcResponseData = 0x08;
// A station that takes a request but has no resource to carry it out
// answers the poll with an SD1 frame of this FC.
inline constexpr std::uint8_t kFcNoResource = 0x02;

// A PROFIBUS station takes and sends frames with LE 4..249, so an SD2 frame
// carries at most 249 - 3 data bytes (LE counts DA, SA and FC as well).
inline constexpr std::size_t kMaxLe = 249;
inline constexpr std::size_t kMaxSd2Data = kMaxLe - 3;

enum class FrameKind { SD1, SD2, SD4 };

struct Frame {
    FrameKind kind = FrameKind::SD1;
    std::uint8_t da = 0;
    std::uint8_t sa = 0;
    std::uint8_t fc = 0;
    Bytes data;  // SD2 only: the bytes after FC
    Bytes raw;   // the frame as received, start byte to end byte
};

// Sum modulo 256 of the bytes from DA through the last data byte.
std::uint8_t FrameChecksum(std::span<const std::uint8_t> bytes);

// True for an FC of send-and-request-data from a master.
bool IsSrdRequest(std::uint8_t fc);

Bytes EncodeSD1(std::uint8_t da, std::uint8_t sa, std::uint8_t fc);
// Data longer than kMaxSd2Data cannot be framed; the caller keeps within it.
Bytes EncodeSD2(std::uint8_t da, std::uint8_t sa, std::uint8_t fc,
                std::span<const std::uint8_t> data);
Bytes EncodeSD4(std::uint8_t da, std::uint8_t sa);

// Cuts a stream of received bytes into frames. Bytes that cannot start a
// frame, and frames whose head, checksum or end byte is wrong, are skipped
// one byte at a time so that a frame following line noise is still found.
// A lone SC byte from another station is skipped too: a controller never
// reacts to it.
class FrameReader {
public:
    // Appends received bytes, each stamped with its arrival time.
    void feed(std::span<const std::uint8_t> bytes, std::int64_t arrivalUs);
    // The next complete frame, or nothing while more bytes are needed.
    // `firstByteUs` receives the arrival time of the frame's first byte.
    std::optional<Frame> next(std::int64_t* firstByteUs = nullptr);
    // Forgets a partial frame (after the line has been idle too long).
    void discardPartial();
    std::size_t pending() const { return buffer_.size(); }
    std::int64_t lastArrivalUs() const { return lastArrivalUs_; }
    // Bytes skipped as noise since the start.
    std::size_t skipped() const { return skipped_; }

private:
    enum class Scan { Frame, NeedMore, Skip };
    Scan scan(Frame& out, std::size_t& length) const;
    void drop(std::size_t count);

    Bytes buffer_;
    std::vector<std::int64_t> arrivals_;
    std::int64_t lastArrivalUs_ = 0;
    std::size_t skipped_ = 0;
};

}  // namespace ppisim
