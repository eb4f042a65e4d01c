// The Tag Format dialog of command 16: its procedure, run by the platform's
// modal dialog on template 101.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace plclink {

MessageResult PLCLINK_CALLBACK TagFormatDlgProc(WindowHandle dialog, std::uint32_t message,
                                                MessageWParam wParam, MessageLParam lParam);

// Writes the GAS composed from the dialog's values into `gas` (at most 11
// bytes with the terminating NUL); returns the number of characters.
std::size_t ComposeGas(char* gas);

// The host's version number as a short-lived client asks it; 0 when the
// host refuses the client.
std::uint16_t AskHostVersion();

// Hosts from this version on let the dialog have their window as owner.
inline constexpr std::uint16_t kOwnerWindowVersion = 820;

}  // namespace plclink
