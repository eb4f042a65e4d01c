// Faults a simulated controller can be told to commit, for tests and
// demonstrations. A rule is written KIND[=ARG]:WHEN[@STATION]:
//
//   KIND    silent          no reaction at all to the request
//           token           an SD4 token frame (DC 00 st) in place of the SC
//           garbage[=LEN]   LEN noise bytes (default 4) in place of the SC;
//                           the first is never a frame start byte
//           truncate[=LEN]  SC, then only the first LEN bytes of the response
//                           frame (default: half of it)
//           badfcs          SC, then the response with a wrong checksum
//           refuse[=CODE]   SC, then every item refused with access_result
//                           CODE (default 0x0A); a refused write writes nothing
//           reject[=CODE]   SC, then a response without parameters or data
//                           whose header carries error class and code CODE
//                           (0xCCNN: class CC, code NN; default 0x8104);
//                           nothing is written
//           delay[=MS]      the reaction to the request comes MS ms late
//                           (default 1500)
//           mismatch        SC, then the answer of another request: of the
//                           other function (a write's answer to a read, a
//                           read's to a write), or of the same function for
//                           a different size
//           late            SC, then the answer of the station's previous
//                           request; this one's answer comes with the next
//           flood[=MS]      noise bytes at the line's full speed in place of
//                           the SC, for MS ms (default: without end); they
//                           never hold a frame start byte
//           trickle[=MS]    the SC and the response one byte at a time, each
//                           MS ms after the one before (default 500)
//           noresource      SC, then the SD1 frame "no resource" (FC 0x02)
//                           to the poll; the request is not carried out
//           busy            SC, then SC to every poll until the next request;
//                           the request is not carried out
//           drop[=LEN]      SC, then the first LEN bytes of the response
//                           (default: half of it), then the master's TCP
//                           connection is closed
//   WHEN    always | next:N (the next N requests) | rate:P (probability
//           0..1 per request, drawn from the seeded generator)
//   STATION only requests to this station address (default: every station)
//
// For each request the rules are tried in the order given; the first one that
// fires decides the fault and later ones are not tried (their counts stay).
// Delay rules are tried independently of the others and add up. Refusals,
// rejections, mismatches and late answers only apply to reads and writes, so set-up
// requests leave them untouched. Under mismatch, late, trickle, truncate and
// badfcs the station carries the request out; its answer is what goes wrong.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace ppisim {

enum class FaultKind { Silent, Token, Garbage, Truncate, BadFcs, Refuse, Reject, Delay, Mismatch, Late, Flood, Trickle, NoResource, Busy, Drop };
enum class FaultWhen { Always, Next, Rate };

struct FaultRule {
    FaultKind kind = FaultKind::Silent;
    FaultWhen when = FaultWhen::Always;
    std::uint32_t remaining = 0;  // next:N
    double rate = 0.0;            // rate:P
    std::optional<std::uint32_t> arg;  // LEN, CODE or MS when given
    std::optional<std::uint8_t> station;
    std::string text;             // the rule as given
};

std::optional<FaultRule> ParseFaultRule(std::string_view spec, std::string* why = nullptr);
const char* NameOf(FaultKind kind);

inline constexpr std::uint32_t kDefaultGarbageLength = 4;
inline constexpr std::uint8_t kDefaultRefusal = 0x0A;
inline constexpr std::uint16_t kDefaultRejection = 0x8104;
inline constexpr std::uint32_t kDefaultDelayMs = 1500;
inline constexpr std::uint32_t kDefaultTrickleMs = 500;

struct FaultDecision {
    std::optional<FaultKind> kind;      // nothing = answer normally
    std::optional<std::uint32_t> arg;   // the rule's value, if it had one
    std::uint32_t delayMs = 0;
};

class FaultPlan {
public:
    FaultPlan() : FaultPlan({}, 1) {}
    FaultPlan(std::vector<FaultRule> rules, std::uint32_t seed);

    // Decides the fault for one request to `station`; `memoryJob` tells
    // whether the request reads or writes memory.
    FaultDecision decide(std::uint8_t station, bool memoryJob);

    // A uniform draw in [0, 1), the same on every platform for one seed.
    double draw();
    std::uint32_t drawBits() { return static_cast<std::uint32_t>(rng_()); }

private:
    bool fires(FaultRule& rule);

    std::vector<FaultRule> rules_;
    std::mt19937 rng_;
};

}  // namespace ppisim
