#include "resource_bytes.h"

#include <windows.h>

namespace plclink::testing {

std::vector<unsigned char> ResourceBytes(const char* moduleFile, int type, int id) {
    HMODULE module = ::LoadLibraryExA(moduleFile, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return {};
    std::vector<unsigned char> bytes;
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(type));
    HGLOBAL loaded = found != nullptr ? ::LoadResource(module, found) : nullptr;
    const auto* data = loaded != nullptr ? static_cast<const unsigned char*>(::LockResource(loaded))
                                         : nullptr;
    if (data != nullptr) bytes.assign(data, data + ::SizeofResource(module, found));
    ::FreeLibrary(module);
    return bytes;
}

}  // namespace plclink::testing
