// The initialization file's line "TCP host:port": the instance's line is a
// TCP connection to a serial device server at that address.
#pragma once

#include "core/line_config.h"

namespace plclink {

// 1 with `server` set for a line "TCP host:port" (the word in any case,
// blanks around the words; host a name, an IPv4 address or an IPv6 address
// in brackets; port 1..65535); 0 when the line is about something else; -1
// when it starts with TCP but gives no usable address.
int ParseTcpServerLine(const char* line, TcpServer* server);

}  // namespace plclink
