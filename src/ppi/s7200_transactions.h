// The association, read and write transactions: build the request, run one
// exchange, check the response, and retry; a broken link is recovered by
// setting up the association with the controller again.
#pragma once

#include <cstdint>

#include "plclink/vpi.h"
#include "ppi/s7200_messages.h"

namespace plclink {

inline constexpr int kTransactionAttempts = 3;
inline constexpr int kAssociationAttempts = 3;
inline constexpr std::uint32_t kAssociationWaitMs = 3000;

// 0 associated; 1 the last attempt met a refused response or a broken or
// foreign frame; 2 it met silence; 3 (kLinkBusy) the station answered busy,
// which ends the association at once.
int S7200EstablishAssociation(VpiCallBlock* callBlock);

// Read or write `count` elements of the call block's TagAccessRecord, whose
// elementIndex holds the byte address. 0 done; 1 the request cannot be built
// or the last attempt was refused or met a busy station (logged once); 2 the
// link failed on the last attempt.
int S7200Read(VpiCallBlock* callBlock, std::int32_t count);
// A write takes its values from the host's buffer by `layout`.
int S7200Write(VpiCallBlock* callBlock, std::int32_t count,
               ValueLayout layout = ValueLayout::kByCount);

// What tells one kind of transaction from another: how its request is built
// into txFrame and how a received response is accepted (each 0 or 1, given
// `job`), and its two log lines.
struct TransactionSteps {
    int (*build)(VpiCallBlock* callBlock, void* job);
    int (*accept)(VpiCallBlock* callBlock, void* job);
    void* job;
    const char* buildFailLine;
    const char* associationFailLine;
};

// A transaction by the rules of the read and write: the same attempts,
// associations (to the call block's TagAccessRecord's station), busy-station
// handling and results.
int RunS7200Transaction(VpiCallBlock* callBlock, const TransactionSteps& steps);

}  // namespace plclink
