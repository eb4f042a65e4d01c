// A copy of a range of controller memory in a text file that a person can
// read and edit: a few "key value" lines naming the station, area, start
// and length, then the bytes in hexadecimal, 16 to a line, each line led by
// the byte address of its first byte.
//
//   # plclink memory image
//   plc 2
//   area V
//   start 100
//   length 20
//   0100: 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF
//   0116: 01 02 03 04
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plclink::host {

struct MemoryImage {
    int plc = 2;
    std::string area = "V";  // an area name, upper case
    int start = 0;
    std::vector<std::uint8_t> bytes;
};

// The byte addresses a tag can name: four digits.
inline constexpr int kAddressLimit = 10000;

// Empty when the range fits; else why not. The analog areas hold words: their
// ranges start and end on even addresses.
std::string CheckRange(const std::string& area, int start, long length);

std::string ImageText(const MemoryImage& image);
bool ParseImage(const std::string& text, MemoryImage& image, std::string& why);

bool SaveImage(const std::string& path, const MemoryImage& image, std::string& why);
bool LoadImage(const std::string& path, MemoryImage& image, std::string& why);

}  // namespace plclink::host
