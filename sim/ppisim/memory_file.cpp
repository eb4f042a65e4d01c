#include "ppisim/memory_file.h"

#include <cstdio>
#include <istream>
#include <ostream>
#include <sstream>

namespace ppisim {
namespace {

constexpr std::size_t kDumpRow = 16;

bool ParseByte(const std::string& word, std::uint8_t& value) {
    if (word.empty() || word.size() > 2) return false;
    unsigned v = 0;
    for (char c : word) {
        const int digit = (c >= '0' && c <= '9')   ? c - '0'
                          : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                          : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                   : -1;
        if (digit < 0) return false;
        v = v * 16 + static_cast<unsigned>(digit);
    }
    value = static_cast<std::uint8_t>(v);
    return true;
}

bool ParseDecimal(const std::string& word, unsigned long limit, unsigned long& value) {
    if (word.empty() || word.size() > 9) return false;
    value = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    return value <= limit;
}

// Timers and counters: decimal values from number `first` on.
std::string LoadElements(ElementKind kind, const std::string& number, const std::string& tail,
                         const std::vector<Station*>& targets) {
    unsigned long first = 0;
    if (!ParseDecimal(number, kTimerCounterCount - 1, first)) return "bad number '" + number + "' (0..255)";
    std::vector<std::int16_t> values;
    std::istringstream words(tail);
    for (std::string word; words >> word;) {
        const bool negative = word[0] == '-';
        unsigned long magnitude = 0;
        if (!ParseDecimal(negative ? word.substr(1) : word, negative ? 32768 : 32767, magnitude))
            return "bad value '" + word + "' (-32768..32767)";
        values.push_back(static_cast<std::int16_t>(negative ? -static_cast<long>(magnitude)
                                                            : static_cast<long>(magnitude)));
    }
    if (first + values.size() > kTimerCounterCount) return "values run past number 255";
    for (Station* st : targets)
        for (std::size_t i = 0; i < values.size(); ++i)
            st->memory().timerCounters().set(kind, first + i, values[i]);
    return {};
}

// The stations a line names, or the reason it names none.
std::string TargetsOf(const std::string& station, Bus& bus, std::vector<Station*>& targets) {
    if (station == "*") {
        for (auto& [addr, st] : bus.stations()) targets.push_back(&st);
        return {};
    }
    unsigned long addr = 0;
    if (!ParseDecimal(station, 126, addr)) return "bad station '" + station + "'";
    Station* st = bus.station(static_cast<std::uint8_t>(addr));
    if (!st) return "station " + station + " is not simulated";
    targets.push_back(st);
    return {};
}

// Parses one line without its comment; empty lines are fine.
std::string LoadLine(std::string line, Bus& bus) {
    line = line.substr(0, line.find('#'));
    const auto colon = line.find(':');
    std::istringstream head(line.substr(0, colon));
    std::string station, area, address;
    if (!(head >> station)) return {};
    if (colon == std::string::npos) return "expected STATION AREA ADDRESS: BYTES";
    std::string extra;
    if (!(head >> area >> address) || head >> extra) return "expected STATION AREA ADDRESS: BYTES";
    if (const auto kind = ElementKindOfName(area)) {
        std::vector<Station*> targets;
        const std::string why = TargetsOf(station, bus, targets);
        return why.empty() ? LoadElements(*kind, address, line.substr(colon + 1), targets) : why;
    }
    const auto areaOf = AreaOfName(area);
    if (!areaOf) return "area must be I, Q, M, V, S, SM, AI, AQ, T or C";
    unsigned long start = 0;
    if (!ParseDecimal(address, 65535, start)) return "bad address '" + address + "'";
    Bytes values;
    std::istringstream tail(line.substr(colon + 1));
    for (std::string word; tail >> word;) {
        std::uint8_t b = 0;
        if (!ParseByte(word, b)) return "bad byte '" + word + "'";
        values.push_back(b);
    }
    std::vector<Station*> targets;
    if (std::string why = TargetsOf(station, bus, targets); !why.empty()) return why;
    for (Station* st : targets)
        if (!st->memory().write(*areaOf, start, values))
            return "bytes leave the " + area + " memory of station " +
                   std::to_string(st->address());
    return {};
}

}  // namespace

bool LoadMemoryFile(std::istream& in, Bus& bus, std::string* error) {
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::string why = LoadLine(line, bus);
        if (!why.empty()) {
            if (error) *error = "line " + std::to_string(number) + ": " + why;
            return false;
        }
    }
    return true;
}

void DumpMemoryFile(std::ostream& out, Bus& bus) {
    out << "# STATION AREA ADDRESS: BYTES (hex); rows of zeros are left out\n";
    for (auto& [address, station] : bus.stations()) {
        for (Area area : kAllAreas) {
            const auto bytes = station.memory().bytes(area);
            for (std::size_t row = 0; row < bytes.size(); row += kDumpRow) {
                const auto part = bytes.subspan(row, std::min(kDumpRow, bytes.size() - row));
                bool any = false;
                for (auto b : part) any = any || b != 0;
                if (!any) continue;
                out << unsigned{address} << ' ' << NameOf(area) << ' ' << row << ':';
                char hex[4];
                for (auto b : part) {
                    std::snprintf(hex, sizeof hex, " %02X", b);
                    out << hex;
                }
                out << '\n';
            }
        }
        for (ElementKind kind : {ElementKind::Timer, ElementKind::Counter}) {
            for (std::size_t number = 0; number < kTimerCounterCount; ++number) {
                const std::int16_t value = station.memory().timerCounters().get(kind, number);
                if (value != 0)
                    out << unsigned{address} << ' ' << LetterOf(kind) << ' ' << number << ": " << value << '\n';
            }
        }
    }
}

}  // namespace ppisim
