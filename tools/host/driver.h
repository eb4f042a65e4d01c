// The module as this host drives it: command 14 once, then instances of the
// size it reports, every request one VpiMain call with the host's records.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "module_loader.h"
#include "plclink/vpi.h"

namespace plclink::host {

class Driver {
public:
    explicit Driver(VpiMainFunction vpiMain);

    // One VpiMain call.
    std::int32_t call(std::uint32_t command, void* instance, void* params,
                      std::int32_t vpiNumber = 0) const;

    // What command 14 reported; `described()` is false when it failed.
    const DriverDescriptor& descriptor() const { return descriptor_; }
    bool described() const { return describeResult_ == VPI_OK; }
    std::int32_t describeResult() const { return describeResult_; }

private:
    VpiMainFunction vpiMain_;
    DriverDescriptor descriptor_{};
    std::int32_t describeResult_;
};

// One VPI instance: host memory of the reported size, started with
// ColdStart and ended with EndVpi when it goes away.
class Instance {
public:
    Instance(const Driver& driver, std::int32_t vpiNumber);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    std::int32_t coldStart(const ColdStartRequest& request);
    std::int32_t command(std::uint32_t code, void* params);

    // The response frame of the last exchange that received one whole;
    // empty when there was none, or when the module's record is not laid
    // out as this tool knows it.
    std::vector<std::uint8_t> lastResponse() const;

private:
    const Driver& driver_;
    std::int32_t vpiNumber_;
    std::unique_ptr<std::uint64_t[]> memory_;
    bool started_ = false;
};

}  // namespace plclink::host
