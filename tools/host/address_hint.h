// A short note on what is wrong with a tag address text, for the cases where
// the module rejects it without a log line of its own.
#pragma once

#include <string>
#include <string_view>

namespace plclink::host {

// Empty when nothing obvious is wrong.
std::string AddressHint(std::string_view text, bool threeDigit, bool block);

}  // namespace plclink::host
