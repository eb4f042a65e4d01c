#include "tag_reader.h"

#include <map>
#include <utility>

#include "area.h"
#include "block_values.h"
#include "host_log.h"
#include "interrupt.h"

namespace plclink::host {

TagReader::Step TagReader::SingleStep(std::size_t index) {
    Step step;
    step.plan.tags = {index};
    return step;
}

ReadMode ReadModeOf(const GlobalOptions& options) {
    return options.coalesce ? ReadMode::MultiItem : ReadMode::OneByOne;
}

TagReader::TagReader(Session& session, std::vector<Tag> tags, ReadMode mode)
    : session_(session), tags_(std::move(tags)), together_(mode == ReadMode::MultiItem) {
    if (!together_) {
        plan(mode == ReadMode::Blocks);
        return;
    }
    // One call per station: the last response the module keeps, which
    // explains a refusal by the controller, is then that station's.
    std::map<int, std::size_t> slots;
    for (std::size_t i = 0; i < tags_.size(); ++i) {
        auto [slot, fresh] = slots.try_emplace(tags_[i].station(), byStation_.size());
        if (fresh) byStation_.emplace_back();
        byStation_[slot->second].push_back(i);
    }
}

void TagReader::plan(bool coalesce) {
    const LineOptions& line = session_.options().line;
    const auto reads = coalesce ? PlanReads(tags_, CoalesceRuleFor(line.baud, session_.pauseMs()))
                               : OneByOne(tags_);
    // The block parses' trace lines say nothing the user asked about.
    HostLog& log = HostLog::Instance();
    log.hold(true);
    for (const ReadStep& planned : reads) {
        if (!planned.isBlock()) {
            steps_.push_back(Step{planned, Tag{}});
            continue;
        }
        // The analog areas are read as a block of words, the others of bytes.
        const ElementType type = HoldsWordsOnly(planned.area) ? ElementType::Word : ElementType::Byte;
        const std::string text = GateAddressText(planned.plcNumber, AreaName(planned.area), type,
                                                 planned.firstByte, session_.threeDigit());
        ParsedTag parsed = session_.parseTag(text, true);
        if (parsed.ok) {
            steps_.push_back(Step{planned, parsed.tag});
        } else {
            for (std::size_t index : planned.tags) steps_.push_back(SingleStep(index));
        }
    }
    log.takeHeld();
    log.hold(false);
}

void TagReader::readSingle(std::size_t index, std::vector<TagReading>& out) {
    TagReading& reading = out[index];
    reading.buffer = ValueBuffer(tags_[index].type, 1, Layout::Single);
    DeferInterrupts quiet;
    reading.done = session_.read(tags_[index], reading.buffer, 1, false);
}

bool TagReader::readBlock(const Step& step, std::vector<TagReading>& out) {
    const int elementBytes = ElementBytes(step.blockTag.type);
    const int count = step.plan.byteCount / elementBytes;
    ValueBuffer elements(step.blockTag.type, count, Layout::Block);
    Transfer done;
    {
        DeferInterrupts quiet;
        done = session_.read(step.blockTag, elements, count, true);
    }
    if (done.result == 1) return false;
    // The controller's bytes again, most significant first within a word.
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        const std::uint32_t value = elements.element(i);
        for (int b = elementBytes - 1; b >= 0; --b) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * b)));
    }
    const std::uint8_t* memory = bytes.data();
    for (std::size_t index : step.plan.tags) {
        TagReading& reading = out[index];
        reading.done = done;
        reading.buffer = done.result == 0
                             ? SingleReadBuffer(tags_[index], ValueInBlock(tags_[index], memory, step.plan.firstByte))
                             : ValueBuffer(tags_[index].type, 1, Layout::Single);
    }
    return true;
}

bool TagReader::readTogether(std::vector<TagReading>& out) {
    requestsLastRound_ = 0;
    for (const std::vector<std::size_t>& station : byStation_) {
        std::vector<Tag> tags;
        std::vector<ValueBuffer> buffers;
        for (std::size_t index : station) {
            tags.push_back(tags_[index]);
            buffers.emplace_back(tags_[index].type, 1, Layout::Single);
        }
        TagsTransfer done;
        {
            DeferInterrupts quiet;
            done = session_.readTags(tags, buffers);
        }
        if (!done.available) return false;
        requestsLastRound_ += done.requests;
        for (std::size_t i = 0; i < station.size(); ++i) {
            TagReading& reading = out[station[i]];
            reading.done = std::move(done.tags[i]);
            reading.buffer = reading.done.result == VPI_OK ? buffers[i] : ValueBuffer(tags[i].type, 1, Layout::Single);
        }
    }
    return true;
}

std::vector<TagReading> TagReader::readAll() {
    std::vector<TagReading> out(tags_.size());
    if (together_) {
        if (readTogether(out)) return out;
        // A module without command 20: the host plans the blocks itself.
        together_ = false;
        plan(true);
    }
    requestsLastRound_ = 0;
    std::vector<Step> next;
    for (const Step& step : steps_) {
        ++requestsLastRound_;
        if (!step.plan.isBlock()) {
            readSingle(step.plan.tags.front(), out);
            next.push_back(step);
            continue;
        }
        if (readBlock(step, out)) {
            next.push_back(step);
            continue;
        }
        // Refused as a block: these tags are read alone from now on.
        for (std::size_t index : step.plan.tags) {
            ++requestsLastRound_;
            readSingle(index, out);
            next.push_back(SingleStep(index));
        }
    }
    steps_ = std::move(next);
    return out;
}

}  // namespace plclink::host
