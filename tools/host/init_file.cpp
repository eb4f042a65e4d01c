#include "init_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
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

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// The words of a later line `keyword ...` (any case, blanks around the
// words), after the keyword.
std::optional<std::vector<std::string>> WordsAfter(const std::string& line, const std::string& keyword) {
    std::istringstream in(line);
    std::string word;
    if (!(in >> word) || Upper(word) != keyword) return std::nullopt;
    std::vector<std::string> words;
    while (in >> word) words.push_back(word);
    return words;
}

bool StartsWith(const std::string& line, const std::string& keyword) {
    const std::string upper = Upper(line);
    const std::size_t at = upper.find_first_not_of(" \t");
    return at != std::string::npos && upper.compare(at, keyword.size(), keyword) == 0;
}

// The one word after `keyword` of the first later line that holds nothing
// else and whose word `usable` takes, as the driver finds it.
template <typename Usable>
std::optional<std::string> LaterLine(const std::string& path, const std::string& keyword, Usable usable) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    while (std::getline(in, line)) {
        const auto words = WordsAfter(line, keyword);
        if (words && words->size() == 1 && usable(words->front())) return words->front();
    }
    return std::nullopt;
}

// Keeps the file's first line (an empty one when there is no file) and its
// other lines, drops the later lines that start with `keyword` and adds
// `replacement` when it is not empty.
bool ReplaceLaterLine(const std::string& path, const std::string& keyword,
                      const std::string& replacement, std::string& why) {
    std::string first;
    std::vector<std::string> others;
    {
        std::ifstream in(path, std::ios::binary);
        std::string line;
        if (in && std::getline(in, line)) {
            first = line;
            while (std::getline(in, line)) {
                if (!StartsWith(line, keyword)) others.push_back(line);
            }
        }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << first << '\n';
    for (const std::string& line : others) out << line << '\n';
    if (!replacement.empty()) out << replacement << '\n';
    out.close();
    if (!out) {
        why = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace

std::optional<int> InitFilePause(const std::string& path) {
    const auto word = LaterLine(path, "PAUSE", [](const std::string& text) {
        return text.find_first_not_of("0123456789") == std::string::npos;
    });
    if (!word) return std::nullopt;
    return static_cast<int>(std::strtol(word->c_str(), nullptr, 10));
}

bool WritePauseInitFile(const std::string& path, int ms, std::string& why) {
    return ReplaceLaterLine(path, "PAUSE", "PAUSE " + std::to_string(ms), why);
}

std::optional<std::string> InitFileTcpServer(const std::string& path) {
    return LaterLine(path, "TCP", [](const std::string&) { return true; });
}

bool WriteTcpInitFile(const std::string& path, const std::optional<std::string>& server,
                      std::string& why) {
    return ReplaceLaterLine(path, "TCP", server ? "TCP " + *server : "", why);
}

namespace {

// The words after MULTIMASTER of the file's first later MULTIMASTER line.
std::optional<std::vector<std::string>> MultiMasterWords(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    while (std::getline(in, line))
        if (auto words = WordsAfter(line, "MULTIMASTER")) return words;
    return std::nullopt;
}

}  // namespace

std::optional<int> InitFileMultiMasterAddress(const std::string& path) {
    const auto words = MultiMasterWords(path);
    if (!words) return std::nullopt;
    for (std::size_t i = 0; i + 1 < words->size(); ++i)
        if (Upper((*words)[i]) == "ADDRESS") return static_cast<int>(std::strtol((*words)[i + 1].c_str(), nullptr, 10));
    return 0;
}

bool WriteMultiMasterInitFile(const std::string& path, int address, std::string& why) {
    std::string line = "MULTIMASTER ADDRESS " + std::to_string(address);
    if (const auto words = MultiMasterWords(path)) {
        for (std::size_t i = 0; i < words->size(); ++i) {
            if (Upper((*words)[i]) == "ADDRESS") {
                ++i;  // the old address gives way to the new one
                continue;
            }
            line.append(" ").append((*words)[i]);
        }
    }
    return ReplaceLaterLine(path, "MULTIMASTER", line, why);
}

}  // namespace plclink::host
