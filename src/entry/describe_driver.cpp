// Command 14: what the driver tells the host about itself.
#include "entry/command_handlers.h"
#include "core/vpi_instance.h"

namespace plclink {
namespace {

constexpr char kDriverName[] = "Siemens S7-200";

// The banner, in code page 437: a box drawn with single-line characters
// around the driver's title, each line followed by 12 spaces and CR LF.
#define HLINE48 \
    "\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4" \
    "\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4" \
    "\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4"
#define SPACES12 "            "
constexpr char kBanner[] =
    "\r\n"
    "\xDA" HLINE48 "\xBF" SPACES12 "\r\n"
    "\xB3" " Vestra driver for SIEMENS S7-200 sires plc's   " "\xB3" SPACES12 "\r\n"
    "\xC0" HLINE48 "\xD9" SPACES12 "\r\n";
#undef HLINE48
#undef SPACES12
static_assert(sizeof(kBanner) - 1 == 194);

}  // namespace

std::int32_t DescribeDriver(VpiCallBlock* callBlock) {
    auto* descriptor = ParamsOf<DriverDescriptor>(callBlock);
    if (descriptor == nullptr) return VPI_UNAVAILABLE;
    descriptor->driverCode = 82;
    descriptor->name = kDriverName;
    descriptor->banner = kBanner;
    descriptor->instanceSize = sizeof(VpiInstance);
    descriptor->hostValueA = 4;
    descriptor->defaultLine = LineSettings{9600, 8, 0, 2};
    descriptor->hostValueB = 0x00BE0023;
    return VPI_OK;
}

}  // namespace plclink
