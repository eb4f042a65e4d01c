#include "tag.h"

#include <cctype>
#include <cstdio>

#include "area.h"

namespace plclink::host {

ElementType ElementTypeOfText(std::string_view text, bool threeDigit) {
    const std::size_t plcDigits = threeDigit ? 3 : 2;
    const std::size_t letterAt = plcDigits + AreaLettersAt(text, plcDigits);
    const std::size_t plainLength = letterAt + 5;
    if (text.size() == plainLength + 1) return ElementType::Bit;
    if (text.size() <= letterAt) return ElementType::Byte;
    switch (std::toupper(static_cast<unsigned char>(text[letterAt]))) {
        case 'W': return ElementType::Word;
        case 'D': return ElementType::DWord;
        case 'F': return ElementType::Float;
        default: return ElementType::Byte;
    }
}

std::int32_t Tag::byteAddress() const {
    if (IsElementAddressed(memArea)) return elementIndex;
    return elementIndex * (sizeBits / 8 > 0 ? sizeBits / 8 : 1);
}

void TakeGateAddress(Tag& tag, const GateParseRecord& record) {
    tag.plcNumber = record.plcNumber;
    tag.memArea = record.memArea;
    tag.memAreaBits = record.memAreaBits;
    tag.elementIndex = record.elementIndex;
    tag.bitNumber = record.bitNumber;
    tag.sizeBits = record.sizeBits;
}

TagAccessRecord AccessRecordOf(const Tag& tag, void* buffer, std::int32_t itemCount) {
    TagAccessRecord record{};
    record.plcNumber = tag.plcNumber;
    record.memArea = tag.memArea;
    record.memAreaBits = tag.memAreaBits;
    record.elementIndex = tag.elementIndex;
    record.bitNumber = tag.bitNumber;
    record.sizeBits = tag.sizeBits;
    record.tagKind = 0;
    record.itemCount = itemCount;
    record.dataBuffer = buffer;
    return record;
}

std::string GateAddressText(int plcNumber, std::string_view area, ElementType type,
                            int byteAddress, bool threeDigit) {
    const std::string name(area);
    char text[32];
    std::snprintf(text, sizeof text, threeDigit ? "%03d%s%c%04d" : "%02d%s%c%04d", plcNumber,
                  name.c_str(), ElementLetter(type), byteAddress);
    return text;
}

std::string ElementText(const Tag& first, int index, bool threeDigit) {
    if (index == 0) return first.text;
    // Timers and counters of a block are consecutive numbers.
    const int step = IsElementAddressed(first.memArea) ? 1 : ElementBytes(first.type);
    return GateAddressText(first.plcNumber, AreaName(first.memArea), first.type,
                           first.byteAddress() + index * step, threeDigit);
}

}  // namespace plclink::host
