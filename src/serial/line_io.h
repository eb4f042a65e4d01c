// Byte I/O and line control on an open line. The line-control operations
// do nothing on the null line; the data operations fail on it.
#pragma once

#include <cstdint>

#include "core/line_config.h"

namespace plclink {

// Results of the data operations.
inline constexpr int kIoDone = 0;
inline constexpr int kIoShortWrite = 2;
inline constexpr int kIoFailed = 7;
// Results of PurgeInput besides 0.
inline constexpr int kPurgeReadFailed = 1;
inline constexpr int kPurgeLineBusy = 2;  // bytes kept arriving for a read time-out

void SetRts(LineHandle handle, std::uint8_t on);
void SetDtr(LineHandle handle, std::uint8_t on);
void ClearLineErrors(LineHandle handle);
// Waits until the transmitter has sent the last byte.
void WaitTxEmpty(LineHandle handle);

// 0 all written, 2 fewer written, 7 the write failed. `writtenOut` may be null.
int WriteBytes(LineHandle handle, const void* buffer, std::uint32_t length,
               std::uint32_t* writtenOut);
// 0 when `length` (low 16 bits) bytes arrived, else 7; `readOut` (may be
// null) holds the count that arrived. Ends at the latest one read time-out
// plus twice the bytes' line time after it began.
int ReadBytes(LineHandle handle, void* buffer, std::uint32_t length, std::uint32_t* readOut);
// Discards received bytes until the line falls silent: 0; 1 when a read
// failed while emptying; 2 (with a log line) when bytes kept arriving for
// one read time-out.
int PurgeInput(LineHandle handle);

}  // namespace plclink
