// Gate address strings through the single (3) and block (4) parse commands,
// in both PLC-number forms and for every gate type. Each result is compared
// with an independent model of the address rules: acceptance, and on
// acceptance every field of the GateAddress; on rejection the fields a
// rejected parse must leave alone. The host's text must come back unchanged.
//
// Input: byte 0 = form (bit 0: three-digit), command (bit 1: block),
// bit 2: a gate type from the bytes 1..4 instead of byte 1 alone, bits 3..7
// all set: no text at all (a null pointer); then the gate type; the rest is
// the text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "core/vpi_instance.h"
#include "plclink/vpi.h"

using plclink::VpiInstance;

namespace {

struct Expected {
    std::int32_t plcNumber;
    std::uint8_t memArea, memAreaBits;
    std::int32_t elementIndex;
    std::uint32_t bitNumber;
    std::int32_t sizeBits;
};

// The area slot admits the one-letter areas; a two-letter area name (SM,
// AI, AQ) is taken out first, leaving its second letter there.
const char* const kTwoDigitClasses[] = {"0123456789", "0123456789", "IQMVSTC", "BWDF",
                                        "0123456789", "0123456789", "0123456789",
                                        "0123456789", "01234567"};
const char* const kThreeDigitClasses[] = {"0123456789", "0123456789", "0123456789", "IQMVSTC",
                                          "BWDF", "0123456789", "0123456789", "0123456789",
                                          "0123456789", "01234567"};

int Digits(const std::string& s, std::size_t at, std::size_t count) {
    int v = 0;
    for (std::size_t i = 0; i < count; ++i) v = v * 10 + (s[at + i] - '0');
    return v;
}

// The address rules, stated plainly.
std::optional<Expected> Model(const char* gas, bool threeDigits, bool block,
                              std::int32_t gateType) {
    if (gas == nullptr) return std::nullopt;
    std::string s;
    for (const char* p = gas; *p; ++p) {
        const auto c = static_cast<signed char>(*p);
        s.push_back(c >= 0x61 ? static_cast<char>(c - 0x20) : *p);
    }
    const std::size_t P = threeDigits ? 3 : 2;
    std::uint8_t twoLetterArea = 0;
    if (s.size() >= P + 2) {
        const std::string name = s.substr(P, 2);
        if (name == "SM") twoLetterArea = VPI_AREA_SM;
        if (name == "AI") twoLetterArea = VPI_AREA_AI;
        if (name == "AQ") twoLetterArea = VPI_AREA_AQ;
        if (twoLetterArea != 0) s.erase(P, 1);
    }
    const std::size_t L = s.size();
    if (block) {
        if (L != P + 6) return std::nullopt;  // P + 8 is admitted by length, never accepted
    } else if (gateType >= 0 && gateType <= 5) {
        if (L != P + 6) return std::nullopt;
    } else if (gateType == 6) {
        if (L != P + 7) return std::nullopt;
    } else {
        return std::nullopt;  // no such gate type
    }
    const auto* classes = threeDigits ? kThreeDigitClasses : kTwoDigitClasses;
    for (std::size_t i = 0; i < L; ++i)
        if (std::strchr(classes[i], s[i]) == nullptr) return std::nullopt;

    Expected e{};
    e.plcNumber = Digits(s, 0, P);
    e.memArea = twoLetterArea != 0 ? twoLetterArea
                : s[P] == 'S'      ? VPI_AREA_S
                : s[P] == 'T'      ? VPI_AREA_T
                : s[P] == 'C'      ? VPI_AREA_C
                                   : static_cast<std::uint8_t>(s[P]);
    const char type = s[P + 1];
    // A timer's or counter's number names a whole element: no alignment.
    const bool numbered = e.memArea == VPI_AREA_T || e.memArea == VPI_AREA_C;
    const int number = Digits(s, P + 2, 4);
    const int address = numbered ? 0 : number;
    e.bitNumber = 255;
    if (!block && gateType == 6) {
        if (type != 'B') return std::nullopt;
        e.bitNumber = static_cast<std::uint32_t>(s[P + 6] - '0');
        e.sizeBits = 8;
    } else {
        const bool analog = gateType >= 0 && gateType <= 2;
        switch (type) {
            case 'B':
                if (!block && !analog) return std::nullopt;
                e.sizeBits = 8;
                break;
            case 'W':
                if ((!block && !analog) || address % 2) return std::nullopt;
                e.sizeBits = 16;
                break;
            case 'D':
                if ((!block && gateType != 4 && gateType != 5) || address % 4) return std::nullopt;
                e.sizeBits = 32;
                break;
            default:  // 'F'
                if ((!block && gateType != 3) || address % 4) return std::nullopt;
                e.sizeBits = 32;
                break;
        }
    }
    // Analog inputs and outputs hold words only.
    const bool analogArea = twoLetterArea == VPI_AREA_AI || twoLetterArea == VPI_AREA_AQ;
    if ((analogArea || numbered) && (e.sizeBits != 16 || e.bitNumber != 255)) return std::nullopt;
    if (numbered && number > 255) return std::nullopt;
    e.memAreaBits = static_cast<std::uint8_t>(e.sizeBits);
    e.elementIndex = numbered ? number : address / (e.sizeBits / 8);
    return e;
}

[[noreturn]] void Fail(const char* what, const char* gas, bool three, bool block, int gateType) {
    std::fprintf(stderr, "FINDING: %s (gas '%s', %s form, command %d, gate type %d)\n", what,
                 gas ? gas : "(null)", three ? "three-digit" : "two-digit", block ? 4 : 3,
                 gateType);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const bool three = data[0] & 1;
    const bool block = data[0] & 2;
    const bool wideType = data[0] & 4;
    const bool nullText = (data[0] & 0xF8) == 0xF8;
    std::int32_t gateType = static_cast<std::int8_t>(data[1]);
    std::size_t at = 2;
    if (wideType && size >= 5) {
        std::memcpy(&gateType, data + 1, 4);
        at = 5;
    }
    // The host's text, in a heap block of exactly its size.
    const std::size_t length = size - at;
    char* gas = nullptr;
    if (!nullText) {
        gas = static_cast<char*>(std::malloc(length + 1));
        std::memcpy(gas, data + at, length);
        gas[length] = '\0';
    }
    const std::string original = gas ? std::string(gas) : std::string();

    auto* instance = static_cast<VpiInstance*>(std::calloc(1, sizeof(VpiInstance)));
    std::strcpy(instance->VpiName, "VpiK701");
    instance->instanceNumber = 1;
    instance->threeDigitPlc = three ? 1 : 0;

    auto* record = static_cast<GateParseRecord*>(std::malloc(sizeof(GateParseRecord)));
    std::memset(record, 0xA5, sizeof *record);
    record->gas = gas;
    record->gateType = gateType;
    const GateParseRecord before = *record;

    VpiCallBlock call{};
    call.instance = instance;
    call.command = block ? VPI_BLOCK_PARSE : VPI_SINGLE_PARSE;
    call.vpiNumber = 1;
    call.params = record;
    const std::int32_t result = VpiMain(&call);

    const auto expected = Model(gas, three, block, gateType);
    if (result != 0 && result != 1) Fail("result neither 0 nor 1", gas, three, block, gateType);
    if (gas && original != gas) Fail("the host's text was changed", gas, three, block, gateType);
    if (record->gas != before.gas || record->gateType != before.gateType ||
        record->ownerWindow != before.ownerWindow || record->unused != before.unused)
        Fail("an input field of the record was changed", gas, three, block, gateType);
    if (expected) {
        if (result != 0) Fail("a valid address was rejected", gas, three, block, gateType);
        if (record->plcNumber != expected->plcNumber || record->memArea != expected->memArea ||
            record->memAreaBits != expected->memAreaBits || record->areaPad[0] != 0 ||
            record->areaPad[1] != 0 || record->elementIndex != expected->elementIndex ||
            record->bitNumber != expected->bitNumber || record->sizeBits != expected->sizeBits)
            Fail("wrong GateAddress for an accepted address", gas, three, block, gateType);
    } else {
        if (result != 1) Fail("an invalid address was accepted", gas, three, block, gateType);
        if (gas != nullptr && (record->bitNumber != 255 || record->sizeBits != 16))
            Fail("rejected parse without bitNumber 255 and sizeBits 16", gas, three, block,
                 gateType);
        if (record->elementIndex != before.elementIndex || record->memArea != before.memArea ||
            record->memAreaBits != before.memAreaBits ||
            std::memcmp(record->areaPad, before.areaPad, 2) != 0)
            Fail("a rejected parse wrote the address fields", gas, three, block, gateType);
    }
    std::free(record);
    std::free(instance);
    std::free(gas);
    return 0;
}
