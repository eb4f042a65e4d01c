#include "memory_transfer.h"

#include <algorithm>

#include "frame_limits.h"

namespace plclink::host {

namespace {

bool BlockTag(Session& session, int plc, char area, int address, RangeResult& result, Tag& tag) {
    result.block = GateAddressText(plc, area, ElementType::Byte, address, session.threeDigit());
    result.parsed = session.parseTag(result.block, true);
    if (!result.parsed.ok) {
        result.ok = false;
        return false;
    }
    tag = result.parsed.tag;
    tag.type = ElementType::Byte;
    return true;
}

}  // namespace

RangeResult ReadRange(Session& session, int plc, char area, int start, long length,
                      std::vector<std::uint8_t>& bytes, const Progress& progress) {
    RangeResult result;
    bytes.clear();
    for (long done = 0; done < length;) {
        int count = static_cast<int>(std::min<long>(kMaxReadBlockBytes, length - done));
        Tag tag;
        if (!BlockTag(session, plc, area, start + static_cast<int>(done), result, tag)) return result;
        ValueBuffer buffer(ElementType::Byte, count, Layout::Block);
        result.transfer = session.read(tag, buffer, count, true);
        if (result.transfer.result != VPI_OK) {
            result.ok = false;
            return result;
        }
        for (int i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(buffer.element(i)));
        done += count;
        if (progress) progress(done);
    }
    return result;
}

RangeResult WriteRange(Session& session, int plc, char area, int start,
                       const std::vector<std::uint8_t>& bytes, const Progress& progress) {
    RangeResult result;
    long length = static_cast<long>(bytes.size());
    for (long done = 0; done < length;) {
        int count = static_cast<int>(std::min<long>(kMaxWriteBlockBytes, length - done));
        Tag tag;
        if (!BlockTag(session, plc, area, start + static_cast<int>(done), result, tag)) return result;
        ValueBuffer buffer(ElementType::Byte, count, Layout::Block);
        for (int i = 0; i < count; ++i) buffer.setElement(i, bytes[static_cast<std::size_t>(done + i)]);
        result.transfer = session.write(tag, buffer, count, true);
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
