// The driver module loaded the way a host loads it: dlopen of plclink.so
// and its one entry point. The host functions (err, KorMkClient, ...) the
// module calls are those the executable defines and exports.
#pragma once

#include <cstdint>
#include <string>

#include "plclink/vpi.h"

namespace plclink::kit {

class LoadedModule {
public:
    explicit LoadedModule(const std::string& path);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool loaded() const { return vpiMain_ != nullptr; }
    const std::string& error() const { return error_; }
    std::int32_t operator()(VpiCallBlock* call) const { return vpiMain_(call); }

    // The instance size command 14 reports.
    std::uint32_t instanceSize() const;

private:
    void* handle_ = nullptr;
    std::int32_t (*vpiMain_)(VpiCallBlock*) = nullptr;
    std::string error_;
};

// The directory of the running executable, with a trailing '/'.
std::string ExecutableDir();

}  // namespace plclink::kit
