#include "init_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace plclink::host {

std::string InitFileName(int vpiNumber) {
    char name[32];
    std::snprintf(name, sizeof name, "vpiK7%.2u.int", static_cast<unsigned>(vpiNumber) & 0xFFFFu);
    return name;
}

bool InitFileAsksThreeDigits(const std::string& path) {
    std::ifstream in(path);
    std::string first;
    if (!in || !std::getline(in, first)) return false;
    std::transform(first.begin(), first.end(), first.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return first.find("3 DIGITS") != std::string::npos;
}

bool WriteThreeDigitInitFile(const std::string& path, std::string& why) {
    if (InitFileAsksThreeDigits(path)) return true;
    std::string kept;
    {
        std::ifstream in(path, std::ios::binary);
        if (in) {
            std::ostringstream all;
            all << in.rdbuf();
            kept = all.str();
        }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "3 DIGITS\n" << kept;
    out.close();
    if (!out) {
        why = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace plclink::host
