#include "retry_model.h"

namespace plclink::soak {
namespace {

constexpr int kAttempts = 3;
constexpr std::uint64_t kAssociationWaitMs = 3000;
// Slack for each exchange on a busy machine: scheduling of the driver and of
// the simulator, the bytes on the pseudo-terminal, and the discarding of
// noise left on the line (one 50 ms read).
constexpr std::uint64_t kExchangeSlackMs = 50 + 100;

// What one exchange gives the transaction: 0 a response that passes,
// 3 a response that the check refuses (status 0), 1 a broken or foreign
// frame, 2 silence.
constexpr int kPassed = 0, kBroken = 1, kSilent = 2, kRefused = 3;

int ExchangeOf(Fault fault) {
    switch (fault) {
        case Fault::None: return kPassed;
        case Fault::Silent: return kSilent;
        case Fault::Token:
        case Fault::Garbage:
        case Fault::Truncate: return kBroken;
        case Fault::BadFcs:
        case Fault::Refuse: return kRefused;
    }
    return kBroken;
}

// Longest time of one exchange by how it went: 40 ms pause and 1 ms RTS
// lead before the request, and when the SC came, 40 ms and 1 ms before the
// poll; a silent station costs one read time-out, a truncated response two
// (the read that got part of it, then the one that got nothing).
std::uint64_t ExchangeMs(Fault fault, std::uint64_t t) {
    std::uint64_t ms = 41 + kExchangeSlackMs;
    switch (fault) {
        case Fault::Silent: return ms + t;
        case Fault::Token:
        case Fault::Garbage: return ms;
        case Fault::Truncate: return ms + 41 + 2 * t;
        default: return ms + 41;
    }
}

class Walk {
public:
    Walk(const std::vector<SimRequest>& requests, std::uint64_t t, Expectation& e)
        : requests_(requests), t_(t), e_(e) {}

    // The next exchange, which must be of `job`; -1 when the requests ran out
    // or do not fit.
    int exchange(Job job) {
        if (at_ >= requests_.size()) {
            fail("the controller saw fewer requests than the rules make");
            return -1;
        }
        const SimRequest& r = requests_[at_++];
        if (r.job != job) {
            fail(std::string("request ") + std::to_string(at_) + " was a " + NameOf(r.job) +
                 ", the rules make a " + NameOf(job));
            return -1;
        }
        e_.worstMs += ExchangeMs(r.fault, t_);
        if (job == Job::Association) {
            ++e_.associations;
            e_.worstMs += kAssociationWaitMs;
        }
        return ExchangeOf(r.fault);
    }

    // S7200EstablishAssociation: 0, 1 or 2.
    int associate() {
        int last = 2;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            const int x = exchange(Job::Association);
            if (x < 0) return -1;
            if (x == kPassed) return 0;
            last = x == kRefused ? 1 : x;
        }
        return last;
    }

    void fail(const std::string& why) {
        if (e_.mismatch.empty()) e_.mismatch = why;
    }

    std::size_t consumed() const { return at_; }

private:
    const std::vector<SimRequest>& requests_;
    std::uint64_t t_;
    Expectation& e_;
    std::size_t at_ = 0;
};

}  // namespace

Expectation Expect(Job job, const std::vector<SimRequest>& requests, std::uint64_t readTimeoutMs) {
    Expectation e;
    Walk walk(requests, readTimeoutMs, e);
    int status = 0;
    bool done = false;
    for (int attempt = 0; attempt < kAttempts && !done; ++attempt) {
        const int x = walk.exchange(job);
        if (x < 0) return e;
        if (x == kPassed) {
            e.result = 0;
            done = true;
            break;
        }
        if (x == kRefused) {
            status = 0;
        } else if (x == kSilent) {
            status = 2;
        } else {
            status = walk.associate();
            if (status < 0) return e;
            if (status == 2) break;
        }
    }
    if (!done) e.result = status == 0 ? 1 : 2;
    e.requests = walk.consumed();
    if (walk.consumed() != requests.size())
        walk.fail("the controller saw " + std::to_string(requests.size()) + " requests, the rules make " +
                  std::to_string(walk.consumed()));
    return e;
}

}  // namespace plclink::soak
