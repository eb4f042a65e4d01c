#include "ppisim/master_options.h"

#include <cstdlib>

namespace ppisim {
namespace {

std::optional<unsigned long> Whole(const std::string& text, unsigned long limit) {
    if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const unsigned long value = std::stoul(text);
    if (value > limit) return std::nullopt;
    return value;
}

std::optional<double> Decimal(const std::string& text, double limit) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || value < 0 || value > limit) return std::nullopt;
    return value;
}

// AREA START:COUNT, e.g. V0:4.
bool ParseRead(const std::string& text, MasterConfig& config) {
    const std::size_t digits = text.find_first_of("0123456789");
    const std::size_t colon = text.find(':');
    if (digits == std::string::npos || colon == std::string::npos || colon < digits) return false;
    const auto area = AreaOfName(text.substr(0, digits));
    const auto start = Whole(text.substr(digits, colon - digits), 65535);
    const auto count = Whole(text.substr(colon + 1), 200);
    if (!area || !start || !count || *count == 0) return false;
    config.area = *area;
    config.start = static_cast<std::uint16_t>(*start);
    config.length = static_cast<std::uint16_t>(*count);
    return true;
}

bool Fail(std::string* why, std::string text) {
    if (why) *why = std::move(text);
    return false;
}

bool ApplyOption(const std::string& option, MasterConfig& config, std::string* why) {
    const std::size_t eq = option.find('=');
    const std::string key = option.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : option.substr(eq + 1);
    const bool hasValue = eq != std::string::npos;
    if (key == "late-token" && !hasValue) config.lateToken = true;
    else if (key == "duplicate" && !hasValue) config.duplicate = true;
    else if (key == "station" && hasValue) {
        const auto n = Whole(value, 126);
        if (!n || *n < 1) return Fail(why, "station=N takes 1..126");
        config.station = static_cast<std::uint8_t>(*n);
    } else if (key == "read" && hasValue) {
        if (!ParseRead(value, config)) return Fail(why, "read=AREA START:COUNT, e.g. read=V0:4 (COUNT 1..200)");
    } else if (key == "interval" && hasValue) {
        const auto n = Whole(value, 3600000);
        if (!n) return Fail(why, "interval=MS takes 0..3600000");
        config.intervalMs = static_cast<std::uint32_t>(*n);
    } else if (key == "silent-after" && hasValue) {
        const auto s = Decimal(value, 1e6);
        if (!s || *s <= 0) return Fail(why, "silent-after=S takes seconds above 0");
        config.silentAfterS = *s;
    } else if (key == "garble" && hasValue) {
        const auto p = Decimal(value, 1);
        if (!p) return Fail(why, "garble=P takes a probability 0..1");
        config.garble = *p;
    } else {
        return Fail(why, "unknown option \"" + option + "\"");
    }
    return true;
}

}  // namespace

std::optional<MasterConfig> ParseMasterSpec(const std::string& spec, std::string* why) {
    MasterConfig config;
    const std::size_t colon = spec.find(':');
    const auto address = Whole(spec.substr(0, colon), 126);
    if (!address) {
        Fail(why, "expected ADDR (0..126) first");
        return std::nullopt;
    }
    config.address = static_cast<std::uint8_t>(*address);
    if (colon == std::string::npos) return config;
    std::string rest = spec.substr(colon + 1);
    std::size_t from = 0;
    while (from <= rest.size()) {
        const std::size_t comma = rest.find(',', from);
        const std::string option = rest.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        if (!ApplyOption(option, config, why)) return std::nullopt;
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    return config;
}

}  // namespace ppisim
