#include "entry/multimaster_line.h"

#include <cctype>
#include <cstring>

namespace plclink {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void SkipBlanks(const char*& text) {
    while (IsBlank(*text)) ++text;
}

// The word at `text` in any case equals `word` (upper case) and ends there.
bool TakeWord(const char*& text, const char* word) {
    const std::size_t length = std::strlen(word);
    for (std::size_t i = 0; i < length; ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != word[i]) return false;
    if (text[length] != '\0' && !IsBlank(text[length])) return false;
    text += length;
    return true;
}

// A number of at most six digits, ending at a blank or the line's end.
bool TakeNumber(const char*& text, std::uint32_t* value) {
    SkipBlanks(text);
    std::uint32_t number = 0;
    int digits = 0;
    for (; std::isdigit(static_cast<unsigned char>(*text)); ++text, ++digits) {
        if (digits == 6) return false;
        number = number * 10 + static_cast<std::uint32_t>(*text - '0');
    }
    if (digits == 0 || (*text != '\0' && !IsBlank(*text))) return false;
    *value = number;
    return true;
}

// One "WORD n" setting into `settings`; false when it is none or out of range.
bool TakeSetting(const char*& text, RingSettings& settings) {
    std::uint32_t value = 0;
    if (TakeWord(text, "ADDRESS")) {
        if (!TakeNumber(text, &value) || value > kHighestStationAddress) return false;
        settings.address = static_cast<std::uint8_t>(value);
    } else if (TakeWord(text, "HSA")) {
        if (!TakeNumber(text, &value) || value > kHighestStationAddress) return false;
        settings.hsa = static_cast<std::uint8_t>(value);
    } else if (TakeWord(text, "TSL")) {
        if (!TakeNumber(text, &value) || value == 0 || value > kLongestSlotBits) return false;
        settings.slotBits = value;
    } else if (TakeWord(text, "GAP")) {
        if (!TakeNumber(text, &value) || value == 0 || value > kLargestGapFactor) return false;
        settings.gapFactor = value;
    } else {
        return false;
    }
    return true;
}

}  // namespace

int ParseMultiMasterLine(const char* line, RingSettings* settings) {
    SkipBlanks(line);
    constexpr char kWord[] = "MULTIMASTER";
    for (std::size_t i = 0; i + 1 < sizeof kWord; ++i)
        if (std::toupper(static_cast<unsigned char>(line[i])) != kWord[i]) return 0;
    line += sizeof kWord - 1;
    if (*line != '\0' && !IsBlank(*line)) return -1;
    RingSettings parsed;
    parsed.enabled = true;
    for (SkipBlanks(line); *line != '\0'; SkipBlanks(line))
        if (!TakeSetting(line, parsed)) return -1;
    // Every master polls the gaps up to HSA, its own address included.
    if (parsed.hsa < parsed.address) return -1;
    *settings = parsed;
    return 1;
}

}  // namespace plclink
