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
// frame, 2 silence, 5 a busy station (retried like silence, result 1).
constexpr int kPassed = 0, kBroken = 1, kSilent = 2, kRefused = 3, kUncertain = 4, kBusy = 5;

// A late answer carries the earlier request's reference and is refused,
// whatever its function and size; with none to stand in, the poll gets SC
// alone: the station looks busy.
int LateExchange(const SimRequest& r) { return r.lateAnswerOf.empty() ? kBusy : kRefused; }

int ExchangeOf(const SimRequest& r) {
    switch (r.fault) {
        case Fault::Late: return LateExchange(r);
        case Fault::NoResource:
        case Fault::Busy: return kBusy;
        case Fault::Mismatch: return kRefused;
        case Fault::Flood:
        case Fault::Trickle: return kUncertain;
        default: break;
    }
    switch (r.fault) {
        case Fault::None: return kPassed;
        case Fault::Silent: return kSilent;
        case Fault::Token:
        case Fault::Garbage:
        case Fault::Truncate: return kBroken;
        case Fault::BadFcs:
        case Fault::Refuse: return kRefused;
        default: return kBroken;
    }
}

// Longest time of one exchange by how it went: 40 ms pause and 1 ms RTS
// lead before the request, and when the SC came, 40 ms and 1 ms before the
// poll; a silent station costs one read time-out, a truncated response two
// (the read that got part of it, then the one that got nothing); a busy
// station's SD1 or SC to the poll ends the exchange at once.
std::uint64_t ExchangeMs(const SimRequest& r, std::uint64_t t) {
    std::uint64_t ms = 41 + kExchangeSlackMs;
    switch (r.fault) {
        case Fault::Silent: return ms + t;
        case Fault::Token:
        case Fault::Garbage: return ms;
        case Fault::Truncate: return ms + 41 + 2 * t;
        default: return ms + 41;
    }
}

// The longest exchange against a flood or a trickle: a purge that gives up
// after one read time-out, then the SC and the three receive steps, each
// ending at the latest one read time-out plus twice its bytes' line time
// (a full frame: 255 bytes, 585 ms at 9600 baud).
std::uint64_t UncertainExchangeMs(std::uint64_t t) { return 82 + kExchangeSlackMs + (t + 50) + 4 * t + 600; }

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
        if (job == Job::Association) {
            ++e_.associations;
            e_.worstMs += kAssociationWaitMs;
        }
        const int x = ExchangeOf(r);
        e_.worstMs += x == kUncertain ? UncertainExchangeMs(t_) : ExchangeMs(r, t_);
        return x;
    }

    // Every attempt left after an uncertain exchange in attempt `attempt`:
    // this one's association, and for each later one an exchange and an
    // association of three attempts.
    void uncertainRest(int attempt) {
        e_.uncertain = true;
        const std::uint64_t association = kAttempts * (kAssociationWaitMs + UncertainExchangeMs(t_));
        e_.worstMs += association + std::uint64_t(kAttempts - 1 - attempt) * (UncertainExchangeMs(t_) + association);
    }

    // S7200EstablishAssociation: 0, 1 or 2, or busy, which ends it at once.
    int associate() {
        int last = 2;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            const int x = exchange(Job::Association);
            if (x < 0 || x == kUncertain || x == kBusy) return x;
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
        if (x == kUncertain) {
            walk.uncertainRest(attempt);
            return e;
        }
        if (x == kPassed) {
            e.result = 0;
            done = true;
            break;
        }
        if (x == kRefused) {
            status = 0;
        } else if (x == kSilent || x == kBusy) {
            status = x;
        } else {
            status = walk.associate();
            if (status == kUncertain) {
                walk.uncertainRest(attempt);
                return e;
            }
            if (status < 0) return e;
            if (status == 2) break;
        }
    }
    if (!done) e.result = status == 0 || status == kBusy ? 1 : 2;
    e.requests = walk.consumed();
    if (walk.consumed() != requests.size())
        walk.fail("the controller saw " + std::to_string(requests.size()) + " requests, the rules make " +
                  std::to_string(walk.consumed()));
    return e;
}

}  // namespace plclink::soak
