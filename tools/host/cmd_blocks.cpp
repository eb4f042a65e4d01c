// read-block and write-block: consecutive elements from a block tag
// (command 4) with commands 6 and 10, as many as one exchange with an S7-200
// carries, or one full frame when the user says the station takes it.
#include "area.h"
#include "commands.h"
#include "frame_limits.h"
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

// The most value bytes of one direction: within an S7-200's limits, and in a
// full frame.
struct BlockLimit {
    int s7200Bytes;
    int fullFrameBytes;
};
constexpr BlockLimit kReadLimit{kMaxReadBlockBytes, kFullFrameReadBytes};
constexpr BlockLimit kWriteLimit{kMaxWriteBlockBytes, kFullFrameWriteBytes};

// `answerBytes`: what one element takes in a read answer when that is not
// its size (a timer's or counter's record), else 0.
bool CheckCount(Session& session, ElementType type, long count, BlockLimit limit, bool fullFrames,
                int answerBytes = 0) {
    const int bytes = answerBytes != 0 ? answerBytes : ElementBytes(type);
    const long most = ElementsThatFit(fullFrames ? limit.fullFrameBytes : limit.s7200Bytes, bytes);
    if (count >= 1 && count <= most) return true;
    std::string why = "a " + std::string(ElementName(type)) + " block holds 1.." + std::to_string(most) +
                      " elements";
    if (fullFrames) {
        why += " in one frame";
    } else {
        why += " in one exchange with an S7-200 (PDU " + std::to_string(kS7200PduSize) +
               " bytes, LE up to " + std::to_string(kProfibusMaxLe) + "); --max-frame allows " +
               std::to_string(ElementsThatFit(limit.fullFrameBytes, bytes)) +
               " for a station that takes full frames";
    }
    session.error(why);
    return false;
}

int Failed(Session& session, const ParsedTag& parsed, const Transfer& done) {
    session.explain(parsed.tag.text, done.failure, done.lines);
    Record record = TagRecord(parsed.tag.text, parsed.tag.type);
    AddFailureFields(record, done.result, done.failure, done.lines);
    WriteRecords(session.out(), session.format(), ValueColumns(), {record});
    return ExitStatusOf(done.failure);
}

}  // namespace

int RunReadBlock(Session& session, const std::string& text, int count, bool fullFrames) {
    int status = session.startOnLine();
    if (status != kDone) return status;
    ParsedTag parsed;
    if (!ParseBlockTag(session, text, parsed)) return kUsage;
    if (!CheckCount(session, parsed.tag.type, count, kReadLimit, fullFrames,
                    ElementRecordBytes(parsed.tag.memArea)))
        return kUsage;
    ValueBuffer buffer(parsed.tag.type, count, Layout::Block);
    Transfer done = session.read(parsed.tag, buffer, count, true);
    if (done.result != VPI_OK) return Failed(session, parsed, done);
    std::vector<Record> records;
    for (int i = 0; i < count; ++i) {
        records.push_back(ValueRecord(ElementText(parsed.tag, i, session.threeDigit()),
                                      parsed.tag.type, buffer.element(i),
                                      IsElementAddressed(parsed.tag.memArea)));
    }
    WriteRecords(session.out(), session.format(), ValueColumns(), records);
    return kDone;
}

int RunWriteBlock(Session& session, const std::string& text, const std::vector<std::string>& values,
                  bool fullFrames) {
    int status = session.startOnLine();
    if (status != kDone) return status;
    ParsedTag parsed;
    if (!ParseBlockTag(session, text, parsed)) return kUsage;
    int count = static_cast<int>(values.size());
    if (!CheckCount(session, parsed.tag.type, count, kWriteLimit, fullFrames)) return kUsage;
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
