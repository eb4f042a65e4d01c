#include "entry/tcp_server_line.h"

#include <cctype>
#include <cstring>

namespace plclink {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Letters and digits of ASCII, whatever the locale, and '-', '.', '_'.
bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

bool IsIpv6Character(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
}

// Digits only, 1..65535.
bool ParsePort(const char* text, std::size_t length, std::uint16_t* port) {
    if (length == 0 || length > 5) return false;
    unsigned value = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    if (value == 0 || value > 65535) return false;
    *port = static_cast<std::uint16_t>(value);
    return true;
}

// "host:port" or "[v6]:port", `length` characters of it.
bool ParseAddress(const char* text, std::size_t length, TcpServer* server) {
    const char* host = text;
    std::size_t hostLength = 0;
    const char* rest = nullptr;
    if (length > 0 && text[0] == '[') {
        const char* close = static_cast<const char*>(std::memchr(text, ']', length));
        if (close == nullptr || close[1] != ':') return false;
        host = text + 1;
        hostLength = static_cast<std::size_t>(close - host);
        for (std::size_t i = 0; i < hostLength; ++i)
            if (!IsIpv6Character(host[i])) return false;
        if (std::memchr(host, ':', hostLength) == nullptr) return false;
        rest = close + 2;
    } else {
        const char* colon = static_cast<const char*>(std::memchr(text, ':', length));
        if (colon == nullptr) return false;
        hostLength = static_cast<std::size_t>(colon - text);
        for (std::size_t i = 0; i < hostLength; ++i)
            if (!IsNameCharacter(host[i])) return false;
        rest = colon + 1;
    }
    if (hostLength == 0 || hostLength >= sizeof server->host) return false;
    if (!ParsePort(rest, static_cast<std::size_t>(text + length - rest), &server->port)) return false;
    std::memcpy(server->host, host, hostLength);
    server->host[hostLength] = '\0';
    return true;
}

}  // namespace

int ParseTcpServerLine(const char* line, TcpServer* server) {
    while (IsBlank(*line)) ++line;
    if (std::toupper(static_cast<unsigned char>(line[0])) != 'T' ||
        std::toupper(static_cast<unsigned char>(line[1])) != 'C' ||
        std::toupper(static_cast<unsigned char>(line[2])) != 'P')
        return 0;
    line += 3;
    if (*line != ' ' && *line != '\t') return IsBlank(*line) || *line == '\0' ? -1 : 0;
    while (IsBlank(*line)) ++line;
    std::size_t length = 0;
    while (line[length] != '\0' && !IsBlank(line[length])) ++length;
    for (const char* after = line + length; *after != '\0'; ++after)
        if (!IsBlank(*after)) return -1;
    TcpServer parsed{};
    if (!ParseAddress(line, length, &parsed)) return -1;
    *server = parsed;
    return 1;
}

}  // namespace plclink
