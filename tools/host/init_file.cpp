#include "init_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

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

namespace {

// The number of a "PAUSE n" line (any case, blanks around the words).
std::optional<int> PauseOfLine(std::string line) {
    std::transform(line.begin(), line.end(), line.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    std::istringstream words(line);
    std::string word;
    long ms = 0;
    std::string rest;
    if (!(words >> word) || word != "PAUSE" || !(words >> ms) || (words >> rest)) return std::nullopt;
    return static_cast<int>(ms);
}

bool IsPauseLine(const std::string& line) {
    std::string upper;
    for (unsigned char c : line) upper += static_cast<char>(std::toupper(c));
    const std::size_t at = upper.find_first_not_of(" \t");
    return at != std::string::npos && upper.compare(at, 5, "PAUSE") == 0;
}

}  // namespace

std::optional<int> InitFilePause(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    while (std::getline(in, line)) {
        if (auto ms = PauseOfLine(line)) return ms;
    }
    return std::nullopt;
}

bool WritePauseInitFile(const std::string& path, int ms, std::string& why) {
    std::string first;
    std::vector<std::string> others;
    {
        std::ifstream in(path, std::ios::binary);
        std::string line;
        if (in && std::getline(in, line)) {
            first = line;
            while (std::getline(in, line)) {
                if (!IsPauseLine(line)) others.push_back(line);
            }
        }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << first << '\n';
    for (const std::string& line : others) out << line << '\n';
    out << "PAUSE " << ms << '\n';
    out.close();
    if (!out) {
        why = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace plclink::host
