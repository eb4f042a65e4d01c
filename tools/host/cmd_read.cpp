// read: the value of each tag (command 5).
#include "commands.h"
#include "value_record.h"

namespace plclink::host {

int RunRead(Session& session, const std::vector<std::string>& tags) {
    int status = session.startOnLine();
    if (status != kDone) return status;
    std::vector<Record> records;
    for (const std::string& text : tags) {
        ParsedTag parsed = session.parseTag(text, false);
        if (!parsed.ok) {
            session.explain(text, parsed.failure, parsed.lines);
            Record record = TagRecord(text, parsed.tag.type);
            AddFailureFields(record, parsed.result, parsed.failure, parsed.lines);
            records.push_back(std::move(record));
            status = kTagFailed;
            continue;
        }
        ValueBuffer buffer(parsed.tag.type, 1, Layout::Single);
        Transfer done = session.read(parsed.tag, buffer, 1, false);
        if (done.result != VPI_OK) {
            session.explain(text, done.failure, done.lines);
            Record record = TagRecord(text, parsed.tag.type);
            AddFailureFields(record, done.result, done.failure, done.lines);
            records.push_back(std::move(record));
            status = kTagFailed;
            continue;
        }
        records.push_back(ValueRecord(text, parsed.tag.type, buffer.element(0)));
    }
    WriteRecords(session.out(), session.format(), ValueColumns(), records);
    return status;
}

}  // namespace plclink::host
