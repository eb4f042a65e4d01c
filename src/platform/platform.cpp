// The platform table in force: this OS's own, or one a test installed.
#include "platform/platform.h"

namespace plclink {
namespace {
const PlatformOps* installed = nullptr;
}

const PlatformOps& Platform() {
    return installed ? *installed : NativePlatform();
}

const PlatformOps* InstallPlatform(const PlatformOps* ops) {
    const PlatformOps* previous = installed;
    installed = ops;
    return previous;
}

}  // namespace plclink
