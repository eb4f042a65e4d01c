#include "loaded_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace plclink::kit {

LoadedModule::LoadedModule(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        error_ = dlerror();
        return;
    }
    vpiMain_ = reinterpret_cast<std::int32_t (*)(VpiCallBlock*)>(dlsym(handle_, "VpiMain"));
    if (vpiMain_ == nullptr) error_ = "no VpiMain in " + path;
}

LoadedModule::~LoadedModule() {
    if (handle_ != nullptr) dlclose(handle_);
}

std::uint32_t LoadedModule::instanceSize() const {
    DriverDescriptor descriptor{};
    VpiCallBlock call{};
    call.command = VPI_DESCRIBE_DRIVER;
    call.params = &descriptor;
    return vpiMain_(&call) == 0 ? descriptor.instanceSize : 0;
}

std::string ExecutableDir() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "./";
    std::string dir(path, static_cast<std::size_t>(n));
    return dir.substr(0, dir.rfind('/') + 1);
}

}  // namespace plclink::kit
