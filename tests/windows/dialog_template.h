// Reads an extended dialog template (DLGTEMPLATEEX) as the dialog manager
// does, so that tests can compare what windres built with what the dialog
// procedure expects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plclink::testing {

struct DialogControl {
    std::int32_t id;
    std::string className;  // "BUTTON", "EDIT", ... (ordinals mapped to names)
    std::string text;
    std::int16_t x, y, cx, cy;
    std::uint32_t style;
    std::uint32_t exStyle;
};

struct DialogTemplate {
    bool extended = false;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::string menu;
    std::string windowClass;
    std::string caption;
    std::uint16_t pointSize = 0;
    std::string typeface;
    std::vector<DialogControl> controls;
};

// False when the bytes are not a well-formed extended template.
bool ReadDialogTemplate(const void* data, std::size_t size, DialogTemplate* out);

}  // namespace plclink::testing
