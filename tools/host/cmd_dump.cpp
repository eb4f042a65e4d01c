// dump: copies a byte range of controller memory into a memory image file.
#include <cctype>
#include <cstdio>

#include "area.h"
#include "commands.h"
#include "memory_image.h"
#include "memory_transfer.h"
#include "progress_bar.h"

namespace plclink::host {

int RunDump(Session& session, const std::string& areaName, int start, long length,
            const std::string& file, int plc) {
    const std::string area = CanonicalAreaName(areaName);
    std::string range = CheckRange(area, start, length);
    if (!range.empty()) {
        session.error(range);
        return kUsage;
    }
    int status = session.startOnLine();
    if (status != kDone) return status;

    MemoryImage image{plc, area, start, {}};
    RangeResult result;
    {
        ProgressBar bar(stderr, "dump", length);
        result = ReadRange(session, plc, area, start, length, image.bytes,
                           [&](long done) { bar.update(done); });
    }
    if (!result.ok) {
        session.error("dump stopped after " + std::to_string(image.bytes.size()) + " of " +
                      std::to_string(length) + " bytes; " + file + " not written");
        return ExplainRange(session, result);
    }
    std::string why;
    if (!SaveImage(file, image, why)) {
        session.error(why);
        return kUsage;
    }
    Record record;
    record.add("file", Cell::Text(file));
    record.add("plc", Cell::Number(plc));
    record.add("area", Cell::Text(area));
    record.add("start", Cell::Number(start));
    record.add("length", Cell::Number(length));
    record.add("status", Cell::Text("ok"));
    WriteRecords(session.out(), session.format(), {"file", "plc", "area", "start", "length", "status"},
                 {record});
    return kDone;
}

}  // namespace plclink::host
