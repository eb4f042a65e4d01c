// GoogleTest's Notification for the cross compiler's win32 thread model,
// which has no std::mutex or std::condition_variable. GoogleTest uses it only
// to start threads of its own thread-safety tests, so a flag and a yielding
// wait do. Forced into every GoogleTest translation unit by GTestSetup.cmake,
// with GTEST_HAS_NOTIFICATION_ telling GoogleTest that it is already there.
#pragma once

#include <atomic>
#include <thread>

namespace testing::internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { notified_.store(true); }
    void WaitForNotification() {
        while (!notified_.load()) std::this_thread::yield();
    }

private:
    std::atomic<bool> notified_{false};
};

}  // namespace testing::internal
