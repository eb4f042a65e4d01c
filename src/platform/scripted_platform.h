// A scripted platform for tests: a virtual clock, a serial peer whose bytes
// arrive at chosen virtual times, a record of every call with its arguments,
// and failure injection for any operation. Sleeps and read time-outs advance
// the virtual clock and cost no wall time.
//
// Constructing a ScriptedPlatform installs it; destroying it restores the
// table that was in force. The dialog operations are this OS's own.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace plclink {

class ScriptedPlatform {
public:
    struct Call {
        std::string op;                   // "sleep", "openPort", "readPort", ...
        std::vector<std::uint64_t> args;  // numeric arguments, in order
        std::vector<std::uint8_t> data;   // bytes written, or bytes read
        std::string text;                 // a name argument
        std::uint64_t atMs;               // virtual time when the call began
    };

    // One open port.
    struct Port {
        std::string name;
        LineState state{};
        LineTimeouts timeouts{0, 0, 1000, 0, 0};
        std::uint32_t eventMask = 0;
        std::uint32_t inQueue = 0, outQueue = 0;
        bool rts = false, dtr = false;
        bool open = true;
    };

    // Called after every write with the bytes written; may deliver bytes.
    using WriteHook = std::function<void(ScriptedPlatform&, const std::vector<std::uint8_t>&)>;

    ScriptedPlatform();
    ~ScriptedPlatform();
    ScriptedPlatform(const ScriptedPlatform&) = delete;
    ScriptedPlatform& operator=(const ScriptedPlatform&) = delete;

    // Virtual clock.
    std::uint64_t nowMs() const { return now_; }
    void advance(std::uint64_t ms) { now_ += ms; }

    // The serial peer: bytes that arrive `delayMs` after now.
    void deliver(const std::vector<std::uint8_t>& bytes, std::uint64_t delayMs = 0);
    std::size_t pendingBytes() const;  // delivered and not yet read (any time)
    WriteHook onWrite;

    // Failure injection: the next `times` calls of `op` fail (-1 = every call).
    void fail(const std::string& op, int times = 1);
    // The next read call delivers at most `count` bytes (then ends as if the
    // time-out ran out); the next write call hands over only `count` bytes.
    void shortRead(std::uint32_t count) { shortRead_ = count; }
    void shortWrite(std::uint32_t count) { shortWrite_ = count; }
    // waitEvent reports these events (default: transmit empty).
    std::uint32_t reportedEvents = kEventTxEmpty;
    // lastError() reports this.
    std::uint32_t errorCode = 0x1F;

    // Ports: names that cannot be opened, names without a line state (like
    // the null device); ports are opened exclusively.
    std::set<std::string> missingPorts;
    std::set<std::string> noLineStatePorts;

    // Version information of the module file.
    std::uint32_t versionMs = 0x00010002, versionLs = 0x00030004;
    std::uint32_t versionInfoLength = 52;

    // Dialog: the host thread id.
    std::uint32_t threadId = 4242;

    // Inspection.
    std::vector<Call> calls;
    std::vector<std::string> callNames() const;           // every op, in order
    std::vector<Call> callsOf(const std::string& op) const;
    std::vector<std::uint8_t> written() const;            // all bytes written
    void clearCalls() { calls.clear(); }
    Port* port(LineHandle handle);
    Port* portNamed(const std::string& name);
    LineHandle handleOf(const std::string& name);

private:
    struct Chunk {
        std::uint64_t atMs;
        std::vector<std::uint8_t> bytes;
    };

    bool failing(const std::string& op);
    Call& record(const std::string& op, std::vector<std::uint64_t> args = {});

    static ScriptedPlatform* current_;
    static void Sleep(std::uint32_t ms);
    static std::uint64_t MonotonicMs();
    static std::uint32_t FileVersionInfoSize(const char* fileName);
    static bool FileVersionInfo(const char* fileName, std::uint32_t size, void* data);
    static bool QueryFileVersion(const void* data, std::uint32_t* ms, std::uint32_t* ls,
                                 std::uint32_t* length);
    static bool OpenPort(const char* name, LineHandle* out);
    static bool ClosePort(LineHandle h);
    static bool GetLineState(LineHandle h, LineState* s);
    static bool SetLineState(LineHandle h, const LineState* s);
    static bool GetTimeouts(LineHandle h, LineTimeouts* t);
    static bool SetTimeouts(LineHandle h, const LineTimeouts* t);
    static bool SetupQueues(LineHandle h, std::uint32_t in, std::uint32_t out);
    static bool SetEventMask(LineHandle h, std::uint32_t mask);
    static bool WaitEvent(LineHandle h, std::uint32_t* events);
    static bool ClearErrors(LineHandle h, std::uint32_t* errors, std::uint32_t* waiting);
    static bool EscapeFunction(LineHandle h, std::uint32_t function);
    static bool ReadPort(LineHandle h, void* buffer, std::uint32_t length, std::uint32_t* got);
    static bool WritePort(LineHandle h, const void* buffer, std::uint32_t length,
                          std::uint32_t* written);
    static std::uint32_t LastError();
    static std::uint32_t CurrentThreadId();

    PlatformOps ops_{};
    const PlatformOps* previous_ = nullptr;
    std::uint64_t now_ = 0;
    std::vector<Chunk> incoming_;
    std::map<std::string, int> failures_;
    std::uint32_t shortRead_ = UINT32_MAX, shortWrite_ = UINT32_MAX;
    std::map<LineHandle, Port> ports_;
    LineHandle nextHandle_ = 0x100;
};

}  // namespace plclink
