// Answers that belong to another request than the one they answer, as a
// confused controller or a misrouted frame would deliver them: the answer of
// the other function, or of the same function for a different size.
#pragma once

#include <cstdint>
#include <string>

#include "ppisim/s7_message.h"

namespace ppisim {

struct WrongAnswer {
    Bytes message;     // the S7 message
    std::string what;  // how it differs, for the trace
};

// An answer to `job` (a read or a write) that belongs to another request.
// `choice` picks between the two kinds of mismatch; the answer stays within
// `messageLimit` bytes.
WrongAnswer AnswerOfAnotherRequest(const Job& job, std::uint32_t choice, std::size_t messageLimit);

}  // namespace ppisim
