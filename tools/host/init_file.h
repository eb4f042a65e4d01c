// The instance's initialization file, "vpiK7NN.int" in the current
// directory, whose first line switches the instance to three-digit PLC
// numbers when it says "3 DIGITS", whose later line "PAUSE n" asks for a
// pause of n ms between frames, and whose later line "TCP host:port" makes
// the line a TCP connection.
#pragma once

#include <optional>
#include <string>

namespace plclink::host {

std::string InitFileName(int vpiNumber);

// True when the file's first line asks for three-digit PLC numbers.
bool InitFileAsksThreeDigits(const std::string& path);

// Makes the file ask for three digits: writes "3 DIGITS" as its first line,
// keeping what the file held below it. False and `why` on failure.
bool WriteThreeDigitInitFile(const std::string& path, std::string& why);

// The milliseconds of the file's PAUSE line (after the first line), if any.
std::optional<int> InitFilePause(const std::string& path);

// Makes the file ask for a pause of `ms`: keeps its first line (an empty one
// when there is no file) and its other lines, drops earlier PAUSE lines and
// adds "PAUSE ms". False and `why` on failure.
bool WritePauseInitFile(const std::string& path, int ms, std::string& why);

// The address of the file's "TCP host:port" line (after the first line), if
// any: the instance's line is then a TCP connection to a serial device server.
std::optional<std::string> InitFileTcpServer(const std::string& path);

// Makes the file's line a TCP connection to `server` ("host:port"), or,
// without one, the serial port again: as WritePauseInitFile does with PAUSE
// lines, with "TCP server" lines.
bool WriteTcpInitFile(const std::string& path, const std::optional<std::string>& server,
                      std::string& why);

// The station address of the file's MULTIMASTER line (0 when it names
// none), if the file has one.
std::optional<int> InitFileMultiMasterAddress(const std::string& path);

// Makes the file's MULTIMASTER line name station `address`, keeping its
// other settings (or adds "MULTIMASTER ADDRESS n"). False and `why` on failure.
bool WriteMultiMasterInitFile(const std::string& path, int address, std::string& why);

}  // namespace plclink::host
