// Counts the heap allocations of the driver's own code. The bench binary
// replaces operator new and malloc with counting versions; counting is on
// only between Start and Stop, and allocations made inside a platform call
// (the scripted platform keeps a record of every call, the scripted
// controller builds its answers) are not the driver's and are left out.
#pragma once

#include <cstddef>

namespace plclink::bench {

void StartCounting();
// Allocations counted since StartCounting.
std::size_t StopCounting();

// Wraps the platform table in force so that its calls are not counted;
// restores the previous table when destroyed. Install it after the
// scripted platform.
class UncountedPlatform {
public:
    UncountedPlatform();
    ~UncountedPlatform();
    UncountedPlatform(const UncountedPlatform&) = delete;
    UncountedPlatform& operator=(const UncountedPlatform&) = delete;
};

}  // namespace plclink::bench
