// Loads the driver module the way a host does and finds its entry point.
// One small file per concern so the Windows build reuses it unchanged.
#pragma once

#include <memory>
#include <string>

#include "plclink/vpi.h"

namespace plclink::host {

using VpiMainFunction = std::int32_t (*)(VpiCallBlock*);

class LoadedModule {
public:
    // Loads the module at `path` and looks up VpiMain. On failure returns
    // nullptr and puts the reason into `why`.
    static std::unique_ptr<LoadedModule> Load(const std::string& path, std::string& why);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    VpiMainFunction vpiMain() const { return vpiMain_; }
    const std::string& path() const { return path_; }

private:
    LoadedModule(void* handle, VpiMainFunction entry, std::string path)
        : handle_(handle), vpiMain_(entry), path_(std::move(path)) {}
    void* handle_;
    VpiMainFunction vpiMain_;
    std::string path_;
};

// The module file beside the running executable (plclink.so, plclink.dll),
// or on Linux, when there is none, the installed one (../lib/<arch>/plclink/
// relative to the executable).
std::string DefaultModulePath();

}  // namespace plclink::host
