// The line benchmark's study of short pauses, busy stations and coalesced
// reads: see pause_study.cpp.
#pragma once

#include <string>
#include <vector>

#include "loaded_module.h"

namespace plclink::bench {

struct PauseStudyOptions {
    std::vector<unsigned> bauds{9600, 19200, 187500};
    int repeat = 20;  // single reads per case
    int rounds = 3;   // monitor rounds per case
    std::string simPath;
};

// Runs every case against ppi-sim --line-speed and prints the tables; 0
// when every read gave the right value, 1 otherwise, 2 when it could not
// run.
int RunPauseStudy(const kit::LoadedModule& module, const PauseStudyOptions& options);

}  // namespace plclink::bench
