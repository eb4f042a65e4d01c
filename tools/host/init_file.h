// The instance's initialization file, "vpiK7NN.int" in the current
// directory, whose first line switches the instance to three-digit PLC
// numbers when it says "3 DIGITS".
#pragma once

#include <string>

namespace plclink::host {

std::string InitFileName(int vpiNumber);

// True when the file's first line asks for three-digit PLC numbers.
bool InitFileAsksThreeDigits(const std::string& path);

// Makes the file ask for three digits: writes "3 DIGITS" as its first line,
// keeping what the file held below it. False and `why` on failure.
bool WriteThreeDigitInitFile(const std::string& path, std::string& why);

}  // namespace plclink::host
