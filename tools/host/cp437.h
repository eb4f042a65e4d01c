// Text in code page 437 (the module's banner) turned into UTF-8 for a
// terminal: box-drawing characters become their Unicode counterparts, CR LF
// line ends become plain line ends.
#pragma once

#include <string>
#include <vector>

namespace plclink::host {

std::string Cp437ToUtf8(const std::string& text);

// The text's lines, each without its line end and trailing blanks; leading
// and trailing empty lines dropped.
std::vector<std::string> BannerLines(const std::string& utf8);

}  // namespace plclink::host
