#include "entry/init_file.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "entry/host_log.h"

namespace plclink {
namespace {

constexpr int kLineRoom = 256;  // the first line, at most 255 characters

}  // namespace

int ReadInitializationFile(VpiInstance& instance, std::uint16_t vpiNumber) {
    const int number = vpiNumber;
    char fileName[32];
    std::snprintf(fileName, sizeof fileName, "vpiK7%.2d.int", number);
    std::FILE* file = std::fopen(fileName, "r");
    if (file == nullptr) {
        err(kLogCategory, "vpiK7%.2d: Initialization file '%s' not found!", number, fileName);
        return 1;
    }
    char line[kLineRoom];
    if (std::fgets(line, sizeof line, file) == nullptr) {
        std::fclose(file);
        return 1;
    }
    for (char* c = line; *c != '\0'; ++c)
        *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
    if (std::strstr(line, "3 DIGITS") != nullptr) {
        err(kLogCategory, "VPIK7%02d: 3 digit PLC address enabled for this VPI", number);
        instance.threeDigitPlc = 1;
    }
    std::fclose(file);
    return 0;
}

}  // namespace plclink
