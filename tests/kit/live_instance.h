// A started driver instance, as the host has one: the instance memory
// allocated and zeroed, ColdStart run on a port of the platform in force,
// EndVpi and the release of the memory at the end.
#pragma once

#include <cstdint>

#include "entry/vpi_instance.h"
#include "plclink/vpi.h"

namespace plclink::kit {

class LiveInstance {
public:
    // `readTimeout` in 10 ms units.
    explicit LiveInstance(std::uint32_t readTimeout, const char* portName = "COM1");
    ~LiveInstance();
    LiveInstance(const LiveInstance&) = delete;
    LiveInstance& operator=(const LiveInstance&) = delete;

    // The result of ColdStart: 0 when the instance is running.
    std::int32_t started() const { return started_; }
    VpiInstance* instance() const { return instance_; }

    // One VpiMain call for this instance.
    std::int32_t call(std::uint32_t command, void* params);

private:
    VpiInstance* instance_;
    std::int32_t started_;
};

}  // namespace plclink::kit
