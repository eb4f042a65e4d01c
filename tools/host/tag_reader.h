// Reads a fixed set of tags, round after round, in one of three ways:
//
// - one by one: each tag a single read (command 5);
// - blocks: through a read plan, each step one transaction, a single read or
//   a block read of bytes (commands 4 and 6) whose bytes are handed out to
//   its tags. A block the controller refuses (result 1) is read tag by tag
//   in that round and in all later ones, so one address the controller does
//   not have fails alone. A block whose link fails fails every tag in it.
// - multi-item (the default): each round one call of command 20 per
//   station, which packs the tags into multi-item requests (close tags share
//   an item there: the module's packing is then the one place that groups
//   them). A module without command 20 is read in blocks instead.
//
// Every tag gets the value a single read of it would give.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "read_plan.h"
#include "session.h"
#include "value_buffer.h"

namespace plclink::host {

enum class ReadMode { OneByOne, Blocks, MultiItem };

// The mode the options ask for: --no-coalesce one by one, else multi-item
// (blocks only where the module lacks command 20).
ReadMode ReadModeOf(const GlobalOptions& options);

struct TagReading {
    Transfer done;
    ValueBuffer buffer{ElementType::Byte, 1, Layout::Single};
};

class TagReader {
public:
    TagReader(Session& session, std::vector<Tag> tags, ReadMode mode);

    // One round: a reading per tag, in the order of the tags.
    std::vector<TagReading> readAll();

    // Requests the last round sent (without repeated attempts).
    std::size_t requestsLastRound() const { return requestsLastRound_; }

private:
    struct Step {
        ReadStep plan;
        Tag blockTag;  // the block address as command 4 parsed it
    };

    static Step SingleStep(std::size_t index);
    void plan(bool coalesce);
    // False when the module has no command 20.
    bool readTogether(std::vector<TagReading>& out);
    void readSingle(std::size_t index, std::vector<TagReading>& out);
    // False when the block was refused and its tags are to be read alone.
    bool readBlock(const Step& step, std::vector<TagReading>& out);

    Session& session_;
    std::vector<Tag> tags_;
    std::vector<Step> steps_;
    bool together_ = false;  // command 20 reads the rounds
    std::vector<std::vector<std::size_t>> byStation_;  // tag indices, stations in order
    std::size_t requestsLastRound_ = 0;
};

}  // namespace plclink::host
