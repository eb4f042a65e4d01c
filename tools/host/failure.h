// Why a command failed, in words, from its result code and the lines the
// module logged while it ran.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host_log.h"
#include "s7_refusal.h"

namespace plclink::host {

enum class FailureKind {
    None,
    SilentStation,   // no answer at all
    RefusedAccess,   // the controller answered but refused the access
    BadFrame,        // broken, foreign or corrupted answers
    BadAddress,      // the tag address was rejected
    LineFailure,     // the request could not be sent
    RequestRefused,  // the driver would not build the request
    ControllerRefused,  // the controller answered with an S7 error class and code
    BusyStation,     // the controller answered, but had no resource or time for the request
    NotInRing,       // the driver could not join the token ring of a shared line
};

struct Failure {
    FailureKind kind = FailureKind::None;
    std::string words;  // one sentence for the user
    explicit operator bool() const { return kind != FailureKind::None; }
};

// "silent station", "refused access", ...
std::string KindName(FailureKind kind);

// A read or write (commands 5, 6, 7, 10) at `station`; `response` is the
// last response frame the module received (empty when unknown).
Failure ExplainTransfer(std::int32_t result, const std::vector<LogLine>& lines, int station,
                        const std::vector<std::uint8_t>& response = {});

// A parse (commands 3, 4) of `text`; `hint` says what the text should look like.
Failure ExplainParse(std::int32_t result, const std::vector<LogLine>& lines,
                     const std::string& text, const std::string& hint);

}  // namespace plclink::host
