// One multi-item read as a transaction of its own kind, run by the same
// attempts and exchange as the single read.
#include "core/vpi_instance.h"
#include "ppi/multi_read.h"
#include "ppi/s7200_transactions.h"

namespace plclink {
namespace {

struct MultiReadJob {
    const ReadRequest& request;
    std::vector<ItemAnswer>& answers;
};

int BuildMultiRead(VpiCallBlock* callBlock, void* job) {
    return SetS7200MultiRdReq(callBlock, static_cast<MultiReadJob*>(job)->request);
}

int AcceptMultiRead(VpiCallBlock* callBlock, void* job) {
    auto& read = *static_cast<MultiReadJob*>(job);
    return CheckMultiRdRsp(*InstanceOf(callBlock), read.request, read.answers);
}

}  // namespace

int S7200ReadItems(VpiCallBlock* callBlock, const ReadRequest& request,
                   std::vector<ItemAnswer>& answers) {
    MultiReadJob job{request, answers};
    return RunS7200Transaction(callBlock, {BuildMultiRead, AcceptMultiRead, &job,
                                           "S7200ReadItems() SetS7200MultiRdReq FAIL",
                                           "S7200ReadItems() S7200EstablishAssociation() rc = %d"});
}

}  // namespace plclink
