// Reads a fixed set of tags, round after round, through a read plan: each
// step is one transaction, a single read (command 5) or a block read of
// bytes (commands 4 and 6) whose bytes are handed out to its tags. Every tag
// gets the value a single read of it would give.
//
// A block the controller refuses (result 1) is read tag by tag in that round
// and in all later ones, so one address the controller does not have fails
// alone. A block whose link fails fails every tag in it.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "read_plan.h"
#include "session.h"
#include "value_buffer.h"

namespace plclink::host {

struct TagReading {
    Transfer done;
    ValueBuffer buffer{ElementType::Byte, 1, Layout::Single};
};

class TagReader {
public:
    // Plans the reads of `tags`; with `coalesce` false, one per tag.
    TagReader(Session& session, std::vector<Tag> tags, bool coalesce);

    // One round: a reading per tag, in the order of the tags.
    std::vector<TagReading> readAll();

    // Transactions a round takes when nothing fails.
    std::size_t transactionsPerRound() const { return steps_.size(); }

private:
    struct Step {
        ReadStep plan;
        Tag blockTag;  // the block address as command 4 parsed it
    };

    static Step SingleStep(std::size_t index);
    void readSingle(std::size_t index, std::vector<TagReading>& out);
    // False when the block was refused and its tags are to be read alone.
    bool readBlock(const Step& step, std::vector<TagReading>& out);

    Session& session_;
    std::vector<Tag> tags_;
    std::vector<Step> steps_;
};

}  // namespace plclink::host
