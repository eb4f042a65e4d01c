#include "value_record.h"

#include "value_format.h"

namespace plclink::host {

const std::vector<std::string>& ValueColumns() {
    static const std::vector<std::string> columns{"tag", "type", "value", "signed", "hex", "status"};
    return columns;
}

Record TagRecord(const std::string& tagText, ElementType type) {
    Record record;
    record.add("tag", Cell::Text(tagText));
    record.add("type", Cell::Text(std::string(ElementName(type))));
    return record;
}

Record ValueRecord(const std::string& tagText, ElementType type, std::uint32_t raw, bool signedValue) {
    Record record = TagRecord(tagText, type);
    switch (type) {
        case ElementType::Float:
            record.add("value", FloatIsFinite(raw) ? Cell::Number(FloatText(raw)) : Cell::Text(FloatText(raw)));
            record.add("signed", Cell::Null());
            record.add("hex", Cell::Text(HexText(type, raw)));
            break;
        case ElementType::Bit:
            record.add("value", Cell::Number(UnsignedText(type, raw)));
            record.add("signed", Cell::Null());
            record.add("hex", Cell::Null());
            break;
        default:
            record.add("value", Cell::Number(signedValue ? SignedText(type, raw) : UnsignedText(type, raw)));
            record.add("signed", Cell::Number(SignedText(type, raw)));
            record.add("hex", Cell::Text(HexText(type, raw)));
    }
    record.add("status", Cell::Text("ok"));
    return record;
}

}  // namespace plclink::host
