// The line the simulator answers on: a serial device configured with termios
// (8 data bits, the chosen parity, one stop bit, raw), or a pseudo-terminal
// it creates itself, whose other end is the port a master opens.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "ppisim/line.h"

namespace ppisim {

enum class Parity { Even, Odd, None };

class SerialLine : public Line {
public:
    // Opens and configures a serial device; nothing, with the reason in
    // `error`, when it cannot be opened or the baud rate is not available.
    static std::unique_ptr<SerialLine> OpenDevice(const std::string& path, unsigned baud,
                                                  Parity parity, std::string* error);
    // Creates a pseudo-terminal; `path()` is then the end to give a master.
    // Its termios settings start raw and as asked; a master that opens it
    // sets its own.
    static std::unique_ptr<SerialLine> CreatePty(unsigned baud, Parity parity, std::string* error);

    ~SerialLine() override;
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    int fd() const override { return fd_; }
    // The path of the device, or of the pseudo-terminal's far end.
    const std::string& path() const override { return path_; }
    long readAvailable(std::span<std::uint8_t> buffer) override;
    bool writeAll(std::span<const std::uint8_t> bytes, int timeoutMs) override;
    void discardUnread() override;

private:
    SerialLine(int fd, int keepOpenFd, std::string path)
        : fd_(fd), keepOpenFd_(keepOpenFd), path_(std::move(path)) {}

    int fd_;
    int keepOpenFd_;  // the pseudo-terminal's far end, held so the line never hangs up
    std::string path_;
};

// True when `baud` is one of the rates termios offers.
bool IsSupportedBaud(unsigned baud);

}  // namespace ppisim
