// The hand-off of an exchange to the instance's station in the token ring:
// the same request, SC, poll and response as on a line of its own, run in a
// token visit with the bus idle time as the pause and the slot time as the
// read time-out.
#pragma once

#include "core/vpi_instance.h"
#include "fdl/ring_station.h"

namespace plclink {

// The result of an exchange whose station is not in the ring.
inline constexpr int kLinkNotInRing = kVisitNotInRing;

// Runs the exchange of the request in txFrame in one of `station`'s token
// visits: PpiExchange's result, 2 when no visit came within the read
// time-out, or kLinkNotInRing.
int ExchangeInTokenVisit(RingStation& station, VpiInstance& instance);

// A transaction that met kLinkNotInRing: one line that says why, and 2.
int NotInTokenRing(const VpiInstance& instance);

}  // namespace plclink
