// The tool's commands. Each returns the program's exit status.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "session.h"

namespace plclink::host {

int RunDescribe(Session& session);
int RunParse(Session& session, const std::vector<std::string>& tags,
             std::optional<std::int32_t> gateType, bool block);
int RunRead(Session& session, const std::vector<std::string>& tags);
int RunWrite(Session& session, const std::vector<std::string>& assignments);
// With `fullFrames` the station takes frames up to LE 255 (the module's own
// limit); otherwise a block stays within what an S7-200 takes.
int RunReadBlock(Session& session, const std::string& tag, int count, bool fullFrames);
int RunWriteBlock(Session& session, const std::string& tag, const std::vector<std::string>& values,
                  bool fullFrames);

struct MonitorOptions {
    std::vector<std::string> tags;
    int intervalMs = 1000;
    std::optional<long> count;        // polls
    std::optional<double> durationS;  // seconds
};
int RunMonitor(Session& session, const MonitorOptions& options);

int RunDump(Session& session, const std::string& area, int start, long length,
            const std::string& file, int plc);
int RunLoad(Session& session, const std::string& file, std::optional<int> plc);
// Exit statuses of tagformat besides 0 (written) and 1 (cancelled).
inline constexpr int kNoDialog = 3;       // no terminal the dialog can be drawn on
inline constexpr int kInterrupted = 130;  // Ctrl-C: 128 + SIGINT, as shells report it
int RunTagFormat(Session& session);

}  // namespace plclink::host
