// What command 16 asks of the Tag Format dialog besides its procedure: the
// host's version, the composed gate address string, and the active flag.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "dialog/decimal_text.h"
#include "dialog/tag_format_dialog.h"
#include "dialog/tag_format_values.h"
#include "core/host_log.h"
#include "platform/platform.h"

namespace plclink {

std::int32_t TagFormatActive = 0;

namespace {

// The most the host's buffer may receive: 11 bytes. A composed GAS has at
// most 9 characters (a bit tag) and its NUL.
constexpr std::size_t kMaxGasBytes = 11;
constexpr std::int32_t kLastByteAddress = 9999;

}  // namespace

// Asks through a client that lives only for this question.
std::uint16_t AskHostVersion() {
    char clientName[32];
    std::snprintf(clientName, sizeof clientName, "VpiK7Br%02u",
                  static_cast<unsigned>(Platform().currentThreadId()));
    unsigned char clientId = 255;
    unsigned short version = 0;
    if (KorMkClient(clientName, 1, 0, &clientId) == 0) {
        char info[100] = {};
        KorGetKorvanVer(clientId, &version, info);
        KorRmClient(clientId);
    }
    return version;
}

// PLC number, area, type, four address digits and, for a bit, its one digit
// 0..7: the form command 3 parses. A bit of a word becomes the same bit of
// the byte that holds it. A word is stored most significant byte first, so
// bits 0..7 of the word at byte A lie in byte A + 1 and bits 8..15 in byte A:
// bit 12 of VW10 is bit 4 of VB10.
std::size_t ComposeGas(char* gas) {
    const TagFormatValues& v = tagFormatValues;
    char text[kMaxGasBytes + 1] = {};
    std::size_t n = 0;
    text[n++] = v.plcText[0];
    text[n++] = v.plcText[1];
    for (const char* area = v.areaLetter; *area != '\0'; ++area) text[n++] = *area;
    if (v.bitText[0] != 'N' && std::strcmp(v.typeLetter, "W") == 0) {
        const std::int32_t wordBit = LeadingDecimalValue(v.bitText);
        std::int32_t byteAddress =
            std::clamp<std::int32_t>(LeadingDecimalValue(v.addressText), 0, kLastByteAddress);
        if (wordBit < 8 && byteAddress < kLastByteAddress) ++byteAddress;
        char digits[16];
        std::snprintf(digits, sizeof digits, "%04d", static_cast<int>(byteAddress));
        text[n++] = 'B';
        for (int i = 0; i < 4; ++i) text[n++] = digits[i];
        text[n++] = static_cast<char>('0' + wordBit % 8);
    } else {
        text[n++] = v.typeLetter[0];
        for (int i = 0; i < 4; ++i) text[n++] = v.addressText[i];
        if (v.bitText[0] != 'N')
            text[n++] = static_cast<char>('0' + LeadingDecimalValue(v.bitText) % 8);
    }
    text[n] = '\0';
    const std::size_t length = std::strlen(text);
    std::memcpy(gas, text, length + 1);
    return length;
}

}  // namespace plclink
