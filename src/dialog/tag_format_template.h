// The "Tag Format" dialog template (resource 101): caption, size, font,
// styles and the controls in template order, which is also the tab order.
// Positions and sizes are dialog units. The Windows resource script and the
// Linux control model both follow this table.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plclink {

// Window and control styles, with the Windows values.
namespace style {
inline constexpr std::uint32_t WS_POPUP = 0x80000000u;
inline constexpr std::uint32_t WS_CHILD = 0x40000000u;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000u;
inline constexpr std::uint32_t WS_DISABLED = 0x08000000u;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000u;
inline constexpr std::uint32_t WS_BORDER = 0x00800000u;
inline constexpr std::uint32_t WS_VSCROLL = 0x00200000u;
inline constexpr std::uint32_t WS_GROUP = 0x00020000u;
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000u;
inline constexpr std::uint32_t DS_SETFONT = 0x0040u;
inline constexpr std::uint32_t DS_MODALFRAME = 0x0080u;
inline constexpr std::uint32_t ES_UPPERCASE = 0x0008u;
inline constexpr std::uint32_t ES_NUMBER = 0x2000u;
inline constexpr std::uint32_t LBS_NOTIFY = 0x0001u;
inline constexpr std::uint32_t LBS_NOINTEGRALHEIGHT = 0x0100u;
inline constexpr std::uint32_t LBS_WANTKEYBOARDINPUT = 0x0400u;
inline constexpr std::uint32_t BS_PUSHBUTTON = 0x0000u;
inline constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x0001u;
inline constexpr std::uint32_t BS_GROUPBOX = 0x0007u;
inline constexpr std::uint32_t BS_TYPEMASK = 0x000Fu;
inline constexpr std::uint32_t SBS_VERT = 0x0001u;
inline constexpr std::uint32_t SBS_LEFTALIGN = 0x0002u;
inline constexpr std::uint32_t SS_LEFT = 0x0000u;
inline constexpr std::uint32_t CBS_DROPDOWNLIST = 0x0003u;
inline constexpr std::uint32_t WS_EX_STATICEDGE = 0x00020000u;
inline constexpr std::uint32_t WS_EX_CLIENTEDGE = 0x00000200u;
}  // namespace style

inline constexpr int kTagFormatTemplateId = 101;

// Control ids of the template.
inline constexpr int kPlcNumberEdit = 1037;
inline constexpr int kBitNumberList = 1022;
inline constexpr int kOkButton = 1;
inline constexpr int kCancelButton = 2;
inline constexpr int kPlcNumberSpin = 1036;
inline constexpr int kMemoryAreaCombo = 1060;
inline constexpr int kDataTypeCombo = 1006;
inline constexpr int kAddressEdit = 1007;
inline constexpr int kAddressSpin = 1041;
inline constexpr int kNoId = -1;

struct ControlTemplate {
    int id;
    const char* className;  // "EDIT", "LISTBOX", "BUTTON", "SCROLLBAR", "STATIC", "COMBOBOX"
    const char* text;
    short x, y, cx, cy;
    std::uint32_t style;    // WS_CHILD and WS_VISIBLE included
    std::uint32_t exStyle;
};

struct DialogTemplate {
    int id;
    const char* caption;
    short cx, cy;
    const char* fontName;
    short fontPoints;
    std::uint32_t style;
    const ControlTemplate* controls;
    std::size_t controlCount;
};

namespace detail {
using namespace style;
inline constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;

inline constexpr ControlTemplate kTagFormatControls[] = {
    {kPlcNumberEdit, "EDIT", "", 56, 22, 14, 12, kChild | WS_TABSTOP | ES_UPPERCASE,
     WS_EX_CLIENTEDGE | WS_EX_STATICEDGE},
    {kBitNumberList, "LISTBOX", "", 56, 112, 35, 11,
     kChild | WS_DISABLED | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY |
         LBS_NOINTEGRALHEIGHT | LBS_WANTKEYBOARDINPUT,
     WS_EX_STATICEDGE},
    {kOkButton, "BUTTON", "OK", 165, 68, 40, 14, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0},
    {kCancelButton, "BUTTON", "Cancel", 165, 90, 40, 14, kChild | WS_TABSTOP | BS_PUSHBUTTON, 0},
    {kPlcNumberSpin, "SCROLLBAR", "", 70, 22, 11, 12, kChild | SBS_VERT | SBS_LEFTALIGN, 0},
    {1057, "STATIC", "PLC number:", 7, 22, 42, 8, kChild | WS_GROUP | SS_LEFT, 0},
    {1054, "STATIC", "Memory type:", 7, 68, 43, 10, kChild | WS_GROUP | SS_LEFT, 0},
    {1058, "STATIC", "Address:", 8, 91, 30, 8, kChild | WS_GROUP | SS_LEFT, 0},
    {1055, "STATIC", "Bit number:", 7, 112, 37, 10, kChild | WS_GROUP | SS_LEFT, 0},
    {kNoId, "BUTTON", "", 55, 18, 26, 18, kChild | BS_GROUPBOX, 0},
    {kNoId, "STATIC", "Point type:", 7, 46, 34, 11, kChild | WS_GROUP | SS_LEFT, 0},
    {kMemoryAreaCombo, "COMBOBOX", "", 56, 44, 84, 117,
     kChild | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST, 0},
    {kDataTypeCombo, "COMBOBOX", "", 56, 67, 69, 76,
     kChild | WS_DISABLED | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST, WS_EX_STATICEDGE},
    {kAddressEdit, "EDIT", "", 55, 89, 30, 12, kChild | WS_TABSTOP | ES_NUMBER | ES_UPPERCASE,
     WS_EX_CLIENTEDGE | WS_EX_STATICEDGE},
    {kAddressSpin, "SCROLLBAR", "", 84, 89, 11, 12, kChild | SBS_VERT | SBS_LEFTALIGN, 0},
};
}  // namespace detail

inline constexpr DialogTemplate kTagFormatTemplate = {
    kTagFormatTemplateId,
    "Tag Format",
    232,
    138,
    "MS Sans Serif",
    8,
    style::WS_POPUP | style::WS_CAPTION | style::DS_MODALFRAME | style::DS_SETFONT,
    detail::kTagFormatControls,
    sizeof detail::kTagFormatControls / sizeof detail::kTagFormatControls[0],
};

}  // namespace plclink
