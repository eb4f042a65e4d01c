// The simulator as a serial device server: it listens on a TCP port and
// takes one master's connection at a time; the bytes of that connection are
// the line. Another master that connects meanwhile is accepted and closed at
// once, as a device server in its one-client mode does, so that it learns at
// once that the line is taken instead of waiting unseen.
#pragma once

#include <memory>
#include <string>

#include "ppisim/line.h"

namespace ppisim {

class TcpServerLine : public Line {
public:
    // Listens on `where`, "[HOST:]PORT" (HOST a name or IPv4 address, or an
    // IPv6 address in brackets; 127.0.0.1 when left out; PORT 0 takes a free
    // one); nothing, with the reason in `error`, when it cannot.
    static std::unique_ptr<TcpServerLine> Listen(const std::string& where, std::string* error);

    ~TcpServerLine() override;
    TcpServerLine(const TcpServerLine&) = delete;
    TcpServerLine& operator=(const TcpServerLine&) = delete;

    // The connection while there is one, else the listening socket (a
    // master's connection makes it readable).
    int fd() const override { return client_ >= 0 ? client_ : listener_; }
    // HOST:PORT as it listens.
    const std::string& path() const override { return path_; }
    // Takes a waiting master's connection (0 bytes) when there is none; a
    // connection the master closed ends here and is no error of the line.
    long readAvailable(std::span<std::uint8_t> buffer) override;
    bool writeAll(std::span<const std::uint8_t> bytes, int timeoutMs) override;
    bool hangUp() override;
    int latecomerFd() const override { return client_ >= 0 ? listener_ : -1; }
    std::string refuseLatecomer() override;

private:
    TcpServerLine(int listener, std::string path) : listener_(listener), path_(std::move(path)) {}

    int listener_;
    int client_ = -1;
    std::string path_;
};

}  // namespace ppisim
