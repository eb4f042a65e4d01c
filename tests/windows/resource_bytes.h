// The bytes of a resource of a module file, for tests that read resources
// without the Windows headers.
#pragma once

#include <vector>

namespace plclink::testing {

// The resource of type `type` and id `id` in the module file `moduleFile`
// (loaded as a data file); empty when the file or the resource is missing.
std::vector<unsigned char> ResourceBytes(const char* moduleFile, int type, int id);

inline constexpr int kDialogResourceType = 5;  // RT_DIALOG

}  // namespace plclink::testing
