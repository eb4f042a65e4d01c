#include "memory_transfer.h"

#include <algorithm>

#include "area.h"
#include "frame_limits.h"

namespace plclink::host {

namespace {

// The analog areas hold words only: their ranges go as blocks of words.
ElementType RangeElement(const std::string& area) {
    return HoldsWordsOnly(MemAreaOfName(area)) ? ElementType::Word : ElementType::Byte;
}

bool BlockTag(Session& session, int plc, const std::string& area, int address, RangeResult& result,
              Tag& tag) {
    const ElementType type = RangeElement(area);
    result.block = GateAddressText(plc, area, type, address, session.threeDigit());
    result.parsed = session.parseTag(result.block, true);
    if (!result.parsed.ok) {
        result.ok = false;
        return false;
    }
    tag = result.parsed.tag;
    tag.type = type;
    return true;
}

}  // namespace

RangeResult ReadRange(Session& session, int plc, const std::string& area, int start, long length,
                      std::vector<std::uint8_t>& bytes, const Progress& progress) {
    RangeResult result;
    bytes.clear();
    for (long done = 0; done < length;) {
        int count = static_cast<int>(std::min<long>(kMaxReadBlockBytes, length - done));
        Tag tag;
        if (!BlockTag(session, plc, area, start + static_cast<int>(done), result, tag)) return result;
        const int size = ElementBytes(tag.type);
        ValueBuffer buffer(tag.type, count / size, Layout::Block);
        result.transfer = session.read(tag, buffer, count / size, true);
        if (result.transfer.result != VPI_OK) {
            result.ok = false;
            return result;
        }
        for (int i = 0; i < count / size; ++i) {
            const std::uint32_t value = buffer.element(i);
            for (int b = size - 1; b >= 0; --b) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * b)));
        }
        done += count;
        if (progress) progress(done);
    }
    return result;
}

RangeResult WriteRange(Session& session, int plc, const std::string& area, int start,
                       const std::vector<std::uint8_t>& bytes, const Progress& progress) {
    RangeResult result;
    long length = static_cast<long>(bytes.size());
    for (long done = 0; done < length;) {
        int count = static_cast<int>(std::min<long>(kMaxWriteBlockBytes, length - done));
        Tag tag;
        if (!BlockTag(session, plc, area, start + static_cast<int>(done), result, tag)) return result;
        const int size = ElementBytes(tag.type);
        ValueBuffer buffer(tag.type, count / size, Layout::Block);
        for (int i = 0; i < count / size; ++i) {
            std::uint32_t value = 0;
            for (int b = 0; b < size; ++b) value = value << 8 | bytes[static_cast<std::size_t>(done + i * size + b)];
            buffer.setElement(i, value);
        }
        result.transfer = session.write(tag, buffer, count / size, true);
        if (result.transfer.result != VPI_OK) {
            result.ok = false;
            return result;
        }
        done += count;
        if (progress) progress(done);
    }
    return result;
}

int ExplainRange(Session& session, const RangeResult& result) {
    if (result.ok) return kDone;
    if (!result.parsed.ok) {
        session.explain(result.block, result.parsed.failure, result.parsed.lines);
        return kUsage;
    }
    session.explain(result.block, result.transfer.failure, result.transfer.lines);
    return ExitStatusOf(result.transfer.failure);
}

}  // namespace plclink::host
