#include "live_instance.h"

#include <cstdlib>
#include <cstring>

namespace plclink::kit {

LiveInstance::LiveInstance(std::uint32_t readTimeout, const char* portName)
    : instance_(static_cast<VpiInstance*>(std::calloc(1, sizeof(VpiInstance)))) {
    ColdStartRequest request{};
    std::strncpy(request.portName, portName, sizeof request.portName - 1);
    request.lineSwitch = 1;
    request.readTimeout = readTimeout;
    request.settings = LineSettings{9600, 8, 0, 2};
    started_ = call(VPI_COLD_START, &request);
}

LiveInstance::~LiveInstance() {
    if (started_ == 0) call(VPI_END_VPI, nullptr);
    std::free(instance_);
}

std::int32_t LiveInstance::call(std::uint32_t command, void* params) {
    VpiCallBlock block{};
    block.instance = instance_;
    block.command = command;
    block.vpiNumber = 1;
    block.params = params;
    return VpiMain(&block);
}

}  // namespace plclink::kit
