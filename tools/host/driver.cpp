#include "driver.h"

#include <algorithm>
#include <cstring>

#include "instance_layout.h"

namespace plclink::host {

Driver::Driver(VpiMainFunction vpiMain) : vpiMain_(vpiMain) {
    describeResult_ = call(VPI_DESCRIBE_DRIVER, nullptr, &descriptor_);
}

std::int32_t Driver::call(std::uint32_t command, void* instance, void* params,
                          std::int32_t vpiNumber) const {
    VpiCallBlock block{instance, command, vpiNumber, 0, params};
    return vpiMain_(&block);
}

Instance::Instance(const Driver& driver, std::int32_t vpiNumber)
    : driver_(driver), vpiNumber_(vpiNumber) {
    // Zeroed, 8-byte aligned memory of the size command 14 reported.
    std::size_t words = (driver.descriptor().instanceSize + 7) / 8;
    memory_ = std::make_unique<std::uint64_t[]>(words == 0 ? 1 : words);
}

Instance::~Instance() {
    if (started_) command(VPI_END_VPI, nullptr);
}

std::int32_t Instance::coldStart(const ColdStartRequest& request) {
    ColdStartRequest copy = request;
    // ColdStart counts the instance even when it fails later on, so it is
    // ended in any case.
    started_ = true;
    return command(VPI_COLD_START, &copy);
}

std::int32_t Instance::command(std::uint32_t code, void* params) {
    return driver_.call(code, memory_.get(), params, vpiNumber_);
}

std::vector<std::uint8_t> Instance::lastResponse() const {
    if (driver_.descriptor().instanceSize != sizeof(InstanceLayout)) return {};
    InstanceLayout record;
    std::memcpy(&record, memory_.get(), sizeof record);
    std::size_t length = std::min<std::size_t>(record.rxLength, kInstanceFrameSize);
    return {record.rxFrame, record.rxFrame + length};
}

}  // namespace plclink::host
