// The monitor's rounds: when they start, and how a value that could not be
// read again is shown.
#include <gtest/gtest.h>

#include "monitor_view.h"
#include "round_schedule.h"

using namespace plclink::host;
using namespace std::chrono_literals;

TEST(RoundSchedule, TheIntervalIsThePeriodBetweenRoundStarts) {
    const auto t0 = RoundSchedule::Clock::time_point{} + 1h;
    RoundSchedule schedule(250ms, t0);
    // A round of 100 ms: the next starts 250 ms after this one did.
    EXPECT_EQ(schedule.next(t0 + 100ms), t0 + 250ms);
    EXPECT_FALSE(schedule.lastOverran());
    EXPECT_EQ(schedule.lastRound(), 100ms);
    // A round that starts late (the sleep overslept) keeps the grid.
    EXPECT_EQ(schedule.next(t0 + 400ms), t0 + 500ms);
    // A round of 420 ms runs past its successor's start: it follows at
    // once, and the period counts from there, with no catching up.
    EXPECT_EQ(schedule.next(t0 + 920ms), t0 + 920ms);
    EXPECT_TRUE(schedule.lastOverran());
    EXPECT_EQ(schedule.lastRound(), 420ms);
    EXPECT_EQ(schedule.next(t0 + 1000ms), t0 + 1170ms);
    EXPECT_FALSE(schedule.lastOverran());
    EXPECT_EQ(schedule.overruns(), 1);

    RoundSchedule backToBack(0ms, t0);
    EXPECT_EQ(backToBack.next(t0 + 30ms), t0 + 30ms);
    EXPECT_FALSE(backToBack.lastOverran());
}

TEST(MonitorView, AValueThatCouldNotBeReadAgainShowsItsAge) {
    const auto t0 = TagWatch::Clock::time_point{} + 1h;
    TagWatch watch;
    watch.tag.text = "02VW0100";
    watch.tag.type = ElementType::Word;
    EXPECT_EQ(watch.valueText(t0), "-");
    watch.count(false, 0, FailureKind::SilentStation, 900, t0);
    EXPECT_EQ(watch.valueText(t0), "-");  // never read
    watch.count(true, 4660, FailureKind::None, 80, t0 + 1s);
    EXPECT_EQ(watch.valueText(t0 + 3s), "4660");
    watch.count(false, 0, FailureKind::SilentStation, 900, t0 + 2s);
    EXPECT_TRUE(watch.stale());
    EXPECT_EQ(watch.valueText(t0 + 3500ms), "was 4660 (2.5 s ago)");
    EXPECT_EQ(watch.statusText(), "silent station");

    std::vector<Record> totals = TotalsRecords({watch}, t0 + 3500ms);
    EXPECT_EQ(totals[0].find("value")->text(), "4660");
    EXPECT_EQ(totals[0].find("stale_s")->text(), "2.5");
    watch.count(true, 4661, FailureKind::None, 80, t0 + 4s);
    EXPECT_EQ(TotalsRecords({watch}, t0 + 5s)[0].find("stale_s")->kind(), Cell::Kind::Null);
}

TEST(MonitorView, TheHeadingSaysWhenRoundsOverrunTheInterval) {
    MonitorHeading heading{"pts/3", 250, 12, 3.4};
    auto lines = LiveTableLines(heading, {}, {});
    EXPECT_EQ(lines[0], "monitor pts/3 every 250 ms: poll 12, 3.4 s  (Ctrl-C ends)");
    heading.overran = true;
    heading.lastRoundMs = 412;
    lines = LiveTableLines(heading, {}, {});
    EXPECT_EQ(lines[0], "monitor pts/3 every 250 ms: poll 12, 3.4 s, a round takes 412.0 ms: polling back to back  "
                        "(Ctrl-C ends)");
}
