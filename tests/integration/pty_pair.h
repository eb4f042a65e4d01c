// A pseudo-terminal pair for tests: the driver opens the slave by its name
// ("pts/N"), the test plays the station on the master side.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plclink::testing {

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0; }
    const std::string& path() const { return path_; }  // "/dev/pts/N"
    std::string name() const { return path_.substr(5); }  // "pts/N"

    // The station's side.
    void send(const std::vector<std::uint8_t>& bytes);
    // Reads what the driver wrote, up to `count` bytes within `waitMs`.
    std::vector<std::uint8_t> receive(std::size_t count, int waitMs = 2000);

private:
    int master_ = -1;
    std::string path_;
};

}  // namespace plclink::testing
