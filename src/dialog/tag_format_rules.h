// The field rules of the Tag Format dialog: the choice lists, the refills
// that keep the data type and bit number lists in step with the memory area
// and data type, the four-digit address, and the checks run on OK, each with
// its message box.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace plclink {

inline constexpr const char* AreaChoices[10] = {
    "M (for memory)",         "I (for input)",          "Q (for output)",
    "V (for virtual memory)", "S (for sequence relay)", "SM (for special memory)",
    "AI (for analog input)",  "AQ (for analog output)", "T (for timer)",
    "C (for counter)"};
inline constexpr const char* TypeChoices[4] = {"B (Byte)", "W (Word)", "D (Dword)", "F (Float)"};
inline constexpr const char* IoTypeChoices[2] = {"B (Byte)", "W (Word)"};
inline constexpr const char* BitChoices[17] = {"None", "00", "01", "02", "03", "04",
                                               "05",   "06", "07", "08", "09", "10",
                                               "11",   "12", "13", "14", "15"};
// "None" and "00".."07": the bit numbers of a byte.
inline constexpr std::size_t kByteBitChoiceCount = 9;

// The messages of the checks, exactly as the user sees them.
inline constexpr char kIoDataTypeMessage[] =
    "On  I or Q memory types only B-Byte or W- Word are aloud";
inline constexpr char kByteBitNumberMessage[] =
    "On B- Byte Type the Digital bit num should be between 00-07 ";
inline constexpr char kWordAlignmentMessage[] = "Word Type must be a 2 bytes address boundary ";
inline constexpr char kFloatAlignmentMessage[] =
    "On Float  Type must be a 4 bytes address boundary ";
inline constexpr char kDoubleAlignmentMessage[] =
    "On Double  Type Type must be a 4 bytes address boundary ";
inline constexpr char kBitAllowedMessage[] =
    "Digital address is only valid when using types B-byte or W- word  ";
inline constexpr char kPlcNumberMessage[] = "Wrong PLC number! (2 decimal digits)";
inline constexpr char kElementNumberMessage[] = "Timers and counters are numbered 0000-0255";
inline constexpr char kMissingValueMessage[] = "missing value!";
inline constexpr char kErrorCaption[] = "Error";

// Refills. The analog areas AI and AQ, timers T and counters C fix the data
// type at W, without a bit.
void FillDataTypeCombo(WindowHandle dialog, const char* area);
void FillBitNumberList(WindowHandle dialog, const char* type);

// Rewrites the text's leading decimal value as exactly four digits.
// The text must have room for 5 characters.
void PadAddressDigits(char* text);

// Checks: 1 when the rule holds, 0 after showing the rule's message.
int CheckAddressAlignment(WindowHandle dialog, std::int32_t address, const char* type);
// Timers and counters: the address is a number, 0..255, and aligned to
// nothing. Other areas hold; this takes the place of the alignment check.
int IsNumberedArea(const char* area);
int CheckElementNumber(WindowHandle dialog, std::int32_t number);
int CheckIoDataType(WindowHandle dialog, const char* area, const char* type);
int CheckByteBitNumber(WindowHandle dialog, const char* bit, const char* type);
int CheckBitAllowed(WindowHandle dialog, const char* type, const char* bit);
int CheckPlcNumber(WindowHandle dialog);

int IsOneOrTwoDigits(const char* text);
void SetPlcNumberText(WindowHandle dialog, int number);

// One modal "Error" message owned by the dialog.
void ShowRuleMessage(WindowHandle dialog, const char* text);

}  // namespace plclink
