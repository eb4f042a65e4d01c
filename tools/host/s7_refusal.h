// What a controller says when it refuses a request: the error class and
// code of the S7 response header, or the access_result of a data item, in
// words where their meaning is published.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plclink::host {

struct S7HeaderError {
    std::uint8_t errorClass = 0;
    std::uint8_t errorCode = 0;
};

// The error class and code of a received response frame (SD2 head, then the
// S7 response header), when the frame carries the S7 protocol id and a
// class or code other than 0.
std::optional<S7HeaderError> HeaderErrorOf(const std::vector<std::uint8_t>& frame);

// "refused by the controller (error class 0x84, code 0x04): error on
// service processing"; the meaning is left out where none is published.
std::string RefusalText(const S7HeaderError& error);

// "access_result 0x0a: object does not exist"; the meaning is left out
// where none is published.
std::string AccessResultText(std::uint8_t accessResult);

}  // namespace plclink::host
