// read: the value of each tag (all of them in multi-item requests, command
// 20; one by one with command 5 under --no-coalesce; block reads where the
// module lacks command 20, see tag_reader.h). A tag whose address is
// refused fails the run with the usage status; the others are read all the
// same.
#include <algorithm>

#include "area.h"
#include "commands.h"
#include "tag_reader.h"
#include "value_record.h"

namespace plclink::host {

int RunRead(Session& session, const std::vector<std::string>& tags) {
    int status = session.startOnLine();
    if (status != kDone) return status;
    std::vector<ParsedTag> parsedTags;
    std::vector<Tag> readable;
    for (const std::string& text : tags) {
        parsedTags.push_back(session.parseTag(text, false));
        if (parsedTags.back().ok) readable.push_back(parsedTags.back().tag);
    }
    TagReader reader(session, readable, ReadModeOf(session.options()));
    std::vector<TagReading> readings = reader.readAll();

    std::vector<Record> records;
    std::size_t next = 0;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const std::string& text = tags[i];
        const ParsedTag& parsed = parsedTags[i];
        if (!parsed.ok) {
            session.explain(text, parsed.failure, parsed.lines);
            Record record = TagRecord(text, parsed.tag.type);
            AddFailureFields(record, parsed.result, parsed.failure, parsed.lines);
            records.push_back(std::move(record));
            status = std::max<int>(status, kUsage);
            continue;
        }
        const TagReading& reading = readings[next++];
        if (reading.done.result != VPI_OK) {
            session.explain(text, reading.done.failure, reading.done.lines);
            Record record = TagRecord(text, parsed.tag.type);
            AddFailureFields(record, reading.done.result, reading.done.failure, reading.done.lines);
            records.push_back(std::move(record));
            status = std::max<int>(status, ExitStatusOf(reading.done.failure));
            continue;
        }
        records.push_back(ValueRecord(text, parsed.tag.type, reading.buffer.element(0),
                                      IsElementAddressed(parsed.tag.memArea)));
    }
    WriteRecords(session.out(), session.format(), ValueColumns(), records);
    return status;
}

}  // namespace plclink::host
