// read-block and write-block: consecutive elements from a block tag
// (command 4) with commands 6 and 10, as many as one frame carries.
#include "commands.h"
#include "value_parse.h"
#include "value_record.h"

namespace plclink::host {

namespace {

// The block tag, or a failure already told to the user.
bool ParseBlockTag(Session& session, const std::string& text, ParsedTag& parsed) {
    parsed = session.parseTag(text, true);
    if (parsed.ok) return true;
    session.explain(text, parsed.failure, parsed.lines);
    Record record = TagRecord(text, parsed.tag.type);
    AddFailureFields(record, parsed.result, parsed.failure, parsed.lines);
    WriteRecords(session.out(), session.format(), ValueColumns(), {record});
    return false;
}

bool CheckCount(Session& session, ElementType type, long count, int maxBytes) {
    long most = maxBytes / ElementBytes(type);
    if (count >= 1 && count <= most) return true;
    session.error("a " + std::string(ElementName(type)) + " block holds 1.." + std::to_string(most) +
                  " elements in one frame");
    return false;
}

int Failed(Session& session, const ParsedTag& parsed, const Transfer& done) {
    session.explain(parsed.tag.text, done.failure, done.lines);
    Record record = TagRecord(parsed.tag.text, parsed.tag.type);
    AddFailureFields(record, done.result, done.failure, done.lines);
    WriteRecords(session.out(), session.format(), ValueColumns(), {record});
    return kTagFailed;
}

}  // namespace

int RunReadBlock(Session& session, const std::string& text, int count) {
    int status = session.startOnLine();
    if (status != kDone) return status;
    ParsedTag parsed;
    if (!ParseBlockTag(session, text, parsed)) return kTagFailed;
    if (!CheckCount(session, parsed.tag.type, count, kMaxReadBytes)) return kUsage;
    ValueBuffer buffer(parsed.tag.type, count, Layout::Block);
    Transfer done = session.read(parsed.tag, buffer, count, true);
    if (done.result != VPI_OK) return Failed(session, parsed, done);
    std::vector<Record> records;
    for (int i = 0; i < count; ++i) {
        records.push_back(ValueRecord(ElementText(parsed.tag, i, session.threeDigit()),
                                      parsed.tag.type, buffer.element(i)));
    }
    WriteRecords(session.out(), session.format(), ValueColumns(), records);
    return kDone;
}

int RunWriteBlock(Session& session, const std::string& text, const std::vector<std::string>& values) {
    int status = session.startOnLine();
    if (status != kDone) return status;
    ParsedTag parsed;
    if (!ParseBlockTag(session, text, parsed)) return kTagFailed;
    int count = static_cast<int>(values.size());
    if (!CheckCount(session, parsed.tag.type, count, kMaxWriteBytes)) return kUsage;
    ValueBuffer buffer(parsed.tag.type, count, Layout::Block);
    std::vector<std::uint32_t> raws;
    for (int i = 0; i < count; ++i) {
        ParsedValue value = ParseValue(parsed.tag.type, values[static_cast<std::size_t>(i)]);
        if (!value.ok) {
            session.error(ElementText(parsed.tag, i, session.threeDigit()) + ": " + value.why +
                          "; nothing was written");
            return kUsage;
        }
        buffer.setElement(i, value.raw);
        raws.push_back(value.raw);
    }
    Transfer done = session.write(parsed.tag, buffer, count, true);
    if (done.result != VPI_OK) return Failed(session, parsed, done);
    std::vector<Record> records;
    for (int i = 0; i < count; ++i) {
        records.push_back(ValueRecord(ElementText(parsed.tag, i, session.threeDigit()),
                                      parsed.tag.type, raws[static_cast<std::size_t>(i)]));
    }
    WriteRecords(session.out(), session.format(), ValueColumns(), records);
    return kDone;
}

}  // namespace plclink::host
