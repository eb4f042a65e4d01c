// The module's only entry point and its command table.
#include <array>

#include "entry/command_handlers.h"

namespace plclink {
namespace {

// Slots for the command codes 1..17; empty slots answer 2.
constexpr std::array<CommandHandler, 17> kCommandTable = {
    ColdStart,         // 1
    FlushLine,         // 2
    SingleParse,       // 3
    BlockParse,        // 4
    ReadValue,         // 5
    ReadBlock,         // 6
    WriteValue,        // 7
    nullptr,           // 8
    nullptr,           // 9
    WriteBlock,        // 10
    EndVpi,            // 11
    CloseLine,         // 12
    ReopenLine,        // 13
    DescribeDriver,    // 14
    ChangeLine,        // 15
    ShowTagFormatDialog,  // 16
    nullptr,           // 17
};

// The extensions' command codes, beyond the table.
CommandHandler ExtensionHandlerOf(std::uint32_t command) {
    switch (command) {
        case VPI_READ_TAGS: return ReadTags;
        default: return nullptr;
    }
}

}  // namespace
}  // namespace plclink

extern "C" PLCLINK_EXPORT int32_t VpiMain(VpiCallBlock* callBlock) {
    using namespace plclink;
    if (callBlock == nullptr) return VPI_UNAVAILABLE;
    const std::uint32_t command = callBlock->command;
    if (CommandHandler extension = ExtensionHandlerOf(command)) return extension(callBlock);
    if (command < 1 || command > kCommandTable.size()) return VPI_UNAVAILABLE;
    CommandHandler handler = kCommandTable[command - 1];
    if (handler == nullptr) return VPI_UNAVAILABLE;
    return handler(callBlock);
}
