// Text from files, from the serial line or from the module, made safe to
// print on a terminal: no control character (an escape sequence could move
// the cursor, retitle the window or worse) reaches it.
#pragma once

#include <string>

namespace plclink::host {

// Control characters (C0, DEL and the C1 range U+0080..U+009F) and bytes
// that are not UTF-8 become \xNN. Printable ASCII, backslashes included (so
// Windows paths read as they are), and well-formed UTF-8 stay as they are.
std::string PrintableText(const std::string& text);

}  // namespace plclink::host
