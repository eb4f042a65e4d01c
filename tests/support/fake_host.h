// The host's runtime library as the unit tests see it: the test executable
// defines err, KorMkClient, KorGetKorvanVer and KorRmClient itself and
// records every call.
#pragma once

#include <string>
#include <vector>

namespace plclink::testing {

struct LogLine {
    int category;
    std::string text;
    bool operator==(const LogLine&) const = default;
};

struct FakeHost {
    std::vector<LogLine> log;
    std::vector<std::string> registeredNames;    // KorMkClient names, in order
    std::vector<unsigned char> removedClients;   // KorRmClient ids, in order
    std::vector<unsigned char> versionQueries;   // KorGetKorvanVer ids, in order
    unsigned short registrationStatus = 0;       // what KorMkClient returns
    unsigned char nextClientId = 7;
    unsigned short version = 820;

    std::vector<std::string> texts() const;      // log texts only
    void reset() { *this = FakeHost{}; }
};

// The one fake host of the test process; reset it in each test's set-up.
FakeHost& Host();

}  // namespace plclink::testing
