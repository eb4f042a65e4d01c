#include "dialog_template.h"

#include <cstring>

namespace plclink::testing {
namespace {

class Reader {
public:
    Reader(const void* data, std::size_t size)
        : bytes_(static_cast<const std::uint8_t*>(data)), size_(size) {}

    bool ok() const { return ok_; }

    template <typename T>
    T take() {
        T value{};
        if (pos_ + sizeof(T) > size_) {
            ok_ = false;
            return value;
        }
        std::memcpy(&value, bytes_ + pos_, sizeof(T));
        pos_ += sizeof(T);
        return value;
    }

    // A NUL-terminated UTF-16 text; the templates here hold ASCII only.
    std::string text() {
        std::string out;
        for (std::uint16_t c = take<std::uint16_t>(); ok_ && c != 0; c = take<std::uint16_t>())
            out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        return out;
    }

    // A name or ordinal field: 0 = none, 0xFFFF + ordinal, or a text.
    std::string nameOrOrdinal(std::uint16_t* ordinal) {
        *ordinal = 0;
        std::uint16_t first = peek();
        if (first == 0) {
            take<std::uint16_t>();
            return {};
        }
        if (first == 0xFFFF) {
            take<std::uint16_t>();
            *ordinal = take<std::uint16_t>();
            return {};
        }
        return text();
    }

    void alignTo(std::size_t n) { pos_ = (pos_ + n - 1) / n * n; }
    void skip(std::size_t n) {
        if (pos_ + n > size_) ok_ = false;
        pos_ += n;
    }

private:
    std::uint16_t peek() {
        std::uint16_t v{};
        if (pos_ + 2 <= size_) std::memcpy(&v, bytes_ + pos_, 2);
        return v;
    }

    const std::uint8_t* bytes_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

std::string ClassOfOrdinal(std::uint16_t ordinal) {
    switch (ordinal) {
        case 0x80: return "BUTTON";
        case 0x81: return "EDIT";
        case 0x82: return "STATIC";
        case 0x83: return "LISTBOX";
        case 0x84: return "SCROLLBAR";
        case 0x85: return "COMBOBOX";
        default: {
            // Appended rather than "#" + text: GCC 12 warns falsely about
            // the latter (-Wrestrict, GCC bug 105651).
            std::string name = "#";
            name += std::to_string(ordinal);
            return name;
        }
    }
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

constexpr std::uint32_t kSetFont = 0x40;      // DS_SETFONT
constexpr std::uint32_t kShellFont = 0x48;    // DS_SHELLFONT

}  // namespace

bool ReadDialogTemplate(const void* data, std::size_t size, DialogTemplate* out) {
    Reader r(data, size);
    const auto version = r.take<std::uint16_t>();
    const auto signature = r.take<std::uint16_t>();
    if (!r.ok() || version != 1 || signature != 0xFFFF) return false;
    DialogTemplate t;
    t.extended = true;
    r.take<std::uint32_t>();  // help id
    t.exStyle = r.take<std::uint32_t>();
    t.style = r.take<std::uint32_t>();
    const auto count = r.take<std::uint16_t>();
    t.x = r.take<std::int16_t>();
    t.y = r.take<std::int16_t>();
    t.cx = r.take<std::int16_t>();
    t.cy = r.take<std::int16_t>();
    std::uint16_t ordinal = 0;
    t.menu = r.nameOrOrdinal(&ordinal);
    t.windowClass = r.nameOrOrdinal(&ordinal);
    t.caption = r.text();
    if ((t.style & kSetFont) != 0 || (t.style & kShellFont) == kShellFont) {
        t.pointSize = r.take<std::uint16_t>();
        r.take<std::uint16_t>();  // weight
        r.take<std::uint8_t>();   // italic
        r.take<std::uint8_t>();   // character set
        t.typeface = r.text();
    }
    for (std::uint16_t i = 0; i < count && r.ok(); ++i) {
        r.alignTo(4);
        DialogControl c{};
        r.take<std::uint32_t>();  // help id
        c.exStyle = r.take<std::uint32_t>();
        c.style = r.take<std::uint32_t>();
        c.x = r.take<std::int16_t>();
        c.y = r.take<std::int16_t>();
        c.cx = r.take<std::int16_t>();
        c.cy = r.take<std::int16_t>();
        c.id = r.take<std::int32_t>();
        std::string cls = r.nameOrOrdinal(&ordinal);
        c.className = ordinal != 0 ? ClassOfOrdinal(ordinal) : Upper(cls);
        c.text = r.nameOrOrdinal(&ordinal);
        const auto extra = r.take<std::uint16_t>();
        r.skip(extra);
        t.controls.push_back(c);
    }
    if (!r.ok()) return false;
    *out = t;
    return true;
}

}  // namespace plclink::testing
