#include "memory_image.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace plclink::host {

std::string CheckRange(char area, int start, long length) {
    if (area != 'I' && area != 'Q' && area != 'M' && area != 'V') return "area must be I, Q, M or V";
    if (start < 0 || start >= kAddressLimit) return "start must be 0..9999";
    if (length < 1 || start + length > kAddressLimit) {
        return "length must be 1.." + std::to_string(kAddressLimit - start) +
               " (the range must end by byte 9999)";
    }
    return "";
}

std::string ImageText(const MemoryImage& image) {
    std::string text = "# plclink memory image\n";
    text += "plc " + std::to_string(image.plc) + "\n";
    text += std::string("area ") + image.area + "\n";
    text += "start " + std::to_string(image.start) + "\n";
    text += "length " + std::to_string(image.bytes.size()) + "\n";
    for (std::size_t at = 0; at < image.bytes.size(); at += 16) {
        char line[8];
        std::snprintf(line, sizeof line, "%04zu:", image.start + at);
        text += line;
        for (std::size_t i = at; i < at + 16 && i < image.bytes.size(); ++i) {
            char byte[4];
            std::snprintf(byte, sizeof byte, " %02X", image.bytes[i]);
            text += byte;
        }
        text += "\n";
    }
    return text;
}

namespace {

bool ReadNumber(const std::string& text, long& value, int base = 10) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

}  // namespace

bool ParseImage(const std::string& text, MemoryImage& image, std::string& why) {
    std::istringstream in(text);
    std::string line;
    long length = -1;
    bool haveArea = false, haveStart = false;
    int lineNumber = 0;
    image.bytes.clear();
    auto fail = [&](const std::string& what) {
        why = "line " + std::to_string(lineNumber) + ": " + what;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string key;
        if (!(words >> key)) continue;
        if (key.back() == ':') {
            long address = 0;
            if (!haveStart || length < 0) return fail("bytes before the start and length lines");
            if (!ReadNumber(key.substr(0, key.size() - 1), address)) return fail("bad byte address");
            if (address != image.start + static_cast<long>(image.bytes.size())) {
                return fail("byte address " + std::to_string(address) + " does not follow on");
            }
            std::string byte;
            while (words >> byte) {
                long value = 0;
                if (byte.size() != 2 || !ReadNumber(byte, value, 16)) return fail("bad byte '" + byte + "'");
                image.bytes.push_back(static_cast<std::uint8_t>(value));
            }
            continue;
        }
        std::string value;
        words >> value;
        long number = 0;
        if (key == "area" && value.size() == 1) {
            image.area = static_cast<char>(std::toupper(static_cast<unsigned char>(value[0])));
            haveArea = true;
        } else if (key == "plc" && ReadNumber(value, number) && number >= 0 && number <= 999) {
            image.plc = static_cast<int>(number);
        } else if (key == "start" && ReadNumber(value, number) && number >= 0 && number < kAddressLimit) {
            image.start = static_cast<int>(number);
            haveStart = true;
        } else if (key == "length" && ReadNumber(value, number) && number >= 0) {
            length = number;
        } else {
            return fail("cannot read '" + line + "'");
        }
    }
    if (!haveArea || !haveStart || length < 0) {
        why = "not a memory image (area, start and length lines needed)";
        return false;
    }
    if (static_cast<long>(image.bytes.size()) != length) {
        why = "holds " + std::to_string(image.bytes.size()) + " bytes, its length line says " +
              std::to_string(length);
        return false;
    }
    std::string range = CheckRange(image.area, image.start, length);
    if (!range.empty()) {
        why = range;
        return false;
    }
    return true;
}

bool SaveImage(const std::string& path, const MemoryImage& image, std::string& why) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << ImageText(image);
    out.close();
    if (!out) {
        why = "cannot write " + path;
        return false;
    }
    return true;
}

bool LoadImage(const std::string& path, MemoryImage& image, std::string& why) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = "cannot read " + path;
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    if (!ParseImage(all.str(), image, why)) {
        why = path + ": " + why;
        return false;
    }
    return true;
}

}  // namespace plclink::host
