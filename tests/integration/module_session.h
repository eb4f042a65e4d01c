// What the binding tests' hosts do with the module: load plclink.so with
// dlopen, start an instance without a line, parse a refused single address
// and an accepted block address, and end the instance.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plclink/vpi.h"

namespace binding {

using VpiMainFunction = std::int32_t (*)(VpiCallBlock*);

struct Module {
    void* handle;
    VpiMainFunction vpiMain;
};

// Loads the module at `path` and finds VpiMain; exits with status 2 and a
// message when either fails.
Module LoadModule(const char* path);

struct LogLine {
    int category;
    std::string text;
};

// The lines the session makes the module log, in this order, among others.
const std::vector<LogLine>& SessionLines();

// Checks that `received` holds the session's lines in order; returns the
// number missing (each is reported on standard output).
int ExpectSessionLines(const std::vector<LogLine>& received);

// Runs the session; returns the number of results that were not the
// expected ones (each is reported on standard output).
int RunSession(VpiMainFunction vpiMain);

// Reports a failed expectation on standard output; returns 1 when failed.
int Expect(bool holds, const std::string& what);

}  // namespace binding
