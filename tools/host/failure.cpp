#include "failure.h"

#include <cstdlib>

namespace plclink::host {

namespace {

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// What one module line says went wrong on the line, if anything.
FailureKind KindOfLine(const std::string& text) {
    if (Has(text, ": station ") && Has(text, " busy (")) return FailureKind::BusyStation;
    if (Has(text, ": not in the token ring (")) return FailureKind::NotInRing;
    if (Has(text, "access_result")) return FailureKind::RefusedAccess;
    if (Has(text, "recv. SC Ack fail")) return FailureKind::SilentStation;
    if (Has(text, "Send SD2 fail") || Has(text, "Send SD1 fail")) return FailureKind::LineFailure;
    if (Has(text, "SetS7200RdReq") || Has(text, "SetS7200WrReq") || Has(text, "read-only"))
        return FailureKind::RequestRefused;
    if (Has(text, "Check Responed FAIL") || Has(text, "GetS7200RdRsp FAIL") ||
        Has(text, "recv") || Has(text, "invalid recv")) {
        return FailureKind::BadFrame;
    }
    return FailureKind::None;
}

}  // namespace

std::string KindName(FailureKind kind) {
    switch (kind) {
        case FailureKind::None: return "ok";
        case FailureKind::SilentStation: return "silent station";
        case FailureKind::RefusedAccess: return "refused access";
        case FailureKind::BadFrame: return "bad frame";
        case FailureKind::BadAddress: return "bad address";
        case FailureKind::LineFailure: return "line failure";
        case FailureKind::RequestRefused: return "request refused";
        case FailureKind::ControllerRefused: return "refused request";
        case FailureKind::BusyStation: return "busy station";
        case FailureKind::NotInRing: return "not in the token ring";
    }
    return "failed";
}

namespace {

// The access_result the module logged ("access_result: 0a"), or -1.
int AccessResultOfLine(const std::string& text) {
    static const std::string kKey = "access_result: ";
    std::size_t at = text.find(kKey);
    if (at == std::string::npos) return -1;
    char* end = nullptr;
    long value = std::strtol(text.c_str() + at + kKey.size(), &end, 16);
    return end != text.c_str() + at + kKey.size() && value >= 0 && value <= 0xFF ? static_cast<int>(value) : -1;
}

}  // namespace

Failure ExplainTransfer(std::int32_t result, const std::vector<LogLine>& lines, int station,
                        const std::vector<std::uint8_t>& response) {
    if (result == 0) return {};
    // The last line that names a cause speaks for the last attempt.
    FailureKind kind = FailureKind::None;
    const LogLine* cause = nullptr;
    for (const LogLine& line : lines) {
        FailureKind said = KindOfLine(line.text);
        if (said != FailureKind::None) {
            kind = said;
            cause = &line;
        }
    }
    // A response header with an error class or code fails the module's
    // header check like a broken frame does; the frame itself tells them apart.
    if (kind == FailureKind::BadFrame && Has(cause->text, "PPI Rsp. header error")) {
        if (auto error = HeaderErrorOf(response)) {
            return {FailureKind::ControllerRefused, RefusalText(*error)};
        }
    }
    std::string at = "station " + std::to_string(station);
    switch (kind) {
        case FailureKind::SilentStation:
            return {kind, at + " did not answer (is it connected, powered and at this address?)"};
        case FailureKind::RefusedAccess: {
            int code = AccessResultOfLine(cause->text);
            std::string why = code < 0 ? "address outside its memory?"
                                       : AccessResultText(static_cast<std::uint8_t>(code)) +
                                             (code == 0x0A || code == 0x05 ? "; address outside its memory?" : "");
            return {kind, at + " refused the access (" + why + ")"};
        }
        case FailureKind::BadFrame:
            return {kind, at + " answered with broken or unexpected frames (line settings, noise, "
                          "or another master on the line?)"};
        case FailureKind::BusyStation: {
            // The module's line ends with how the station answered: "(no resource)".
            std::string words = at + " is busy";
            if (const std::size_t open = cause->text.rfind('('); open != std::string::npos)
                words.append(" ").append(cause->text, open, std::string::npos);
            return {kind, words + "; the line works, the station had no room for the request "
                                  "(try again later, or poll it less often)"};
        }
        case FailureKind::NotInRing:
            if (Has(cause->text, "in use by another station"))
                return {kind, "the driver could not join the token ring: another master uses its "
                              "station address (choose a free one with --multimaster=ADDRESS); nothing was sent"};
            return {kind, "the driver could not join the token ring: the other masters did not admit it "
                          "in time (do they all use the same HSA, and is the line's baud rate theirs?)"};
        case FailureKind::LineFailure:
            return {kind, "the request could not be sent on the serial line"};
        case FailureKind::RequestRefused:
            if (Has(cause->text, "timers and counters"))
                return {kind, "timers and counters (T, C) are read-only; nothing was sent"};
            if (Has(cause->text, "read-only")) return {kind, "analog inputs (AI) are read-only; nothing was sent"};
            return {kind, "the driver could not build the request for this tag"};
        default: break;
    }
    if (result == 1) {
        return {FailureKind::RequestRefused,
                "the driver refused the request (result 1: nothing usable came back, or the "
                "request does not fit one frame)"};
    }
    return {FailureKind::LineFailure, "the link to " + at + " failed (result " +
                                          std::to_string(result) + ")"};
}

Failure ExplainParse(std::int32_t result, const std::vector<LogLine>& lines,
                     const std::string& text, const std::string& hint) {
    if (result == 0) return {};
    std::string words = "'" + text + "' is not a valid address";
    // The module's error lines say more than the result (trace lines do not).
    for (const LogLine& line : lines) {
        if (line.category != 0) {
            words += ": " + line.text;
            break;
        }
    }
    if (!hint.empty()) words += " (" + hint + ")";
    return {FailureKind::BadAddress, words};
}

}  // namespace plclink::host
