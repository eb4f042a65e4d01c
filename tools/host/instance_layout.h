// The instance record as the module lays it out: its fields in order with
// natural alignment (2152 bytes on a 32-bit build). The host allocates it
// and leaves its contents to the module; this tool only looks at the last
// response frame in it after a failed transaction, to tell the user what
// the controller answered. Where the module reports another size the
// record is not looked into.
#pragma once

#include <cstdint>

#include "plclink/vpi.h"

namespace plclink::host {

inline constexpr std::size_t kInstanceFrameSize = 1024;

struct InstanceLayout {
    std::uint32_t readTimeout;
    std::uint32_t lineActive;
    std::uintptr_t lineHandle;
    char portName[12];
    LineSettings settings;
    std::uint16_t controlFlags;
    std::int32_t instanceNumber;
    std::uint8_t vpiNumber;
    char VpiName[35];
    std::uint32_t blockMode;
    std::uint16_t* valueSlot;
    void* dataStart;
    std::uint8_t txFrame[kInstanceFrameSize];
    std::uint8_t rxFrame[kInstanceFrameSize];
    std::int32_t txLength;
    std::uint32_t rxLength;
    std::uint8_t requestFc;
    std::uint32_t threeDigitPlc;
};

static_assert(sizeof(void*) != 4 || sizeof(InstanceLayout) == 2152);

}  // namespace plclink::host
