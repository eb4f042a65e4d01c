// Module loading: dlopen on Linux, LoadLibrary on Windows.
#include "module_loader.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#endif

namespace plclink::host {

namespace {

#if defined(_WIN32)
constexpr char kModuleFile[] = "plclink.dll";

std::string ExecutableDirectory() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text(path, length);
    std::size_t slash = text.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : text.substr(0, slash);
}
#else
constexpr char kModuleFile[] = "plclink.so";

std::string ExecutableDirectory() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    std::string text(path, static_cast<std::size_t>(length));
    std::size_t slash = text.rfind('/');
    return slash == std::string::npos ? std::string(".") : text.substr(0, slash);
}
#endif

}  // namespace

#if defined(PLCLINK_MODULE_FROM_BIN)
// The module beside the program (a build tree), else where an installation
// puts it relative to the program (/usr/bin -> /usr/lib/<arch>/plclink).
std::string DefaultModulePath() {
    const std::string directory = ExecutableDirectory();
    const std::string beside = directory + "/" + kModuleFile;
    if (access(beside.c_str(), F_OK) == 0) return beside;
    return directory + "/" + PLCLINK_MODULE_FROM_BIN + "/" + kModuleFile;
}
#else
std::string DefaultModulePath() { return ExecutableDirectory() + "/" + kModuleFile; }
#endif

#if defined(_WIN32)

std::unique_ptr<LoadedModule> LoadedModule::Load(const std::string& path, std::string& why) {
    HMODULE handle = LoadLibraryA(path.c_str());
    if (handle == nullptr) {
        why = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    auto entry = reinterpret_cast<VpiMainFunction>(
        reinterpret_cast<void*>(GetProcAddress(handle, "VpiMain")));
    if (entry == nullptr) {
        FreeLibrary(handle);
        why = path + " exports no VpiMain";
        return nullptr;
    }
    return std::unique_ptr<LoadedModule>(new LoadedModule(handle, entry, path));
}

LoadedModule::~LoadedModule() { FreeLibrary(static_cast<HMODULE>(handle_)); }

#else

std::unique_ptr<LoadedModule> LoadedModule::Load(const std::string& path, std::string& why) {
    // A bare file name would make dlopen search the library path; a host
    // loads the file it is given.
    std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        why = "cannot load " + path + ": " + (reason != nullptr ? reason : "unknown error");
        return nullptr;
    }
    auto entry = reinterpret_cast<VpiMainFunction>(dlsym(handle, "VpiMain"));
    if (entry == nullptr) {
        dlclose(handle);
        why = path + " exports no VpiMain";
        return nullptr;
    }
    return std::unique_ptr<LoadedModule>(new LoadedModule(handle, entry, path));
}

// The module stays loaded until the process ends, as in a host: the
// libraries it brought in (ncurses for the dialog) keep caches in their
// globals, which unloading would turn into lost memory.
LoadedModule::~LoadedModule() = default;

#endif

}  // namespace plclink::host
