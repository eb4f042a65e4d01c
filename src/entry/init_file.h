// The instance's initialization file "vpiK7NN.int".
#pragma once

#include <cstdint>

#include "core/vpi_instance.h"
#include "fdl/ring_settings.h"

namespace plclink {

// Reads the file of VPI `vpiNumber` from the current directory: "3 DIGITS"
// (any case) in its first line turns on three-digit PLC numbers; a later
// line "PAUSE n" (any case) asks for a pause of n ms between frames.
// 0 read, 1 missing or empty.
int ReadInitializationFile(VpiInstance& instance, std::uint16_t vpiNumber);

// The serial device server of a later line "TCP host:port" (any case) of
// the file of VPI `vpiNumber`: true with `server` set when the file has
// one. A malformed TCP line is logged and passed over.
bool ReadTcpServerLine(std::uint16_t vpiNumber, TcpServer* server);

// The ring settings of a later line "MULTIMASTER ..." (any case) of the file
// of VPI `vpiNumber`: true with `settings` set when the file has one. A
// malformed MULTIMASTER line is logged and passed over.
bool ReadMultiMasterLine(std::uint16_t vpiNumber, RingSettings* settings);

}  // namespace plclink
