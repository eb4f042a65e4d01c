#include "element_type.h"

namespace plclink::host {

int ElementBytes(ElementType type) {
    switch (type) {
        case ElementType::Word: return 2;
        case ElementType::DWord:
        case ElementType::Float: return 4;
        default: return 1;
    }
}

std::string_view ElementName(ElementType type) {
    switch (type) {
        case ElementType::Byte: return "byte";
        case ElementType::Word: return "word";
        case ElementType::DWord: return "dword";
        case ElementType::Float: return "float";
        case ElementType::Bit: return "bit";
    }
    return "?";
}

char ElementLetter(ElementType type) {
    switch (type) {
        case ElementType::Word: return 'W';
        case ElementType::DWord: return 'D';
        case ElementType::Float: return 'F';
        default: return 'B';
    }
}

std::int32_t GateTypeOf(ElementType type) {
    // 0..2 admit B and W, 3 is the float type, 4..5 double words, 6 bits.
    switch (type) {
        case ElementType::Byte: return 0;
        case ElementType::Word: return 1;
        case ElementType::Float: return 3;
        case ElementType::DWord: return 4;
        case ElementType::Bit: return 6;
    }
    return 0;
}

}  // namespace plclink::host
