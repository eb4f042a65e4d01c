// The per-instance record: allocated by the host with the size command 14
// reports, its contents owned by the driver.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/line_config.h"

namespace plclink {

inline constexpr std::size_t kFrameBufferSize = 1024;

struct VpiInstance {
    std::uint32_t readTimeout;  // total read time-out, 10 ms units
    std::uint32_t lineActive;
    LineHandle lineHandle;
    LineConfig lineConfig;
    std::int32_t instanceNumber;
    std::uint8_t vpiNumber;
    char VpiName[35];
    std::uint32_t blockMode;  // 0 = single value pending, 1 = block
    std::uint16_t* valueSlot; // dataBuffer + 2 of the pending command
    void* dataStart;          // dataBuffer of the pending command
    std::uint8_t txFrame[kFrameBufferSize];
    std::uint8_t rxFrame[kFrameBufferSize];
    std::int32_t txLength;
    std::uint32_t rxLength;
    std::uint8_t requestFc;
    // The pause between frames that the initialization file asks for, in ms
    // (1..40); 0 = none asked for, the classic 40 ms.
    std::uint8_t pauseMs;
    // The PDU reference of the last read or write request built; each new
    // request takes the next one, so that an answer to an earlier request
    // cannot pass for the answer to the current one. Sits in what was the
    // alignment gap before threeDigitPlc: no other field moves.
    std::uint16_t pduReference;
    std::uint32_t threeDigitPlc;
};

// The instance and its parameter record, taken from a call block.
inline VpiInstance* InstanceOf(const VpiCallBlock* callBlock) {
    return static_cast<VpiInstance*>(callBlock->instance);
}

template <typename Record>
Record* ParamsOf(const VpiCallBlock* callBlock) {
    return static_cast<Record*>(callBlock->params);
}

}  // namespace plclink
