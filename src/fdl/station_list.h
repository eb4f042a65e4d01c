// The list of active stations (LAS) that a station builds by listening to
// the token passes: each pass marks its sender active and clears the
// addresses between sender and receiver. The list is valid once two
// rotations in a row, each ended by the pass that wraps round to the lowest
// address, left the same list.
#pragma once

#include <bitset>
#include <cstdint>

namespace plclink {

inline constexpr int kNoStation = -1;

class StationList {
public:
    explicit StationList(std::uint8_t hsa) : hsa_(hsa) {}

    // A token passed from `from` to `to`, heard on the line.
    void HearPass(std::uint8_t from, std::uint8_t to);
    bool Valid() const { return valid_; }
    bool IsActive(std::uint8_t address) const { return address < kSize && active_[address]; }
    void Add(std::uint8_t address);
    void Drop(std::uint8_t address);
    // Listen anew: the list is empty and not valid.
    void Restart();

    // The active station before `own` in the ring (the highest address below
    // it, else the highest of all), and the one after it (the lowest address
    // above it, else the lowest of all); kNoStation when `own` is alone.
    int PredecessorOf(std::uint8_t own) const;
    int SuccessorOf(std::uint8_t own) const;
    // True when `address` lies strictly between `from` and `to` in the
    // ring's order (a pass from `from` to `to` goes over it).
    static bool Between(std::uint8_t from, std::uint8_t to, std::uint8_t address);

    std::uint8_t hsa() const { return hsa_; }

private:
    static constexpr std::size_t kSize = 128;
    std::uint8_t hsa_;
    std::bitset<kSize> active_;
    std::bitset<kSize> lastRotation_;
    int wraps_ = 0;
    bool valid_ = false;
};

}  // namespace plclink
