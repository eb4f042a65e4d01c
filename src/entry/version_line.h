// The module's version as ColdStart logs it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plclink {

// The four parts of the module's file version, or none when the version
// information cannot be read (each failure logged with `nameForLog`).
struct ModuleVersion {
    bool found;
    std::uint16_t parts[4];
};

ModuleVersion ReadModuleVersion(const char* nameForLog);

// "Version : a,b,c,d", or "Version not found".
void FormatVersionText(const ModuleVersion& version, char* out, std::size_t room);

// "version compiled on Mmm dd yyyy at time hh:mm:ss", fixed at build time.
const char* BuildStamp();

}  // namespace plclink
