// The line the simulator answers on, whatever carries it: a serial device or
// pseudo-terminal (SerialLine), or a TCP connection as a serial device
// server gives one (TcpServerLine).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace ppisim {

class Line {
public:
    virtual ~Line() = default;

    // The descriptor to wait on for bytes from the master.
    virtual int fd() const = 0;
    // Where a master finds the line (a device path, HOST:PORT).
    virtual const std::string& path() const = 0;
    // Reads what has arrived, without waiting: the count, 0 when nothing
    // waits, -1 on an error of the line.
    virtual long readAvailable(std::span<std::uint8_t> buffer) = 0;
    // Writes every byte, waiting for room at most `timeoutMs` in all; false
    // when the bytes could not all be handed to the line.
    virtual bool writeAll(std::span<const std::uint8_t> bytes, int timeoutMs) = 0;
    // Ends the master's connection, where the line has one; false when it
    // has none.
    virtual bool hangUp() { return false; }
    // Drops what the far end has not read yet, where the line can (a
    // pseudo-terminal nobody reads fills up; a bus does not wait for it).
    virtual void discardUnread() {}
};

// Writes every byte to the non-blocking descriptor `fd`, waiting for room at
// most `timeoutMs` in all.
bool WriteAllWithin(int fd, std::span<const std::uint8_t> bytes, int timeoutMs);

}  // namespace ppisim
