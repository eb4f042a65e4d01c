// parse: the address fields the module makes of each tag (command 3, or 4
// with --block), or why it rejects the tag.
#include "area.h"
#include "commands.h"

namespace plclink::host {

namespace {

Record ParseRecord(const ParsedTag& parsed) {
    Record record;
    record.add("tag", Cell::Text(parsed.tag.text));
    if (!parsed.ok) {
        AddFailureFields(record, parsed.result, parsed.failure, parsed.lines);
        return record;
    }
    const GateParseRecord& r = parsed.record;
    record.add("status", Cell::Text("ok"));
    record.add("type", Cell::Text(std::string(ElementName(parsed.tag.type))));
    record.add("plc", Cell::Number(r.plcNumber));
    record.add("area", Cell::Text(AreaName(r.memArea)));
    record.add("area_bits", Cell::Number(r.memAreaBits));
    record.add("element_index", Cell::Number(r.elementIndex));
    record.add("byte_address", Cell::Number(parsed.tag.byteAddress()));
    record.add("bit", r.bitNumber == VPI_NO_BIT ? Cell::Null() : Cell::Number(r.bitNumber));
    record.add("size_bits", Cell::Number(r.sizeBits));
    return record;
}

}  // namespace

int RunParse(Session& session, const std::vector<std::string>& tags,
             std::optional<std::int32_t> gateType, bool block) {
    int status = session.startWithoutLine();
    if (status != kDone) return status;
    std::vector<Record> records;
    for (const std::string& text : tags) {
        ParsedTag parsed = block ? session.parseTag(text, true)
                         : gateType ? session.parseWithGateType(text, *gateType)
                                    : session.parseTag(text, false);
        if (!parsed.ok) {
            session.explain(text, parsed.failure, parsed.lines);
            status = kTagFailed;
        }
        records.push_back(ParseRecord(parsed));
    }
    WriteRecords(session.out(), session.format(),
                 {"tag", "status", "type", "plc", "area", "area_bits", "element_index", "byte_address", "bit",
                  "size_bits"},
                 records);
    return status;
}

}  // namespace plclink::host
