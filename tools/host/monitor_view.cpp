#include "monitor_view.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "area.h"
#include "time_text.h"
#include "value_format.h"

namespace plclink::host {
namespace {

// The value as the monitor shows it: timers and counters as signed numbers.
std::string ShownValue(const Tag& tag, std::uint32_t raw) {
    return IsElementAddressed(tag.memArea) ? SignedText(tag.type, raw) : ValueText(tag.type, raw);
}

}  // namespace

void TagWatch::count(bool succeeded, std::uint32_t value, FailureKind failure, double milliseconds,
                     Clock::time_point at) {
    seen = true;
    ok = succeeded;
    ++transactions;
    lastMs = milliseconds;
    totalMs += milliseconds;
    if (succeeded) {
        raw = value;
        rawAt = at;
        lastFailure = FailureKind::None;
    } else {
        ++failures;
        lastFailure = failure;
    }
}

namespace {

double SecondsBetween(TagWatch::Clock::time_point from, TagWatch::Clock::time_point to) {
    return std::max(0.0, std::chrono::duration<double>(to - from).count());
}

// Seconds with one decimal, "2.5".
std::string SecondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}

}  // namespace

std::string TagWatch::valueText(Clock::time_point now) const {
    if (!hasValue()) return "-";
    if (!stale()) return ShownValue(tag, raw);
    return "was " + ShownValue(tag, raw) + " (" + SecondsText(SecondsBetween(rawAt, now)) + " s ago)";
}

std::string TagWatch::statusText() const { return seen ? KindName(lastFailure) : "-"; }

namespace {

std::string Pad(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

Cell ValueCell(const TagWatch& w) {
    if (!w.hasValue()) return Cell::Null();
    if (w.tag.type == ElementType::Float && !FloatIsFinite(w.raw)) return Cell::Text(FloatText(w.raw));
    return Cell::Number(ShownValue(w.tag, w.raw));
}

}  // namespace

std::vector<std::string> LiveTableLines(const MonitorHeading& heading,
                                        const std::vector<TagWatch>& watches,
                                        const std::vector<std::string>& recentLog) {
    std::vector<std::string> lines;
    char head[160];
    std::snprintf(head, sizeof head, "monitor %s every %d ms: poll %ld, %.1f s", heading.port.c_str(),
                  heading.intervalMs, heading.polls, heading.elapsedS);
    std::string first = head;
    if (heading.overran) {
        first += ", a round takes " + MillisecondsText(heading.lastRoundMs) + " ms: polling back to back";
    }
    lines.push_back(first + "  (Ctrl-C ends)");
    std::vector<std::vector<std::string>> rows{
        {"TAG", "TYPE", "VALUE", "STATUS", "TRANSACTIONS", "FAILURES", "LAST MS", "MEAN MS"}};
    for (const TagWatch& w : watches) {
        rows.push_back({w.tag.text, std::string(ElementName(w.tag.type)), w.valueText(), w.statusText(),
                        std::to_string(w.transactions), std::to_string(w.failures),
                        w.seen ? MillisecondsText(w.lastMs) : "-",
                        w.seen ? MillisecondsText(w.meanMs()) : "-"});
    }
    std::vector<std::size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) line += Pad(row[i], widths[i] + 2);
        while (!line.empty() && line.back() == ' ') line.pop_back();
        lines.push_back(line);
    }
    for (const std::string& text : recentLog) lines.push_back("  " + text);
    return lines;
}

std::string PollLine(std::chrono::system_clock::time_point time, const std::vector<TagWatch>& watches) {
    std::string line = LocalTimeText(time, false);
    for (const TagWatch& w : watches) {
        line += "  " + w.tag.text + "=" + (w.ok ? ShownValue(w.tag, w.raw) : w.statusText());
    }
    return line;
}

std::string PollCsvHeader(const std::vector<TagWatch>& watches) {
    std::string line = "time";
    // Two appends rather than "," + field: GCC 12 warns falsely about the
    // latter (-Wrestrict, GCC bug 105651).
    for (const TagWatch& w : watches) {
        line += ',';
        line += CsvField(w.tag.text);
    }
    return line;
}

std::string PollCsvLine(std::chrono::system_clock::time_point time, const std::vector<TagWatch>& watches) {
    std::string line = LocalTimeText(time, true);
    for (const TagWatch& w : watches) {
        line += ',';
        line += CsvField(w.ok ? ShownValue(w.tag, w.raw) : w.statusText());
    }
    return line;
}

std::string PollJson(std::chrono::system_clock::time_point time, long poll,
                     const std::vector<TagWatch>& watches) {
    std::string json = "{\"time\": " + JsonString(LocalTimeText(time, true)) +
                       ", \"poll\": " + std::to_string(poll) + ", \"tags\": [";
    for (std::size_t i = 0; i < watches.size(); ++i) {
        const TagWatch& w = watches[i];
        Record record;
        record.add("tag", Cell::Text(w.tag.text));
        record.add("value", w.ok ? ValueCell(w) : Cell::Null());
        record.add("status", Cell::Text(w.statusText()));
        record.add("ms", Cell::Number(MillisecondsText(w.lastMs)));
        json += (i != 0 ? ", " : "") + JsonObject(record);
    }
    return json + "]}";
}

const std::vector<std::string>& TotalsColumns() {
    static const std::vector<std::string> columns{"tag",          "type",     "value",   "stale_s", "status",
                                                  "transactions", "failures", "last_ms", "mean_ms"};
    return columns;
}

std::vector<Record> TotalsRecords(const std::vector<TagWatch>& watches, TagWatch::Clock::time_point now) {
    std::vector<Record> records;
    for (const TagWatch& w : watches) {
        Record record;
        record.add("tag", Cell::Text(w.tag.text));
        record.add("type", Cell::Text(std::string(ElementName(w.tag.type))));
        record.add("value", ValueCell(w));
        record.add("stale_s", w.stale() ? Cell::Number(SecondsText(SecondsBetween(w.rawAt, now))) : Cell::Null());
        record.add("status", Cell::Text(w.statusText()));
        record.add("transactions", Cell::Number(w.transactions));
        record.add("failures", Cell::Number(w.failures));
        record.add("last_ms", w.seen ? Cell::Number(MillisecondsText(w.lastMs)) : Cell::Null());
        record.add("mean_ms", w.seen ? Cell::Number(MillisecondsText(w.meanMs())) : Cell::Null());
        records.push_back(std::move(record));
    }
    return records;
}

}  // namespace plclink::host
