// write: TAG=VALUE pairs (command 7). Every tag and value is checked first;
// when one is wrong nothing at all is sent.
#include <algorithm>

#include "commands.h"
#include "value_parse.h"
#include "value_record.h"

namespace plclink::host {

namespace {

struct Assignment {
    std::string text;
    Tag tag;
    std::uint32_t raw = 0;
};

}  // namespace

int RunWrite(Session& session, const std::vector<std::string>& assignments) {
    for (const std::string& item : assignments) {
        if (item.find('=') == std::string::npos) {
            session.error("'" + item + "' is not TAG=VALUE");
            return kUsage;
        }
    }
    int status = session.startOnLine();
    if (status != kDone) return status;

    std::vector<Assignment> planned;
    std::vector<Record> records;
    for (const std::string& item : assignments) {
        std::size_t equals = item.find('=');
        std::string text = item.substr(0, equals);
        ParsedTag parsed = session.parseTag(text, false);
        if (!parsed.ok) {
            session.explain(text, parsed.failure, parsed.lines);
            status = kUsage;
            continue;
        }
        ParsedValue value = ParseValue(parsed.tag.type, item.substr(equals + 1));
        if (!value.ok) {
            session.error(text + ": " + value.why + "; nothing was written");
            return kUsage;
        }
        planned.push_back({text, parsed.tag, value.raw});
    }
    if (status != kDone) {
        session.error("nothing was written");
        return status;
    }
    for (const Assignment& a : planned) {
        ValueBuffer buffer(a.tag.type, 1, Layout::Single);
        buffer.setElement(0, a.raw);
        Transfer done = session.write(a.tag, buffer, 1, false);
        if (done.result != VPI_OK) {
            session.explain(a.text, done.failure, done.lines);
            Record record = TagRecord(a.text, a.tag.type);
            AddFailureFields(record, done.result, done.failure, done.lines);
            records.push_back(std::move(record));
            status = std::max<int>(status, ExitStatusOf(done.failure));
            continue;
        }
        records.push_back(ValueRecord(a.text, a.tag.type, a.raw));
    }
    WriteRecords(session.out(), session.format(), ValueColumns(), records);
    return status;
}

}  // namespace plclink::host
