// Line control: RTS, DTR, the error flags and the transmit-empty wait. Each
// does nothing on the null line and logs a failing platform call.
#include <cstdint>

#include "core/host_log.h"
#include "platform/platform.h"
#include "serial/line_io.h"

namespace plclink {
namespace {

bool Escape(LineHandle handle, std::uint8_t on, std::uint32_t raise, std::uint32_t drop) {
    return Platform().escapeFunction(handle, on == 1 ? raise : drop);
}

}  // namespace

void SetRts(LineHandle handle, std::uint8_t on) {
    if (handle == kNullLine) return;
    if (!Escape(handle, on, kEscapeSetRts, kEscapeClrRts))
        err(kLogCategory, "EscapeCommFunction fail (RTS)");
}

void SetDtr(LineHandle handle, std::uint8_t on) {
    if (handle == kNullLine) return;
    if (!Escape(handle, on, kEscapeSetDtr, kEscapeClrDtr))
        err(kLogCategory, "EscapeCommFunction fail (DTR)");
}

void ClearLineErrors(LineHandle handle) {
    if (handle == kNullLine) return;
    std::uint32_t errors = 0;
    std::uint32_t waiting = 0;
    if (!Platform().clearErrors(handle, &errors, &waiting)) {
        const unsigned long code = Platform().lastError();
        err(kLogCategory, "ClearCommError (Rx) failed %08lx", code);
    }
}

void WaitTxEmpty(LineHandle handle) {
    if (handle == kNullLine) return;
    std::uint32_t events = 0;
    if (!Platform().waitEvent(handle, &events) || (events & kEventTxEmpty) == 0)
        err(kLogCategory, "SG: WaitTxEmpty() WaitCommEvent() EV_TXEMPTY fail");
}

}  // namespace plclink
