// The hand-off between a command's thread and the station's thread, on real
// threads and the real clock: the station alone on a silent line claims the
// token and runs every piece of work handed to it on its own thread, one per
// token visit, and hands each result back. (Run under ThreadSanitizer too.)
#include <atomic>

#include <gtest/gtest.h>

#include "fake_host.h"
#include "fdl/ring_station.h"
#include "platform/platform.h"

namespace plclink {
namespace {

// A line on which nobody else speaks: reads wait out their time-out, writes
// are counted. Safe to call from any thread.
std::atomic<std::uint32_t> lineWaitMs{10};
std::atomic<int> framesWritten{0};

PlatformOps SilentLine() {
    PlatformOps ops = NativePlatform();
    ops.getTimeouts = [](LineHandle, LineTimeouts* t) {
        *t = LineTimeouts{0, 0, lineWaitMs.load(), 0, 0};
        return true;
    };
    ops.setTimeouts = [](LineHandle, const LineTimeouts* t) {
        lineWaitMs.store(t->readTotalConstant);
        return true;
    };
    ops.getLineState = [](LineHandle, LineState* s) {
        *s = LineState{};
        s->baudRate = 9600;
        return true;
    };
    ops.readPort = [](LineHandle, void*, std::uint32_t, std::uint32_t* got) {
        *got = 0;
        NativePlatform().sleepMs(lineWaitMs.load());
        return true;
    };
    ops.writePort = [](LineHandle, const void*, std::uint32_t length, std::uint32_t* written) {
        *written = length;
        framesWritten.fetch_add(1);
        return true;
    };
    ops.escapeFunction = [](LineHandle, std::uint32_t) { return true; };
    ops.waitEvent = [](LineHandle, std::uint32_t* events) {
        *events = kEventTxEmpty;
        return true;
    };
    ops.clearErrors = [](LineHandle, std::uint32_t* errors, std::uint32_t* waiting) {
        *errors = 0;
        *waiting = 0;
        return true;
    };
    return ops;
}

// The wait for a visit, only against a hang: this suite runs under Wine on
// an emulated machine in CI too, where a thread may wait long for its turn.
constexpr std::uint32_t kHangBoundMs = 60000;

struct Work {
    std::uint32_t ranOn = 0;  // the platform's id of the thread it ran on
    int value = 0;
};

TEST(RingHandOff, WorkRunsOnTheStationsThreadOncePerVisitAndItsResultComesBack) {
    testing::Host().reset();
    const PlatformOps ops = SilentLine();
    const PlatformOps* previous = InstallPlatform(&ops);
    RingSettings settings;
    settings.enabled = true;
    RingStation station(0x100, settings, 9600, 1);
    ThreadHandle thread = 0;
    ASSERT_TRUE(Platform().startThread([](void* s) { static_cast<RingStation*>(s)->Serve(); },
                                       &station, &thread));
    for (int i = 0; i < 40; ++i) {
        Work work;
        work.value = i;
        const int result = station.RunInTokenVisit(
            TokenVisitWork{[](void* w, const VisitTiming& timing) {
                               auto& work = *static_cast<Work*>(w);
                               work.ranOn = Platform().currentThreadId();
                               return work.value + static_cast<int>(timing.slotMs);
                           },
                           &work},
            kHangBoundMs);
        EXPECT_EQ(result, i + 11);
        EXPECT_NE(work.ranOn, Platform().currentThreadId());
    }
    station.Stop();
    Platform().joinThread(thread);
    EXPECT_GT(framesWritten.load(), 40);  // a token at least after each visit
    InstallPlatform(previous);
}

}  // namespace
}  // namespace plclink
