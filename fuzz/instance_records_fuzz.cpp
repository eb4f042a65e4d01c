// The records of instance start and line change with the contents of the
// instance's initialization file: ColdStart, change line, then flush, close,
// reopen, and EndVpi twice, on the scripted platform. Checked for every
// input:
// - every command returns 0 or 2;
// - VpiName and the stored port name stay NUL-terminated within their fields;
// - three-digit PLC numbers are on exactly when the file's first line (at
//   most 255 characters) holds "3 DIGITS" in any case;
// - the read time-out follows the change-line record (0 keeps it);
// - the instance count rises by one with ColdStart and falls back with the
//   first EndVpi only, never below none;
// - a line is a serial port or a TCP connection as the file says, the same
//   for every open; a connection attempt names a host of 1..255 characters
//   without blanks and a port 1..65535, and waits 1..10 s.
//
// Input: byte 0 = VPI number, byte 1 = flags (bit 0 no initialization file,
// bit 1 the first open fails, bit 2 the first time-out setting fails, bit 3
// every serial device server refuses the connection), then
// the 28 bytes of the ColdStartRequest and the 24 of the LineChangeRequest
// as the host lays them out, then the file's contents.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "entry/command_handlers.h"
#include "core/vpi_instance.h"
#include "scripted_platform.h"
#include "plclink/vpi.h"

using plclink::VpiInstance;

namespace {

constexpr std::size_t kHead = 2 + sizeof(ColdStartRequest) + sizeof(LineChangeRequest);
static_assert(sizeof(ColdStartRequest) == 28 && sizeof(LineChangeRequest) == 24);

[[noreturn]] void Finding(const char* what) {
    std::fprintf(stderr, "FINDING: %s\n", what);
    std::abort();
}

bool Terminated(const char* field, std::size_t room) {
    return std::memchr(field, '\0', room) != nullptr;
}

// What the first line of the file asks for: at most 255 characters up to
// and with the first line end, read as a C string, in upper case.
bool AsksForThreeDigits(const std::uint8_t* text, std::size_t size) {
    std::string line;
    for (std::size_t i = 0; i < size && line.size() < 255; ++i) {
        if (text[i] == '\0') break;
        line.push_back(static_cast<char>(std::toupper(text[i])));
        if (text[i] == '\n') break;
    }
    return line.find("3 DIGITS") != std::string::npos;
}

// Every open is of one kind, and every connection attempt is well formed.
void CheckConnectionAttempts(const plclink::ScriptedPlatform& line) {
    bool tcp = false;
    bool serialSinceTcp = false;
    for (const auto& call : line.calls) {
        if (call.op == "openPort" && tcp) serialSinceTcp = true;
        if (call.op != "openTcpLine") continue;
        tcp = true;
        const std::string& host = call.text;
        if (host.empty() || host.size() > 255 || host.find_first_of(" \t\r\n") != std::string::npos)
            Finding("a connection attempt to a malformed host");
        if (call.args[0] == 0 || call.args[0] > 65535) Finding("a connection attempt to port 0");
        if (call.args[1] < 1000 || call.args[1] > 10000) Finding("a connection wait outside 1..10 s");
    }
    // The file names a server for every open or for none: after the first
    // connection attempt, no serial port is opened (the null line opens none).
    if (serialSinceTcp) Finding("a serial port opened although the file names a server");
}

std::int32_t Call(VpiInstance* instance, std::uint32_t command, std::uint32_t vpi, void* params) {
    VpiCallBlock block{instance, command, static_cast<std::int32_t>(vpi), 0, params};
    const std::int32_t result = VpiMain(&block);
    if (result != 0 && result != 2) Finding("result outside 0 and 2");
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHead || size > kHead + 512) return 0;
    const std::uint32_t vpi = data[0];
    const std::uint8_t flags = data[1];
    ColdStartRequest start;
    LineChangeRequest change;
    std::memcpy(&start, data + 2, sizeof start);
    std::memcpy(&change, data + 2 + sizeof start, sizeof change);
    const std::uint8_t* text = data + kHead;
    const std::size_t textSize = size - kHead;

    char fileName[32];
    std::snprintf(fileName, sizeof fileName, "vpiK7%.2u.int", vpi);
    if (flags & 1) {
        std::remove(fileName);
    } else if (std::FILE* file = std::fopen(fileName, "wb")) {
        std::fwrite(text, 1, textSize, file);
        std::fclose(file);
    }

    plclink::ScriptedPlatform line;
    if (flags & 2) line.fail("openPort");
    if (flags & 4) line.fail("setTimeouts");
    if (flags & 8) line.tcpOpenResult = plclink::TcpOpenResult::kRefused;
    auto* instance = static_cast<VpiInstance*>(std::calloc(1, sizeof(VpiInstance)));
    const std::int32_t countBefore = plclink::instanceCount;

    const std::int32_t started = Call(instance, VPI_COLD_START, vpi, &start);
    if (plclink::instanceCount != countBefore + 1) Finding("ColdStart did not count the instance once");
    if (!Terminated(instance->VpiName, sizeof instance->VpiName)) Finding("VpiName not terminated");
    if (started == 0 && start.lineSwitch != 0) {
        if (instance->lineHandle == 0) Finding("started with a line but no line handle");
        const bool three = !(flags & 1) && AsksForThreeDigits(text, textSize);
        if (instance->threeDigitPlc != (three ? 1u : 0u)) Finding("three-digit switch does not follow the file");
    }

    const std::uint32_t timeoutBefore = instance->readTimeout;
    Call(instance, VPI_CHANGE_LINE, vpi, &change);
    if (instance->readTimeout != (change.readTimeout != 0 ? change.readTimeout : timeoutBefore))
        Finding("read time-out does not follow the change-line record");
    if (instance->lineHandle != 0 && !Terminated(instance->lineConfig.portName, sizeof instance->lineConfig.portName))
        Finding("an open line with an unterminated port name");

    Call(instance, VPI_FLUSH_LINE, vpi, nullptr);
    Call(instance, VPI_CLOSE_LINE, vpi, nullptr);
    Call(instance, VPI_REOPEN_LINE, vpi, nullptr);
    Call(instance, VPI_END_VPI, vpi, nullptr);
    Call(instance, VPI_END_VPI, vpi, nullptr);
    if (plclink::instanceCount != countBefore) Finding("EndVpi did not give the instance count back once");
    if (plclink::instanceCount < 0) Finding("instance count below none");
    if (instance->lineHandle != 0) Finding("EndVpi left a line open");

    CheckConnectionAttempts(line);
    std::free(instance);
    std::remove(fileName);
    return 0;
}
