// monitor: reads the tags again and again. On a terminal a live table is
// redrawn in place; otherwise one line per poll. Ctrl-C, --count or
// --duration ends it, and the totals follow.
#include <cstdio>
#include <deque>
#include <iostream>
#include <thread>

#include "commands.h"
#include "interrupt.h"
#include "monitor_view.h"
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

// One poll of every tag.
void Poll(TagReader& reader, std::vector<TagWatch>& watches) {
    const std::vector<TagReading> readings = reader.readAll();
    for (std::size_t i = 0; i < watches.size(); ++i) {
        const TagReading& r = readings[i];
        watches[i].count(r.done.result == VPI_OK, r.buffer.element(0), r.done.failure.kind,
                         r.done.milliseconds);
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
            status = kTagFailed;
        }
        watches.push_back(TagWatch{parsed.tag});
    }
    if (status != kDone) {
        session.error("nothing monitored");
        return status;
    }
    std::vector<Tag> tags;
    for (const TagWatch& watch : watches) tags.push_back(watch.tag);
    TagReader reader(session, tags, session.options().coalesce);

    const bool live = session.format() == Format::Table && IsTerminal(stdout);
    const bool logHeld = live && HostLog::Instance().sendsToStderr();
    std::ostream& out = session.out();
    HostLog::Instance().hold(logHeld);
    CatchInterrupts();

    std::deque<std::string> recentLog;
    LiveTable table;
    MonitorHeading heading{session.options().line.port, options.intervalMs, 0, 0};
    const Clock::time_point begin = Clock::now();
    const auto interval = std::chrono::milliseconds(options.intervalMs);
    if (session.format() == Format::Csv) out << PollCsvHeader(watches) << '\n';
    if (session.format() == Format::Json) out << "{\"polls\": [";

    long polls = 0;
    for (;;) {
        if (Interrupted()) break;
        if (options.count && polls >= *options.count) break;
        if (options.durationS &&
            std::chrono::duration<double>(Clock::now() - begin).count() >= *options.durationS) {
            break;
        }
        auto pollStart = Clock::now();
        auto wallTime = std::chrono::system_clock::now();
        Poll(reader, watches);
        ++polls;
        if (live) {
            for (const LogLine& line : HostLog::Instance().takeHeld()) {
                recentLog.push_back(ScreenText(line));
                if (recentLog.size() > 3) recentLog.pop_front();
            }
            heading.polls = polls;
            heading.elapsedS = std::chrono::duration<double>(Clock::now() - begin).count();
            table.draw(out, LiveTableLines(heading, watches, {recentLog.begin(), recentLog.end()}));
        } else if (session.format() == Format::Table) {
            out << PollLine(wallTime, watches) << std::endl;
        } else if (session.format() == Format::Csv) {
            out << PollCsvLine(wallTime, watches) << std::endl;
        } else {
            out << (polls > 1 ? ",\n " : "\n ") << PollJson(wallTime, polls, watches) << std::flush;
        }
        if (options.count && polls >= *options.count) break;
        WaitUntil(pollStart + interval);
    }
    HostLog::Instance().hold(false);

    double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    long failures = 0;
    for (const TagWatch& w : watches) failures += w.failures;
    std::vector<Record> totals = TotalsRecords(watches);
    switch (session.format()) {
        case Format::Table: {
            char took[32];
            std::snprintf(took, sizeof took, "%.1f s", seconds);
            out << "\ntotals after " << polls << " polls in " << took << ":\n";
            WriteRecords(out, Format::Table, TotalsColumns(), totals);
            break;
        }
        case Format::Csv:
            session.note("monitor: " + std::to_string(polls) + " polls, " + std::to_string(failures) +
                         " failed transactions");
            break;
        case Format::Json: {
            out << (polls > 0 ? "\n], " : "], ") << "\"totals\": [";
            for (std::size_t i = 0; i < totals.size(); ++i) out << (i != 0 ? ", " : "") << JsonObject(totals[i]);
            out << "]}\n";
            break;
        }
    }
    out.flush();
    return failures > 0 ? kTagFailed : kDone;
}

}  // namespace plclink::host
