#include "memory_image.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "area.h"

namespace plclink::host {
namespace {

constexpr const char* kNoElementRanges =
    "timers and counters are no range of bytes: read them with read, monitor or read-block";

}  // namespace

std::string CheckRange(const std::string& area, int start, long length) {
    const std::uint8_t memArea = MemAreaOfName(area);
    if (memArea == 0) return std::string("area must be ") + kAreaList;
    if (IsElementAddressed(memArea)) return kNoElementRanges;
    if (start < 0 || start >= kAddressLimit) return "start must be 0..9999";
    if (length < 1 || start + length > kAddressLimit) {
        return "length must be 1.." + std::to_string(kAddressLimit - start) +
               " (the range must end by byte 9999)";
    }
    if (HoldsWordsOnly(memArea) && (start % 2 != 0 || length % 2 != 0))
        return area + " holds words: start and length must be even";
    return "";
}

std::string ImageText(const MemoryImage& image) {
    std::string text = "# plclink memory image\n";
    text += "plc " + std::to_string(image.plc) + "\n";
    text += "area " + image.area + "\n";
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

namespace {

// The header lines, in the order dump writes them.
enum HeaderKey { kPlc, kArea, kStart, kLength, kHeaderKeys };
constexpr const char* kHeaderNames[kHeaderKeys] = {"plc", "area", "start", "length"};

int HeaderKeyOf(const std::string& word) {
    for (int key = 0; key < kHeaderKeys; ++key) {
        if (word == kHeaderNames[key]) return key;
    }
    return -1;
}

// Reads the value of one header line into `image` or `length`; empty, or
// what is wrong with it.
std::string TakeHeaderValue(int key, const std::string& value, MemoryImage& image, long& length) {
    long number = 0;
    switch (key) {
        case kPlc:
            if (!ReadNumber(value, number) || number < 0 || number > 999) return "plc must be 0..999";
            image.plc = static_cast<int>(number);
            return "";
        case kArea: {
            const std::string area = CanonicalAreaName(value);
            if (area.empty()) return std::string("area must be ") + kAreaList;
            if (IsElementAddressed(MemAreaOfName(area))) return kNoElementRanges;
            image.area = area;
            return "";
        }
        case kStart:
            if (!ReadNumber(value, number) || number < 0 || number >= kAddressLimit) return "start must be 0..9999";
            image.start = static_cast<int>(number);
            return "";
        default:
            if (!ReadNumber(value, number) || number < 1 || number > kAddressLimit) return "length must be 1..10000";
            length = number;
            return "";
    }
}

}  // namespace

// The header lines come first, each once; the byte lines follow, each going
// on where the one before ended. Blank lines and # comments may stand
// anywhere. Anything else stops the parse at its line.
bool ParseImage(const std::string& text, MemoryImage& image, std::string& why) {
    std::istringstream in(text);
    std::string line;
    long length = -1;
    int seenOn[kHeaderKeys] = {};  // line of each header line, 0 = not yet
    int lineNumber = 0;
    bool inBytes = false;
    image.bytes.clear();
    auto fail = [&](const std::string& what) {
        why = "line " + std::to_string(lineNumber) + ": " + what;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        std::string key;
        if (!(words >> key) || key[0] == '#') continue;
        if (key.back() == ':') {
            if (!seenOn[kArea] || !seenOn[kStart] || !seenOn[kLength]) {
                return fail("bytes before the area, start and length lines");
            }
            inBytes = true;
            long address = 0;
            if (!ReadNumber(key.substr(0, key.size() - 1), address)) return fail("bad byte address '" + key + "'");
            if (address != image.start + static_cast<long>(image.bytes.size())) {
                return fail("byte address " + std::to_string(address) + " does not follow on");
            }
            std::string byte;
            while (words >> byte) {
                long value = 0;
                if (byte.size() != 2 || !ReadNumber(byte, value, 16)) return fail("bad byte '" + byte + "'");
                if (static_cast<long>(image.bytes.size()) >= length) {
                    return fail("more bytes than the length line says (" + std::to_string(length) + ")");
                }
                image.bytes.push_back(static_cast<std::uint8_t>(value));
            }
            continue;
        }
        int headerKey = HeaderKeyOf(key);
        if (headerKey < 0) return fail("cannot read '" + line + "'");
        if (inBytes) return fail("'" + key + "' line after the byte lines (the header lines come first)");
        if (seenOn[headerKey]) {
            return fail("a second '" + key + "' line (the first is line " + std::to_string(seenOn[headerKey]) + ")");
        }
        std::string value, extra;
        words >> value;
        if (words >> extra) return fail("cannot read '" + line + "'");
        std::string wrong = TakeHeaderValue(headerKey, value, image, length);
        if (!wrong.empty()) return fail(wrong);
        seenOn[headerKey] = lineNumber;
    }
    if (!seenOn[kArea] || !seenOn[kStart] || !seenOn[kLength]) {
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
