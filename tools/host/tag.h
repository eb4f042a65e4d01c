// A tag as the user names it (its gate address text) and as the module
// describes it after a parse (the GateAddress fields).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "element_type.h"
#include "plclink/vpi.h"

namespace plclink::host {

struct Tag {
    std::string text;  // as the user wrote it
    ElementType type = ElementType::Byte;
    // The GateAddress the module filled.
    std::int32_t plcNumber = 0;
    std::uint8_t memArea = 0;
    std::uint8_t memAreaBits = 0;
    std::int32_t elementIndex = 0;
    std::uint32_t bitNumber = VPI_NO_BIT;
    std::int32_t sizeBits = 0;

    // Byte address of the (first) element; a timer's or counter's number.
    std::int32_t byteAddress() const;
    // The station the module addresses: the low byte of the PLC number.
    int station() const { return plcNumber & 0xFF; }
};

// What the text says about itself, read the way the module reads it: the
// element type letter after the PLC digits and the area, and a bit digit
// making the text one character longer. Text the module would reject gets
// Byte; the module then gives the reason.
ElementType ElementTypeOfText(std::string_view text, bool threeDigit);

// Copies the GateAddress of a parse record into the tag.
void TakeGateAddress(Tag& tag, const GateParseRecord& record);

// The access record of commands 5, 6, 7 and 10 for this tag.
TagAccessRecord AccessRecordOf(const Tag& tag, void* buffer, std::int32_t itemCount);

// A gate address text: PLC digits, area name, element letter, four address digits.
std::string GateAddressText(int plcNumber, std::string_view area, ElementType type,
                            int byteAddress, bool threeDigit);

// The text naming element `index` of a block that starts at `first`.
std::string ElementText(const Tag& first, int index, bool threeDigit);

}  // namespace plclink::host
