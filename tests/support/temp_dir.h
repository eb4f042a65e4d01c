// A fresh, empty directory under the system's temporary directory, on every
// OS the suites run on (mkdtemp is POSIX only).
#pragma once

#include <filesystem>
#include <string>

namespace plclink::testing {

// Creates and returns a new directory named `prefix` followed by a random
// suffix. Throws std::filesystem::filesystem_error when none can be made.
std::filesystem::path MakeTempDirectory(const std::string& prefix);

}  // namespace plclink::testing
