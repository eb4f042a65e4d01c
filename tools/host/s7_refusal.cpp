#include "s7_refusal.h"

#include <cstdio>

namespace plclink::host {

namespace {

// Offsets in a response frame: the 7-byte SD2 head, then the 12-byte S7
// response header with the protocol id first and the error class and code
// last.
constexpr std::size_t kProtocolIdAt = 7;
constexpr std::size_t kErrorClassAt = 17;
constexpr std::size_t kErrorCodeAt = 18;
constexpr std::uint8_t kS7ProtocolId = 0x32;

struct Meaning {
    unsigned value;
    const char* words;
};

// Error classes of the S7 response header.
constexpr Meaning kClassMeanings[] = {
    {0x81, "application relationship error"},
    {0x82, "object definition error"},
    {0x83, "no resources available"},
    {0x84, "error on service processing"},
    {0x85, "error on supplies"},
    {0x87, "access error"},
};

// Class and code together, where the pair has a meaning of its own.
constexpr Meaning kClassCodeMeanings[] = {
    {0x8104, "the service is not implemented on the controller, or a frame error was reported"},
    {0x8404, "the function cannot be performed"},
    {0x8500, "wrong frames"},
    {0x8701, "error addressing the object (for example an area length error)"},
    {0x8702, "the requested service is not supported"},
    {0x8703, "access to the object refused"},
    {0x8704, "access error: object damaged"},
};

// access_result of a data item.
constexpr Meaning kAccessResultMeanings[] = {
    {0x01, "hardware fault"},
    {0x03, "access to the object not allowed"},
    {0x05, "invalid address"},
    {0x06, "data type not supported"},
    {0x07, "data type inconsistent"},
    {0x0A, "object does not exist"},
};

template <std::size_t N>
const char* MeaningOf(const Meaning (&table)[N], unsigned value) {
    for (const Meaning& m : table) {
        if (m.value == value) return m.words;
    }
    return nullptr;
}

}  // namespace

std::optional<S7HeaderError> HeaderErrorOf(const std::vector<std::uint8_t>& frame) {
    if (frame.size() <= kErrorCodeAt || frame[kProtocolIdAt] != kS7ProtocolId) return std::nullopt;
    S7HeaderError error{frame[kErrorClassAt], frame[kErrorCodeAt]};
    if (error.errorClass == 0 && error.errorCode == 0) return std::nullopt;
    return error;
}

std::string RefusalText(const S7HeaderError& error) {
    char text[96];
    std::snprintf(text, sizeof text, "refused by the controller (error class 0x%02X, code 0x%02X)",
                  error.errorClass, error.errorCode);
    const char* meaning = MeaningOf(kClassCodeMeanings, error.errorClass * 256u + error.errorCode);
    if (meaning == nullptr) meaning = MeaningOf(kClassMeanings, error.errorClass);
    return meaning != nullptr ? std::string(text) + ": " + meaning : std::string(text);
}

std::string AccessResultText(std::uint8_t accessResult) {
    char text[32];
    std::snprintf(text, sizeof text, "access_result 0x%02x", accessResult);
    const char* meaning = MeaningOf(kAccessResultMeanings, accessResult);
    return meaning != nullptr ? std::string(text) + ": " + meaning : std::string(text);
}

}  // namespace plclink::host
