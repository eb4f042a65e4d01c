#include "address_hint.h"

#include <cctype>
#include <string>

#include "area.h"
#include "plclink/vpi.h"

namespace plclink::host {

namespace {

bool AllDigits(std::string_view text) {
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

}  // namespace

std::string AddressHint(std::string_view text, bool threeDigit, bool block) {
    const std::size_t plcDigits = threeDigit ? 3 : 2;
    const std::size_t areaLetters = AreaLettersAt(text, plcDigits);
    const std::size_t plain = plcDigits + areaLetters + 5;
    const std::string form = std::string(threeDigit ? "PPP" : "PP") + "AT0000" + (block ? "" : "[b]");
    const std::string example = threeDigit ? "002VW0100" : "02VW0100";
    std::string general = "expected " + form + ", e.g. " + example +
                          ": PLC number, area I/Q/M/V/S/SM/AI/AQ/T/C, type B/W/D/F, 4-digit byte address" +
                          (block ? "" : ", bit 0-7 for a bit of a byte");
    std::string upper;
    for (char c : text) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    // The other PLC-number form: digits where this form expects the area.
    auto areaAt = [&](std::size_t at) {
        return upper.size() > at && std::string_view("IQMVSTC").find(upper[at]) != std::string_view::npos;
    };
    if (!threeDigit && AllDigits(upper.substr(0, 3)) && areaAt(3)) {
        return "a three-digit PLC number needs --three-digit";
    }
    if (threeDigit && AllDigits(upper.substr(0, 2)) && areaAt(2)) {
        return "this instance takes three-digit PLC numbers (vpiK7NN.int says 3 DIGITS)";
    }
    if (text.size() != plain && (block || text.size() != plain + 1)) return general;
    if (!AllDigits(upper.substr(0, plcDigits))) {
        return "the PLC number must be " + std::to_string(plcDigits) + " digits" +
               (threeDigit ? "" : " (or use --three-digit for three)");
    }
    const std::uint8_t area = MemAreaOfName(upper.substr(plcDigits, areaLetters));
    char type = upper[plcDigits + areaLetters];
    if (area == 0) return std::string("the area must be ") + kTagAreaList;
    if (std::string_view("BWDF").find(type) == std::string_view::npos) return "the type must be B, W, D or F";
    if (HoldsWordsOnly(area) && (type != 'W' || upper.size() == plain + 1))
        return AreaName(area) + " holds words only: type W, no bit";
    std::string digits = upper.substr(plcDigits + areaLetters + 1, 4);
    if (!AllDigits(digits)) return "the byte address must be 4 digits";
    int address = std::stoi(digits);
    if (IsElementAddressed(area)) {
        if (address > 255) return "a timer or counter number must be 0-255";
        return "";
    }
    if (type == 'W' && address % 2 != 0) return "a word address must be even";
    if ((type == 'D' || type == 'F') && address % 4 != 0) return "a dword or float address must be a multiple of 4";
    if (upper.size() == plain + 1) {
        if (type != 'B') return "only a byte (B) tag can name a bit";
        if (upper.back() < '0' || upper.back() > '7') return "the bit must be 0-7";
    }
    return "";
}

}  // namespace plclink::host
