// The Windows message, notification, scroll-code and result numbers that the
// Tag Format dialog exchanges with its controls. They are the same numbers on
// every OS, so the dialog procedure runs unchanged on the Windows controls and
// on the Linux control model.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace plclink::win {

// Window messages.
inline constexpr std::uint32_t WM_INITDIALOG = 0x0110;
inline constexpr std::uint32_t WM_COMMAND = 0x0111;
inline constexpr std::uint32_t WM_VSCROLL = 0x0115;

// Edit messages.
inline constexpr std::uint32_t EM_LIMITTEXT = 0x00C5;

// List box messages.
inline constexpr std::uint32_t LB_ADDSTRING = 0x0180;
inline constexpr std::uint32_t LB_RESETCONTENT = 0x0184;
inline constexpr std::uint32_t LB_SETCURSEL = 0x0186;
inline constexpr std::uint32_t LB_GETCURSEL = 0x0188;
inline constexpr std::uint32_t LB_GETTEXT = 0x0189;
inline constexpr std::uint32_t LB_GETTEXTLEN = 0x018A;
inline constexpr std::uint32_t LB_GETCOUNT = 0x018B;
inline constexpr std::uint32_t LB_GETTOPINDEX = 0x018E;
inline constexpr std::uint32_t LB_SETTOPINDEX = 0x0197;
inline constexpr MessageResult LB_ERR = -1;

// Combo box messages.
inline constexpr std::uint32_t CB_ADDSTRING = 0x0143;
inline constexpr std::uint32_t CB_GETCOUNT = 0x0146;
inline constexpr std::uint32_t CB_GETCURSEL = 0x0147;
inline constexpr std::uint32_t CB_GETLBTEXT = 0x0148;
inline constexpr std::uint32_t CB_GETLBTEXTLEN = 0x0149;
inline constexpr std::uint32_t CB_RESETCONTENT = 0x014B;
inline constexpr std::uint32_t CB_SETCURSEL = 0x014E;
inline constexpr MessageResult CB_ERR = -1;

// Notification codes (high word of WM_COMMAND's wParam).
inline constexpr std::uint16_t BN_CLICKED = 0;
inline constexpr std::uint16_t CBN_SELCHANGE = 1;
inline constexpr std::uint16_t CBN_SETFOCUS = 3;
inline constexpr std::uint16_t CBN_KILLFOCUS = 4;
inline constexpr std::uint16_t LBN_SELCHANGE = 1;

// Scroll codes (low word of WM_VSCROLL's wParam).
inline constexpr std::uint16_t SB_LINEUP = 0;
inline constexpr std::uint16_t SB_LINEDOWN = 1;

// Message box type and the dialog results.
inline constexpr std::uint32_t MB_OK = 0;
inline constexpr MessageResult IDOK = 1;
inline constexpr MessageResult IDCANCEL = 2;

inline constexpr MessageResult TRUE_RESULT = 1;
inline constexpr MessageResult FALSE_RESULT = 0;

// The two halves of a message parameter.
constexpr std::uint16_t LoWord(MessageWParam value) { return static_cast<std::uint16_t>(value); }
constexpr std::uint16_t HiWord(MessageWParam value) {
    return static_cast<std::uint16_t>(value >> 16);
}
constexpr MessageWParam MakeWParam(std::uint16_t low, std::uint16_t high) {
    return static_cast<MessageWParam>(low) | (static_cast<MessageWParam>(high) << 16);
}

}  // namespace plclink::win
