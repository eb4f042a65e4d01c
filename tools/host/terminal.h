// Whether an output stream is a terminal, and how wide it is.
#pragma once

#include <cstdio>

namespace plclink::host {

bool IsTerminal(std::FILE* stream);
int TerminalColumns(std::FILE* stream);  // 80 when unknown

}  // namespace plclink::host
