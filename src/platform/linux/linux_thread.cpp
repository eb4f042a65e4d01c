// Threads on Linux: POSIX threads.
#include <pthread.h>

#include <new>

#include "platform/linux/linux_parts.h"

namespace plclink::linux_platform {
namespace {

struct ThreadStart {
    ThreadBody body;
    void* argument;
};

void* RunThread(void* start) {
    const ThreadStart run = *static_cast<ThreadStart*>(start);
    delete static_cast<ThreadStart*>(start);
    run.body(run.argument);
    return nullptr;
}

bool StartThread(ThreadBody body, void* argument, ThreadHandle* handleOut) {
    auto* start = new (std::nothrow) ThreadStart{body, argument};
    if (start == nullptr) return false;
    pthread_t thread;
    if (pthread_create(&thread, nullptr, RunThread, start) != 0) {
        delete start;
        return false;
    }
    *handleOut = static_cast<ThreadHandle>(thread);
    return true;
}

void JoinThread(ThreadHandle handle) { pthread_join(static_cast<pthread_t>(handle), nullptr); }

}  // namespace

void FillThreadOps(PlatformOps& ops) {
    ops.startThread = StartThread;
    ops.joinThread = JoinThread;
}

}  // namespace plclink::linux_platform
