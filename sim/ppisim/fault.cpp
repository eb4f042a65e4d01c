#include "ppisim/fault.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace ppisim {
namespace {

struct KindName {
    FaultKind kind;
    const char* name;
    bool takesArg;
};

constexpr KindName kKinds[] = {
    {FaultKind::Silent, "silent", false},   {FaultKind::Token, "token", false},
    {FaultKind::Garbage, "garbage", true},  {FaultKind::Truncate, "truncate", true},
    {FaultKind::BadFcs, "badfcs", false},   {FaultKind::Refuse, "refuse", true},
    {FaultKind::Delay, "delay", true},      {FaultKind::Mismatch, "mismatch", false},
    {FaultKind::Late, "late", false},       {FaultKind::Flood, "flood", true},
    {FaultKind::Trickle, "trickle", true},  {FaultKind::Reject, "reject", true},
    {FaultKind::NoResource, "noresource", false}, {FaultKind::Busy, "busy", false},
    {FaultKind::Drop, "drop", true},
};

// Faults that only make sense for a job that reads or writes memory.
bool OnlyForMemoryJobs(FaultKind kind) {
    return kind == FaultKind::Refuse || kind == FaultKind::Reject || kind == FaultKind::Mismatch || kind == FaultKind::Late;
}

bool Fail(std::string* why, std::string text) {
    if (why) *why = std::move(text);
    return false;
}

// Unsigned number in decimal, or in hexadecimal with a 0x prefix.
bool ParseUnsigned(std::string_view text, std::uint32_t& value) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty()) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc() && end == text.data() + text.size();
}

bool ParseRate(std::string_view text, double& rate) {
    // std::from_chars for double is not in every library; strtod on a copy.
    std::string copy(text);
    char* end = nullptr;
    rate = std::strtod(copy.c_str(), &end);
    return !copy.empty() && end == copy.c_str() + copy.size() && std::isfinite(rate) &&
           rate >= 0.0 && rate <= 1.0;
}

bool ParseKind(std::string_view text, FaultRule& rule, std::string* why) {
    const auto eq = text.find('=');
    const std::string_view name = text.substr(0, eq);
    for (const KindName& k : kKinds) {
        if (name != k.name) continue;
        rule.kind = k.kind;
        if (eq == std::string_view::npos) return true;
        if (!k.takesArg) return Fail(why, std::string(name) + " takes no value");
        std::uint32_t value = 0;
        if (!ParseUnsigned(text.substr(eq + 1), value))
            return Fail(why, "bad value for " + std::string(name));
        rule.arg = value;
        if (k.kind == FaultKind::Refuse && value >= 0xFF)
            return Fail(why, "refuse code must be 0x00..0xFE");
        if (k.kind == FaultKind::Reject && (value == 0 || value > 0xFFFF))
            return Fail(why, "reject code must be 0x0001..0xFFFF (class and code)");
        if ((k.kind == FaultKind::Garbage || k.kind == FaultKind::Truncate || k.kind == FaultKind::Drop) &&
            (value == 0 || value > 255))
            return Fail(why, std::string(name) + " length must be 1..255");
        if ((k.kind == FaultKind::Flood || k.kind == FaultKind::Trickle) && value == 0)
            return Fail(why, std::string(name) + " takes a time of at least 1 ms");
        return true;
    }
    return Fail(why, "unknown fault '" + std::string(name) + "'");
}

bool ParseWhen(std::string_view text, FaultRule& rule, std::string* why) {
    if (text == "always") {
        rule.when = FaultWhen::Always;
        return true;
    }
    if (text.starts_with("next:")) {
        rule.when = FaultWhen::Next;
        if (!ParseUnsigned(text.substr(5), rule.remaining) || rule.remaining == 0)
            return Fail(why, "next:N needs a count of at least 1");
        return true;
    }
    if (text.starts_with("rate:")) {
        rule.when = FaultWhen::Rate;
        if (!ParseRate(text.substr(5), rule.rate))
            return Fail(why, "rate:P needs a probability between 0 and 1");
        return true;
    }
    return Fail(why, "expected always, next:N or rate:P after the fault");
}

}  // namespace

const char* NameOf(FaultKind kind) {
    for (const KindName& k : kKinds)
        if (k.kind == kind) return k.name;
    return "?";
}

std::optional<FaultRule> ParseFaultRule(std::string_view spec, std::string* why) {
    FaultRule rule;
    rule.text = spec;
    if (const auto at = spec.rfind('@'); at != std::string_view::npos) {
        std::uint32_t station = 0;
        if (!ParseUnsigned(spec.substr(at + 1), station) || station > 126) {
            Fail(why, "station after @ must be 0..126");
            return std::nullopt;
        }
        rule.station = static_cast<std::uint8_t>(station);
        spec = spec.substr(0, at);
    }
    const auto colon = spec.find(':');
    if (colon == std::string_view::npos) {
        Fail(why, "expected KIND:always, KIND:next:N or KIND:rate:P");
        return std::nullopt;
    }
    if (!ParseKind(spec.substr(0, colon), rule, why)) return std::nullopt;
    if (!ParseWhen(spec.substr(colon + 1), rule, why)) return std::nullopt;
    return rule;
}

FaultPlan::FaultPlan(std::vector<FaultRule> rules, std::uint32_t seed)
    : rules_(std::move(rules)), rng_(seed) {}

double FaultPlan::draw() { return static_cast<double>(rng_()) / 4294967296.0; }

bool FaultPlan::fires(FaultRule& rule) {
    switch (rule.when) {
    case FaultWhen::Always: return true;
    case FaultWhen::Next:
        if (rule.remaining == 0) return false;
        --rule.remaining;
        return true;
    case FaultWhen::Rate: return draw() < rule.rate;
    }
    return false;
}

FaultDecision FaultPlan::decide(std::uint8_t station, bool memoryJob) {
    FaultDecision decision;
    for (FaultRule& rule : rules_) {
        if (rule.station && *rule.station != station) continue;
        if (OnlyForMemoryJobs(rule.kind) && !memoryJob) continue;
        if (rule.kind == FaultKind::Delay) {
            if (fires(rule)) decision.delayMs += rule.arg.value_or(kDefaultDelayMs);
            continue;
        }
        if (decision.kind || !fires(rule)) continue;
        decision.kind = rule.kind;
        decision.arg = rule.arg;
    }
    return decision;
}

}  // namespace ppisim
