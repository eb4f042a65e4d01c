#include "alloc_count.h"

#include <cstdlib>
#include <new>

#include "platform/platform.h"

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void __libc_free(void*);

namespace plclink::bench {
namespace {

bool counting = false;
int platformDepth = 0;
std::size_t allocations = 0;

void Count() {
    if (counting && platformDepth == 0) ++allocations;
}

PlatformOps inner;
PlatformOps guarded;
const PlatformOps* previous = nullptr;

struct Depth {
    Depth() { ++platformDepth; }
    ~Depth() { --platformDepth; }
};

// One wrapper per member of the table: the same call, marked as the
// platform's.
template <auto Member>
struct Guard;
template <typename R, typename... A, R (*PlatformOps::*Member)(A...)>
struct Guard<Member> {
    static R Call(A... args) {
        Depth depth;
        return (inner.*Member)(args...);
    }
};

template <auto Member>
void Wrap() {
    if (inner.*Member) guarded.*Member = &Guard<Member>::Call;
}

}  // namespace

void StartCounting() {
    allocations = 0;
    counting = true;
}

std::size_t StopCounting() {
    counting = false;
    return allocations;
}

UncountedPlatform::UncountedPlatform() {
    inner = Platform();
    guarded = inner;
    Wrap<&PlatformOps::sleepMs>();
    Wrap<&PlatformOps::monotonicMs>();
    Wrap<&PlatformOps::fileVersionInfoSize>();
    Wrap<&PlatformOps::fileVersionInfo>();
    Wrap<&PlatformOps::queryFileVersion>();
    Wrap<&PlatformOps::openPort>();
    Wrap<&PlatformOps::closePort>();
    Wrap<&PlatformOps::getLineState>();
    Wrap<&PlatformOps::setLineState>();
    Wrap<&PlatformOps::getTimeouts>();
    Wrap<&PlatformOps::setTimeouts>();
    Wrap<&PlatformOps::setupQueues>();
    Wrap<&PlatformOps::setEventMask>();
    Wrap<&PlatformOps::waitEvent>();
    Wrap<&PlatformOps::clearErrors>();
    Wrap<&PlatformOps::escapeFunction>();
    Wrap<&PlatformOps::readPort>();
    Wrap<&PlatformOps::writePort>();
    Wrap<&PlatformOps::lastError>();
    previous = InstallPlatform(&guarded);
}

UncountedPlatform::~UncountedPlatform() { InstallPlatform(previous); }

}  // namespace plclink::bench

// The counting allocator of the bench binary.
extern "C" void* malloc(std::size_t size) {
    plclink::bench::Count();
    return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t n, std::size_t size) {
    plclink::bench::Count();
    return __libc_calloc(n, size);
}
extern "C" void* realloc(void* p, std::size_t size) {
    plclink::bench::Count();
    return __libc_realloc(p, size);
}
extern "C" void free(void* p) { __libc_free(p); }

void* operator new(std::size_t size) {
    if (void* p = malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return malloc(size ? size : 1); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, std::size_t) noexcept { free(p); }
void operator delete[](void* p, std::size_t) noexcept { free(p); }
