// The main loop of a bus with simulated masters: the token bus runs on the
// real clock, its bytes go out on the line as a line at the baud rate
// carries them, and each frame the outside master sends is handed to it.
#pragma once

#include <csignal>
#include <iosfwd>

#include "ppisim/line.h"
#include "ppisim/runner.h"
#include "ppisim/token_bus.h"

namespace ppisim {

// Runs until `*stop` becomes non-zero or the time is up; 0 when ended so,
// 1 when the line failed. Whenever `*summary` is non-zero the summary lines
// go to `report` and it is cleared.
int RunTokenBus(Line& line, TokenBus& bus, const RunOptions& options, Trace& trace,
                const volatile std::sig_atomic_t* stop, volatile std::sig_atomic_t* summary,
                std::ostream& report);

void PrintSummary(const TokenBus& bus, std::ostream& report);

}  // namespace ppisim
