#include "session.h"

#include <cstdlib>
#include <ostream>

#include "address_hint.h"
#include "init_file.h"
#include "line_options.h"
#include "port_probe.h"
#include "printable_text.h"

namespace plclink::host {

Session::Session(const GlobalOptions& options, const Driver& driver, std::ostream& out,
                 std::ostream& diagnostics)
    : options_(options), driver_(driver), out_(out), diagnostics_(diagnostics) {}

void Session::error(const std::string& text) {
    diagnostics_ << "plclink-host: " << PrintableText(text) << std::endl;
}

void Session::note(const std::string& text) {
    diagnostics_ << "plclink-host: " << PrintableText(text) << std::endl;
}

void Session::showModuleLines(const std::vector<LogLine>& lines) {
    // Lines already on standard error are not repeated.
    if (HostLog::Instance().sendsToStderr()) return;
    for (const LogLine& line : lines) diagnostics_ << "  " << PrintableText(ScreenText(line)) << '\n';
}

// What the driver logged about a connection to `server` that failed.
std::string Session::WhyTcpFails(const std::string& server) {
    const std::string prefix = "TCP " + server + ": ";
    for (const LogLine& line : HostLog::Instance().captured()) {
        const std::size_t at = line.text.find(prefix);
        if (at != std::string::npos) return line.text.substr(at + prefix.size());
    }
    return "the connection failed";
}

bool Session::prepareInitFile(bool onLine) {
    const std::string file = InitFileName(options_.vpi);
    std::string why;
    if (options_.threeDigit && !InitFileAsksThreeDigits(file)) {
        if (!WriteThreeDigitInitFile(file, why)) {
            error(why);
            return false;
        }
        note("wrote " + file + ": the instance takes three-digit PLC numbers");
    }
    if (options_.pauseMs && InitFilePause(file) != *options_.pauseMs) {
        if (!WritePauseInitFile(file, *options_.pauseMs, why)) {
            error(why);
            return false;
        }
        note("wrote " + file + ": PAUSE " + std::to_string(*options_.pauseMs));
    }
    if (options_.multimasterAddress &&
        InitFileMultiMasterAddress(file) != *options_.multimasterAddress) {
        if (!WriteMultiMasterInitFile(file, *options_.multimasterAddress, why)) {
            error(why);
            return false;
        }
        note("wrote " + file + ": MULTIMASTER ADDRESS " + std::to_string(*options_.multimasterAddress));
    }
    // The file's TCP line, not the port name, decides where the driver
    // connects: it follows --port.
    const std::optional<std::string> server = TcpServerOfPort(options_.line.port);
    if (onLine && InitFileTcpServer(file) != server) {
        if (!WriteTcpInitFile(file, server, why)) {
            error(why);
            return false;
        }
        note(server ? "wrote " + file + ": TCP " + *server : "removed the TCP line of " + file);
    }
    return true;
}

bool Session::start(const ColdStartRequest& request, std::int32_t& result, bool onLine) {
    if (!prepareInitFile(onLine)) return false;
    instance_ = std::make_unique<Instance>(driver_, options_.vpi);
    HostLog& log = HostLog::Instance();
    log.startCapture();
    result = instance_->coldStart(request);
    threeDigit_ = options_.threeDigit;
    for (const LogLine& line : log.captured()) {
        if (line.text.find("3 digit PLC address enabled") != std::string::npos) threeDigit_ = true;
        const std::size_t pause = line.text.find("pause between frames ");
        if (pause != std::string::npos)
            pauseMs_ = static_cast<unsigned>(std::atoi(line.text.c_str() + pause + 21));
    }
    return true;
}

int Session::startOnLine() {
    std::string why;
    auto request = ColdStartRequestFor(options_.line, why);
    if (!request) {
        error(why);
        return kUsage;
    }
    std::int32_t result = 0;
    if (!start(*request, result, true)) return kUsage;
    if (result == VPI_OK) return kDone;
    if (const auto server = TcpServerOfPort(options_.line.port)) {
        error("cannot open " + options_.line.port + ": " + WhyTcpFails(*server));
    } else {
        error("cannot open " + options_.line.port + ": " + WhyPortFails(options_.line.port));
    }
    showModuleLines(HostLog::Instance().captured());
    diagnostics_.flush();
    return kUsage;
}

int Session::startWithoutLine() {
    // The parse commands need no line; a start that fails still leaves an
    // instance the parsers can work with.
    std::int32_t result = 0;
    return start(NullLineRequest(), result, false) ? kDone : kUsage;
}

ParsedTag Session::parse(std::uint32_t command, const std::string& text, std::int32_t gateType) {
    const bool block = command == VPI_BLOCK_PARSE;
    ParsedTag parsed;
    parsed.tag.text = text;
    parsed.tag.type = !block && gateType == 6 ? ElementType::Bit : ElementTypeOfText(text, threeDigit_);
    std::vector<char> gas(text.begin(), text.end());
    gas.push_back('\0');
    parsed.record.gas = gas.data();
    parsed.record.gateType = gateType;
    HostLog::Instance().startCapture();
    parsed.result = instance_->command(command, &parsed.record);
    parsed.record.gas = nullptr;
    parsed.lines = HostLog::Instance().captured();
    parsed.ok = parsed.result == VPI_OK;
    if (parsed.ok) {
        TakeGateAddress(parsed.tag, parsed.record);
    } else {
        parsed.failure = ExplainParse(parsed.result, parsed.lines, text,
                                      AddressHint(text, threeDigit_, block));
    }
    return parsed;
}

ParsedTag Session::parseWithGateType(const std::string& text, std::int32_t gateType) {
    return parse(VPI_SINGLE_PARSE, text, gateType);
}

ParsedTag Session::parseTag(const std::string& text, bool block) {
    if (block) return parse(VPI_BLOCK_PARSE, text, 0);
    return parse(VPI_SINGLE_PARSE, text, GateTypeOf(ElementTypeOfText(text, threeDigit_)));
}

Transfer Session::transfer(std::uint32_t command, const Tag& tag, ValueBuffer& buffer, int count) {
    TagAccessRecord record = AccessRecordOf(tag, buffer.data(), count);
    HostLog::Instance().startCapture();
    auto begin = std::chrono::steady_clock::now();
    Transfer done;
    done.result = instance_->command(command, &record);
    done.milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    done.lines = HostLog::Instance().captured();
    if (done.result != VPI_OK) {
        done.failure = ExplainTransfer(done.result, done.lines, tag.station(), instance_->lastResponse());
    }
    return done;
}

namespace {

// The lines of a read of many tags that concern tag `index`: the one the
// module wrote about it, if any, else every line not about another tag.
std::vector<LogLine> LinesOfTag(const std::vector<LogLine>& lines, std::size_t index) {
    static const std::string kTagLine = "ReadTags() tag ";
    const std::string own = kTagLine + std::to_string(index) + " ";
    std::vector<LogLine> general;
    for (const LogLine& line : lines) {
        if (line.text.find(own) != std::string::npos) return {line};
        if (line.text.find(kTagLine) == std::string::npos) general.push_back(line);
    }
    return general;
}

}  // namespace

TagsTransfer Session::readTags(const std::vector<Tag>& tags, std::vector<ValueBuffer>& buffers) {
    std::vector<TagAccessRecord> records;
    for (std::size_t i = 0; i < tags.size(); ++i) records.push_back(AccessRecordOf(tags[i], buffers[i].data(), 1));
    // A module without the command leaves the results as they were.
    constexpr std::int32_t kUntouched = -1;
    std::vector<std::int32_t> results(tags.size(), kUntouched);
    ReadTagsRecord record{static_cast<std::int32_t>(tags.size()), records.data(), results.data(), 0};
    HostLog::Instance().startCapture();
    auto begin = std::chrono::steady_clock::now();
    TagsTransfer done;
    done.result = instance_->command(VPI_READ_TAGS, &record);
    const double milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    const std::vector<LogLine> lines = HostLog::Instance().captured();
    if (done.result == VPI_UNAVAILABLE && !results.empty() && results.front() == kUntouched) {
        done.available = false;
        return done;
    }
    done.requests = record.requests;
    const std::vector<std::uint8_t> response = instance_->lastResponse();
    for (std::size_t i = 0; i < tags.size(); ++i) {
        Transfer tag;
        // A record the module refused whole leaves every result untouched.
        tag.result = results[i] == kUntouched ? done.result : results[i];
        tag.milliseconds = milliseconds;
        if (tag.result != VPI_OK) {
            tag.lines = LinesOfTag(lines, i);
            tag.failure = ExplainTransfer(tag.result, tag.lines, tags[i].station(), response);
        }
        done.tags.push_back(std::move(tag));
    }
    return done;
}

Transfer Session::read(const Tag& tag, ValueBuffer& buffer, int count, bool block) {
    return transfer(block ? VPI_READ_BLOCK : VPI_READ_VALUE, tag, buffer, count);
}

Transfer Session::write(const Tag& tag, ValueBuffer& buffer, int count, bool block) {
    return transfer(block ? VPI_WRITE_BLOCK : VPI_WRITE_VALUE, tag, buffer, count);
}

void Session::explain(const std::string& subject, const Failure& failure,
                      const std::vector<LogLine>& lines) {
    diagnostics_ << "plclink-host: " << PrintableText(subject) << ": " << KindName(failure.kind) << ": "
                 << PrintableText(failure.words) << '\n';
    showModuleLines(lines);
    diagnostics_.flush();
}

int ExitStatusOf(const Failure& failure) {
    // Nothing was sent for a tag the module would not parse or build a
    // request for: the user's input is at fault, not the line.
    if (failure.kind == FailureKind::BadAddress || failure.kind == FailureKind::RequestRefused) return kUsage;
    return kTagFailed;
}

void AddFailureFields(Record& record, std::int32_t result, const Failure& failure,
                      const std::vector<LogLine>& lines) {
    record.add("status", Cell::Text(KindName(failure.kind)));
    record.add("result", Cell::Number(result));
    record.add("error", Cell::Text(failure.words));
    std::vector<std::string> texts;
    for (const LogLine& line : lines) {
        if (line.category != 0) texts.push_back(line.text);
    }
    record.add("log", Cell::List(std::move(texts)));
}

}  // namespace plclink::host
