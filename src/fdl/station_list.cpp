#include "fdl/station_list.h"

namespace plclink {

bool StationList::Between(std::uint8_t from, std::uint8_t to, std::uint8_t address) {
    if (from < to) return address > from && address < to;
    // The pass wraps round past the highest address (or goes to the sender itself).
    return address > from || address < to;
}

void StationList::HearPass(std::uint8_t from, std::uint8_t to) {
    if (from >= kSize || to >= kSize) return;
    for (std::uint8_t a = 0; a < kSize; ++a)
        if (from != to && Between(from, to, a)) active_[a] = false;
    if (from == to) {
        active_.reset();  // a station alone passes the token to itself
    }
    active_[from] = true;
    if (to > from) return;
    // The pass wraps round: a rotation ends here. The first one heard may
    // have begun part-way; the list counts from the second.
    ++wraps_;
    if (wraps_ == 1) {
        active_.reset();
        active_[from] = true;
        return;
    }
    if (wraps_ >= 3 && active_ == lastRotation_) valid_ = true;
    lastRotation_ = active_;
}

void StationList::Add(std::uint8_t address) {
    if (address < kSize) active_[address] = true;
}

void StationList::Drop(std::uint8_t address) {
    if (address < kSize) active_[address] = false;
}

void StationList::Restart() {
    active_.reset();
    lastRotation_.reset();
    wraps_ = 0;
    valid_ = false;
}

int StationList::PredecessorOf(std::uint8_t own) const {
    for (int a = own - 1; a >= 0; --a)
        if (active_[static_cast<std::size_t>(a)]) return a;
    for (int a = kSize - 1; a > own; --a)
        if (active_[static_cast<std::size_t>(a)]) return a;
    return kNoStation;
}

int StationList::SuccessorOf(std::uint8_t own) const {
    for (int a = own + 1; a < static_cast<int>(kSize); ++a)
        if (active_[static_cast<std::size_t>(a)]) return a;
    for (int a = 0; a < own; ++a)
        if (active_[static_cast<std::size_t>(a)]) return a;
    return kNoStation;
}

}  // namespace plclink
