// Multi-item reads: one request with several item specifications, one
// answer with a data item for each. The answer is taken only whole: every
// item's head and length must be the one its specification asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "plclink/vpi.h"
#include "ppi/item_packing.h"

namespace plclink {

struct VpiInstance;

// What a checked answer says of one item: its access_result and, when it is
// granted (0xFF), where its values begin in rxFrame.
struct ItemAnswer {
    std::uint8_t accessResult = 0;
    std::size_t valuesAt = 0;
};

// Builds the read request of `request`'s items to its station into txFrame.
// 0, or 1 with a log line when the request would not fit the limits.
int SetS7200MultiRdReq(VpiCallBlock* callBlock, const ReadRequest& request);

// Checks the answer in rxFrame to the request in txFrame, built from
// `request`: the frame as every response, the PDU reference, the function
// and item count, and each data item against its item specification
// (access_result, data_type, length, fill byte). 0 with `answers` filled, or
// 1 with a "Check Responed FAIL" line.
int CheckMultiRdRsp(const VpiInstance& instance, const ReadRequest& request,
                    std::vector<ItemAnswer>& answers);

// The transaction of one multi-item read, by the read's rules (attempts,
// associations, busy stations). The call block's TagAccessRecord must be of
// the request's station: an association goes there. 0 with `answers` filled
// and the values in rxFrame; else 1 or 2 as S7200Read.
int S7200ReadItems(VpiCallBlock* callBlock, const ReadRequest& request,
                   std::vector<ItemAnswer>& answers);

}  // namespace plclink
