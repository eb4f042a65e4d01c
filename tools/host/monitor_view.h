// What the monitor shows: per-tag statistics, the live table redrawn on a
// terminal, the one-line-per-poll forms for redirected output, and totals.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "failure.h"
#include "report.h"
#include "tag.h"

namespace plclink::host {

struct TagWatch {
    using Clock = std::chrono::steady_clock;

    Tag tag;
    bool seen = false;          // at least one transaction made
    bool ok = false;            // the last one succeeded
    std::uint32_t raw = 0;      // last good value
    Clock::time_point rawAt{};  // when it was read
    FailureKind lastFailure = FailureKind::None;
    long transactions = 0;
    long failures = 0;
    double lastMs = 0;
    double totalMs = 0;

    void count(bool succeeded, std::uint32_t value, FailureKind failure, double milliseconds,
               Clock::time_point at = Clock::now());
    double meanMs() const { return transactions > 0 ? totalMs / static_cast<double>(transactions) : 0; }
    bool hasValue() const { return seen && transactions > failures; }
    // A value is stale when the poll after it failed.
    bool stale() const { return hasValue() && !ok; }
    // The value, "was 4660 (2.5 s ago)" when stale, "-" before any.
    std::string valueText(Clock::time_point now = Clock::now()) const;
    std::string statusText() const;  // "ok", the failure's name, or "-"
};

struct MonitorHeading {
    std::string port;
    int intervalMs = 0;
    long polls = 0;
    double elapsedS = 0;
    // The last round ran past the start of the next; how long it took.
    bool overran = false;
    double lastRoundMs = 0;
};

// The live table: a heading line, column titles, one line per tag, then the
// latest module log lines.
std::vector<std::string> LiveTableLines(const MonitorHeading& heading,
                                        const std::vector<TagWatch>& watches,
                                        const std::vector<std::string>& recentLog);

// One poll as a line of the table, CSV and JSON forms.
std::string PollLine(std::chrono::system_clock::time_point time, const std::vector<TagWatch>& watches);
std::string PollCsvHeader(const std::vector<TagWatch>& watches);
std::string PollCsvLine(std::chrono::system_clock::time_point time, const std::vector<TagWatch>& watches);
std::string PollJson(std::chrono::system_clock::time_point time, long poll,
                     const std::vector<TagWatch>& watches);

// Totals per tag; a stale value carries its age in seconds ("stale_s").
const std::vector<std::string>& TotalsColumns();
std::vector<Record> TotalsRecords(const std::vector<TagWatch>& watches,
                                  TagWatch::Clock::time_point now = TagWatch::Clock::now());

}  // namespace plclink::host
