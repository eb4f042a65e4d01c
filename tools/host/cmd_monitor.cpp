// monitor: reads the tags again and again. On a terminal a live table is
// redrawn in place; otherwise one line per poll. Ctrl-C, --count or
// --duration ends it, and the totals follow.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <iostream>
#include <thread>

#include "commands.h"
#include "interrupt.h"
#include "monitor_view.h"
#include "printable_text.h"
#include "round_schedule.h"
#include "tag_reader.h"
#include "terminal.h"
#include "time_text.h"

namespace plclink::host {

namespace {

using Clock = std::chrono::steady_clock;

class LiveTable {
public:
    void draw(std::ostream& out, const std::vector<std::string>& lines) {
        if (drawn_ > 0) out << "\x1b[" << drawn_ << "F";  // back to the table's first line
        for (const std::string& line : lines) out << "\x1b[2K" << line << '\n';
        out << "\x1b[J" << std::flush;  // drop what an earlier, longer view left
        drawn_ = lines.size();
    }

private:
    std::size_t drawn_ = 0;
};

// One poll of every tag; adds the module's lines of failed reads to
// `failureLines` (once for a block that failed for several tags).
void Poll(TagReader& reader, std::vector<TagWatch>& watches, std::vector<LogLine>& failureLines) {
    const std::vector<TagReading> readings = reader.readAll();
    const std::vector<LogLine>* added = nullptr;
    for (std::size_t i = 0; i < watches.size(); ++i) {
        const TagReading& r = readings[i];
        watches[i].count(r.done.result == VPI_OK, r.buffer.element(0), r.done.failure.kind,
                         r.done.milliseconds);
        if (r.done.result == VPI_OK || r.done.lines.empty()) continue;
        bool sameAsBefore = added != nullptr && added->size() == r.done.lines.size() &&
                            std::equal(added->begin(), added->end(), r.done.lines.begin(),
                                       [](const LogLine& a, const LogLine& b) {
                                           return a.text == b.text && a.time == b.time;
                                       });
        if (!sameAsBefore) failureLines.insert(failureLines.end(), r.done.lines.begin(), r.done.lines.end());
        added = &r.done.lines;
    }
}

// One poll in the redirected forms: a line of text or CSV, or a JSON object
// of the "polls" array.
void WritePoll(std::ostream& out, Format format, std::chrono::system_clock::time_point time, long poll,
               const std::vector<TagWatch>& watches) {
    switch (format) {
        case Format::Table: out << PollLine(time, watches) << std::endl; break;
        case Format::Csv: out << PollCsvLine(time, watches) << std::endl; break;
        case Format::Json: out << (poll > 1 ? ",\n " : "\n ") << PollJson(time, poll, watches) << std::flush; break;
    }
}

// Sleeps until `until`, or less when interrupted.
void WaitUntil(Clock::time_point until) {
    while (!Interrupted()) {
        auto left = until - Clock::now();
        if (left <= Clock::duration::zero()) return;
        std::this_thread::sleep_for(std::min<Clock::duration>(left, std::chrono::milliseconds(50)));
    }
}

}  // namespace

int RunMonitor(Session& session, const MonitorOptions& options) {
    if (options.intervalMs < 0) {
        session.error("--interval must not be negative");
        return kUsage;
    }
    int status = session.startOnLine();
    if (status != kDone) return status;
    std::vector<TagWatch> watches;
    for (const std::string& text : options.tags) {
        ParsedTag parsed = session.parseTag(text, false);
        if (!parsed.ok) {
            session.explain(text, parsed.failure, parsed.lines);
            status = kUsage;
        }
        watches.push_back(TagWatch{parsed.tag});
    }
    if (status != kDone) {
        session.error("nothing monitored");
        return status;
    }
    std::vector<Tag> tags;
    for (const TagWatch& watch : watches) tags.push_back(watch.tag);
    TagReader reader(session, tags, ReadModeOf(session.options()));

    const bool live = session.format() == Format::Table && IsTerminal(stdout);
    const bool logHeld = live && HostLog::Instance().sendsToStderr();
    std::ostream& out = session.out();
    HostLog::Instance().hold(logHeld);
    CatchInterrupts();

    std::deque<std::string> recentLog;
    LiveTable table;
    MonitorHeading heading{session.options().line.port, options.intervalMs, 0, 0};
    const Clock::time_point begin = Clock::now();
    RoundSchedule schedule(std::chrono::milliseconds(options.intervalMs), begin);
    if (session.format() == Format::Csv) out << PollCsvHeader(watches) << '\n';
    if (session.format() == Format::Json) out << "{\"polls\": [";

    long polls = 0;
    std::size_t requests = 0;  // sent in all rounds
    for (;;) {
        if (Interrupted()) break;
        if (options.count && polls >= *options.count) break;
        if (options.durationS &&
            std::chrono::duration<double>(Clock::now() - begin).count() >= *options.durationS) {
            break;
        }
        auto wallTime = std::chrono::system_clock::now();
        std::vector<LogLine> failureLines;
        Poll(reader, watches, failureLines);
        ++polls;
        requests += reader.requestsLastRound();
        const Clock::time_point nextStart = schedule.next(Clock::now());
        // The module's lines: all of them when the user asked to see them
        // (held while the table owns the terminal), else those of failures.
        std::vector<LogLine> shown = logHeld ? HostLog::Instance().takeHeld() : std::vector<LogLine>{};
        if (!HostLog::Instance().sendsToStderr()) shown = std::move(failureLines);
        if (live) {
            for (const LogLine& line : shown) {
                recentLog.push_back(PrintableText(ScreenText(line)));
                if (recentLog.size() > 3) recentLog.pop_front();
            }
            heading.polls = polls;
            heading.elapsedS = std::chrono::duration<double>(Clock::now() - begin).count();
            heading.overran = schedule.lastOverran();
            heading.lastRoundMs = std::chrono::duration<double, std::milli>(schedule.lastRound()).count();
            table.draw(out, LiveTableLines(heading, watches, {recentLog.begin(), recentLog.end()}));
        } else {
            session.showModuleLines(shown);
            WritePoll(out, session.format(), wallTime, polls, watches);
        }
        if (options.count && polls >= *options.count) break;
        WaitUntil(nextStart);
    }
    HostLog::Instance().hold(false);

    double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    long failures = 0;
    for (const TagWatch& w : watches) failures += w.failures;
    std::vector<Record> totals = TotalsRecords(watches);
    char perRound[32];
    std::snprintf(perRound, sizeof perRound, "%g",
                  polls > 0 ? std::round(10.0 * static_cast<double>(requests) / static_cast<double>(polls)) / 10.0 : 0.0);
    switch (session.format()) {
        case Format::Table: {
            char took[32];
            std::snprintf(took, sizeof took, "%.1f s", seconds);
            out << "\ntotals after " << polls << " polls in " << took;
            if (schedule.overruns() > 0) {
                out << " (" << schedule.overruns() << " rounds took longer than the interval)";
            }
            out << ", " << perRound << " requests per round:\n";
            WriteRecords(out, Format::Table, TotalsColumns(), totals);
            break;
        }
        case Format::Csv:
            session.note("monitor: " + std::to_string(polls) + " polls, " + perRound +
                         " requests per round, " + std::to_string(failures) + " failed transactions");
            break;
        case Format::Json: {
            out << (polls > 0 ? "\n], " : "], ") << "\"totals\": [";
            for (std::size_t i = 0; i < totals.size(); ++i) out << (i != 0 ? ", " : "") << JsonObject(totals[i]);
            out << "], \"requests_per_round\": " << perRound << "}\n";
            break;
        }
    }
    out.flush();
    return failures > 0 ? kTagFailed : kDone;
}

}  // namespace plclink::host
