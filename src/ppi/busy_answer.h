// A station that has the request but cannot serve it now answers in short:
// an SD1 frame whose FC says "no resource" or "no service", in place of the
// SC or of the response, or an SC in place of the response to the poll.
// Such an answer shows a working line and a busy station.
#pragma once

#include <cstdint>

namespace plclink {

// FDL function codes of a station's SD1 answer that refuse for now.
inline constexpr std::uint8_t kFcNoResource = 0x02;
inline constexpr std::uint8_t kFcNoService = 0x03;

// Whether `sd1`, a whole six-byte SD1 frame, is a busy answer of the
// station that `request` addresses: back from its DA to its SA, FC "no
// resource" or "no service", FCS and end byte intact.
bool IsBusySd1(const std::uint8_t* request, const std::uint8_t* sd1);

// How the busy answer that an exchange left in `response` was given:
// "no resource", "no service" or "SC to the poll".
const char* BusyAnswerName(const std::uint8_t* response);

}  // namespace plclink
