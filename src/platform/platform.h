// The operating-system operations the driver needs, as one small table of
// function pointers. Each OS has one implementation chosen at build time
// (platform_linux.cpp, platform_windows.cpp); the unit tests install the
// scripted one (scripted_platform.h) with a virtual clock and a serial peer.
//
// The types are our own and neutral, so the protocol and serial code is the
// same on every OS and calls these operations in exactly the documented order.
#pragma once

#include <cstdint>

#include "core/line_config.h"

namespace plclink {

// Line state of a serial port: the fields the driver reads and sets, with the
// codes of the Windows line-state record.
struct LineState {
    std::uint32_t baudRate;
    std::uint8_t byteSize;   // data bits
    std::uint8_t parity;     // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t stopBits;   // 0 one, 1 one and a half, 2 two
    bool binary;
    bool parityCheck;
    bool outxCtsFlow;
    bool outxDsrFlow;
    std::uint8_t dtrControl; // 0 disable, 1 enable, 2 handshake
    bool dsrSensitivity;
    bool outX;
    bool inX;
    bool errorChar;          // error-character replacement
    bool nullDiscard;
    std::uint8_t rtsControl; // 0 disable, 1 enable, 2 handshake, 3 toggle
    bool abortOnError;
    char errorCharValue;
};

// The five time-out values of a port, in milliseconds.
struct LineTimeouts {
    std::uint32_t readInterval;
    std::uint32_t readTotalMultiplier;
    std::uint32_t readTotalConstant;
    std::uint32_t writeTotalMultiplier;
    std::uint32_t writeTotalConstant;
};

inline constexpr std::uint32_t kEventTxEmpty = 0x0004;

// How an attempt to open a TCP line (a connection to a serial device server)
// ended.
enum class TcpOpenResult {
    kConnected,
    kRefused,       // the server refused the connection
    kNoRoute,       // no route to the server's network or host
    kNameNotFound,  // the host name does not resolve
    kNoAnswer,      // the server did not answer within the time allowed
    kFailed,        // anything else (no socket, no network stack)
};

// Escape function codes.
inline constexpr std::uint32_t kEscapeSetRts = 3;
inline constexpr std::uint32_t kEscapeClrRts = 4;
inline constexpr std::uint32_t kEscapeSetDtr = 5;
inline constexpr std::uint32_t kEscapeClrDtr = 6;

// Window handles, message parameters and the dialog procedure, with the
// widths and calling convention of the Windows ones.
using WindowHandle = void*;
using MessageWParam = std::uintptr_t;
using MessageLParam = std::intptr_t;
using MessageResult = std::intptr_t;
#if defined(_WIN32)
#define PLCLINK_CALLBACK __stdcall
#else
#define PLCLINK_CALLBACK
#endif
using DialogProc = MessageResult(PLCLINK_CALLBACK*)(WindowHandle dialog, std::uint32_t message,
                                                    MessageWParam wParam, MessageLParam lParam);

// A thread the driver started, as the platform knows it.
using ThreadHandle = std::uintptr_t;
using ThreadBody = void (*)(void* argument);

struct PlatformOps {
    // Time: a pause, and a clock in milliseconds that only moves forward
    // (its start is arbitrary) to bound waits that span several calls.
    void (*sleepMs)(std::uint32_t milliseconds);
    std::uint64_t (*monotonicMs)();

    // Version information of a module file ("plclink.dll"): its size (0 when
    // there is none), the information itself, and the file version of its
    // root block ("\\"), with the length of the fixed information found.
    std::uint32_t (*fileVersionInfoSize)(const char* fileName);
    bool (*fileVersionInfo)(const char* fileName, std::uint32_t size, void* data);
    bool (*queryFileVersion)(const void* data, std::uint32_t* versionMs,
                             std::uint32_t* versionLs, std::uint32_t* infoLength);

    // Lines. A handle is never kNoLine or kNullLine. A line is a serial port
    // or a TCP connection to a serial device server; every operation below
    // works on both. On a TCP line the line settings, queues, events and
    // escape functions are the server's business: they succeed without
    // effect, and waitEvent reports the transmitter empty at once.
    bool (*openPort)(const char* portName, LineHandle* handleOut);
    // Connects to `host` (a name, or an IPv4 or IPv6 address without
    // brackets) at `port`, waiting at most `timeoutMs` for the server. A TCP
    // line that the server closed, or that failed, fails its reads and
    // writes; the next write connects again once before it sends.
    TcpOpenResult (*openTcpLine)(const char* host, std::uint16_t port, std::uint32_t timeoutMs,
                                 LineHandle* handleOut);
    bool (*closePort)(LineHandle handle);
    bool (*getLineState)(LineHandle handle, LineState* state);
    bool (*setLineState)(LineHandle handle, const LineState* state);
    bool (*getTimeouts)(LineHandle handle, LineTimeouts* timeouts);
    bool (*setTimeouts)(LineHandle handle, const LineTimeouts* timeouts);
    bool (*setupQueues)(LineHandle handle, std::uint32_t inSize, std::uint32_t outSize);
    bool (*setEventMask)(LineHandle handle, std::uint32_t mask);
    bool (*waitEvent)(LineHandle handle, std::uint32_t* events);
    // Reads and clears the error flags; reports the bytes waiting to be read.
    bool (*clearErrors)(LineHandle handle, std::uint32_t* errors, std::uint32_t* bytesWaiting);
    bool (*escapeFunction)(LineHandle handle, std::uint32_t function);
    // One blocking read: returns when `length` bytes have arrived or the
    // port's total read time-out, counted from the start of the call, has run
    // out; `got` holds the count read.
    bool (*readPort)(LineHandle handle, void* buffer, std::uint32_t length, std::uint32_t* got);
    bool (*writePort)(LineHandle handle, const void* buffer, std::uint32_t length,
                      std::uint32_t* written);
    std::uint32_t (*lastError)();

    // Dialogs.
    void* (*getModuleHandle)(const char* moduleName);
    std::uint32_t (*currentThreadId)();
    MessageResult (*dialogBoxParam)(void* instance, int templateId, WindowHandle owner,
                                    DialogProc proc, MessageLParam initParam);
    bool (*endDialog)(WindowHandle dialog, MessageResult result);
    WindowHandle (*getDlgItem)(WindowHandle dialog, int id);
    std::uint32_t (*getDlgItemText)(WindowHandle dialog, int id, char* buffer, int room);
    std::uint32_t (*getWindowText)(WindowHandle window, char* buffer, int room);
    bool (*setWindowText)(WindowHandle window, const char* text);
    MessageResult (*sendMessage)(WindowHandle window, std::uint32_t message, MessageWParam wParam,
                                 MessageLParam lParam);
    MessageResult (*sendDlgItemMessage)(WindowHandle dialog, int id, std::uint32_t message,
                                        MessageWParam wParam, MessageLParam lParam);
    bool (*enableWindow)(WindowHandle window, bool enable);
    int (*messageBox)(WindowHandle owner, const char* text, const char* caption,
                      std::uint32_t type);
    // After a dialog could not be created: what it lacks, in words that
    // follow "The dialog " ("needs at least 60x20, this one is 59x20");
    // nullptr when the platform cannot tell. May itself be nullptr.
    const char* (*dialogUnavailable)();

    // Threads: starts `body(argument)` on a thread of its own (false when it
    // cannot), and waits for a started thread to end and releases it.
    bool (*startThread)(ThreadBody body, void* argument, ThreadHandle* handleOut);
    void (*joinThread)(ThreadHandle handle);
};

// The table in force. Starts as this OS's own implementation.
const PlatformOps& Platform();

// Replaces the table in force (tests); returns the previous one.
const PlatformOps* InstallPlatform(const PlatformOps* ops);

// This OS's own implementation.
const PlatformOps& NativePlatform();

}  // namespace plclink
