// The module's own version, as the build defines it. On Linux it stands in
// for the version resource that the Windows module carries.
#pragma once

#include <cstdint>

#ifndef PLCLINK_VERSION_MAJOR
#define PLCLINK_VERSION_MAJOR 0
#define PLCLINK_VERSION_MINOR 0
#define PLCLINK_VERSION_PATCH 0
#define PLCLINK_VERSION_TWEAK 0
#endif

namespace plclink {

inline constexpr std::uint32_t kModuleVersionMs =
    (std::uint32_t{PLCLINK_VERSION_MAJOR} << 16) | std::uint32_t{PLCLINK_VERSION_MINOR};
inline constexpr std::uint32_t kModuleVersionLs =
    (std::uint32_t{PLCLINK_VERSION_PATCH} << 16) | std::uint32_t{PLCLINK_VERSION_TWEAK};

}  // namespace plclink
