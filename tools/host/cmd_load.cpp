// load: writes a memory image back into the controller, then reads the range
// again and compares it byte by byte.
#include <cstdio>

#include "commands.h"
#include "memory_image.h"
#include "memory_transfer.h"
#include "progress_bar.h"

namespace plclink::host {

int RunLoad(Session& session, const std::string& file, std::optional<int> plc) {
    MemoryImage image;
    std::string why;
    if (!LoadImage(file, image, why)) {
        session.error(why);
        return kUsage;
    }
    if (plc) image.plc = *plc;
    int status = session.startOnLine();
    if (status != kDone) return status;
    long length = static_cast<long>(image.bytes.size());

    RangeResult result;
    {
        ProgressBar bar(stderr, "load", length);
        result = WriteRange(session, image.plc, image.area, image.start, image.bytes,
                            [&](long done) { bar.update(done); });
    }
    if (!result.ok) {
        session.error("load stopped; the range may be partly written");
        return ExplainRange(session, result);
    }
    std::vector<std::uint8_t> back;
    {
        ProgressBar bar(stderr, "verify", length);
        result = ReadRange(session, image.plc, image.area, image.start, length, back,
                           [&](long done) { bar.update(done); });
    }
    if (!result.ok) {
        session.error("written, but the read-back for verification failed");
        return ExplainRange(session, result);
    }
    long differences = 0;
    long first = -1;
    for (long i = 0; i < length; ++i) {
        if (back[static_cast<std::size_t>(i)] != image.bytes[static_cast<std::size_t>(i)]) {
            if (first < 0) first = i;
            ++differences;
        }
    }
    Record record;
    record.add("file", Cell::Text(file));
    record.add("plc", Cell::Number(image.plc));
    record.add("area", Cell::Text(image.area));
    record.add("start", Cell::Number(image.start));
    record.add("length", Cell::Number(length));
    record.add("verified", Cell::Bool(differences == 0));
    record.add("differences", Cell::Number(differences));
    record.add("status", Cell::Text(differences == 0 ? "ok" : "verify failed"));
    WriteRecords(session.out(), session.format(),
                 {"file", "plc", "area", "start", "length", "verified", "differences", "status"}, {record});
    if (differences != 0) {
        char at[64];
        std::snprintf(at, sizeof at, "%s byte %ld", image.area.c_str(), image.start + first);
        session.error(std::to_string(differences) + " bytes read back differ, the first at " + at);
        return kTagFailed;
    }
    return kDone;
}

}  // namespace plclink::host
