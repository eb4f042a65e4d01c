#include "printable_text.h"

#include <cstdio>

#include "utf8.h"

namespace plclink::host {

namespace {

void AppendEscaped(std::string& out, unsigned char byte) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    out += escaped;
}

}  // namespace

std::string PrintableText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else if (c < 0x80) {
            AppendEscaped(out, c);
        } else {
            std::size_t length = Utf8SequenceLength(text, i);
            // U+0080..U+009F are C1 controls, encoded C2 80..C2 9F.
            bool c1 = length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
            if (length == 0 || c1) {
                AppendEscaped(out, c);
                if (c1) AppendEscaped(out, static_cast<unsigned char>(text[i + 1]));
                if (c1) ++i;
            } else {
                out.append(text, i, length);
                i += length - 1;
            }
        }
    }
    return out;
}

}  // namespace plclink::host
