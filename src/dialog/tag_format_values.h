// What the user chose in the Tag Format dialog, carried from the dialog
// procedure to command 16, and the flag that keeps a second dialog from
// using the same values while one is open. One set for the whole module.
#pragma once

#include <cstdint>

namespace plclink {

struct TagFormatValues {
    char plcText[3];      // PLC number, at most 2 characters
    char areaLetter[3];   // M, I, Q, V, S, SM, AI, AQ, T or C; empty when no area is chosen
    char typeLetter[2];   // B, W, D or F; empty when no type is chosen
    char addressText[5];  // at most 4 characters; 4 digits after OK
    char bitText[5];      // "None" or "00".."15"
};

extern TagFormatValues tagFormatValues;

// Set while a Tag Format dialog is open.
extern std::int32_t TagFormatActive;

}  // namespace plclink
