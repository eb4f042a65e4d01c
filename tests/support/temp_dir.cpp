#include "temp_dir.h"

#include <cstdio>
#include <random>
#include <system_error>

namespace plclink::testing {

std::filesystem::path MakeTempDirectory(const std::string& prefix) {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        const std::filesystem::path dir = base / (prefix + suffix);
        std::error_code error;
        if (std::filesystem::create_directory(dir, error)) return dir;
    }
    throw std::filesystem::filesystem_error("no fresh temporary directory", base,
                                            std::make_error_code(std::errc::file_exists));
}

}  // namespace plclink::testing
