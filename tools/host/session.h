// What every command works with: the options, the loaded driver, one
// started instance, and the way results and failures reach the user.
#pragma once

#include <chrono>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver.h"
#include "failure.h"
#include "host_log.h"
#include "line_options.h"
#include "report.h"
#include "tag.h"
#include "value_buffer.h"

namespace plclink::host {

// Exit status of the program. kUsage covers everything refused before
// anything was sent; kTagFailed a tag that failed on the line. The worse of
// two statuses is the larger.
enum ExitCode : int { kDone = 0, kTagFailed = 1, kUsage = 2 };

struct GlobalOptions {
    std::string modulePath;
    LineOptions line;
    int vpi = 1;
    bool threeDigit = false;
    std::optional<int> pauseMs;  // --pause: written into the initialization file
    std::optional<int> multimasterAddress;  // --multimaster: the MULTIMASTER line's station address
    bool coalesce = true;        // read and monitor: many tags per request (command 20)
    std::string logFile;
    Format format = Format::Table;
};

struct ParsedTag {
    bool ok = false;
    Tag tag;
    std::int32_t result = 0;
    GateParseRecord record{};
    Failure failure;
    std::vector<LogLine> lines;
};

struct Transfer {
    std::int32_t result = 0;
    Failure failure;
    std::vector<LogLine> lines;
    double milliseconds = 0;
};

// One read of many tags (command 20): a transfer per tag, whose lines are
// the call's lines less those the module wrote about other tags.
struct TagsTransfer {
    bool available = true;  // false: the module has no command 20
    std::int32_t result = 0;
    std::uint32_t requests = 0;
    std::vector<Transfer> tags;
};

class Session {
public:
    Session(const GlobalOptions& options, const Driver& driver, std::ostream& out,
            std::ostream& diagnostics);

    const GlobalOptions& options() const { return options_; }
    const Driver& driver() const { return driver_; }
    Format format() const { return options_.format; }
    std::ostream& out() { return out_; }
    std::ostream& diagnostics() { return diagnostics_; }

    // Starts the instance on the user's port; kDone, or kUsage after saying
    // why the port could not be opened.
    int startOnLine();
    // Starts the instance on the null line: enough for the parse commands.
    int startWithoutLine();
    // The PLC-number form in force: two digits, or three when asked for.
    bool threeDigit() const { return threeDigit_; }
    // The pause between frames the module put in force at the start (40
    // unless its initialization file asks for less).
    unsigned pauseMs() const { return pauseMs_; }

    // Parses a tag: a single tag with the gate type its text calls for, or a
    // block (command 4).
    ParsedTag parseTag(const std::string& text, bool block);
    // Command 3 with the given gate type.
    ParsedTag parseWithGateType(const std::string& text, std::int32_t gateType);

    // Commands 5/6 (read) and 7/10 (write) on `buffer`.
    Transfer read(const Tag& tag, ValueBuffer& buffer, int count, bool block);
    Transfer write(const Tag& tag, ValueBuffer& buffer, int count, bool block);
    // Command 20 on `tags`, each into its single-value buffer.
    TagsTransfer readTags(const std::vector<Tag>& tags, std::vector<ValueBuffer>& buffers);

    // Tells the user why `subject` failed, with the module's lines when they
    // did not already appear on standard error.
    void explain(const std::string& subject, const Failure& failure,
                 const std::vector<LogLine>& lines);
    // The module's lines that explain a failure, unless they already
    // appeared on standard error.
    void showModuleLines(const std::vector<LogLine>& lines);
    void error(const std::string& text);
    void note(const std::string& text);

private:
    bool start(const ColdStartRequest& request, std::int32_t& result, bool onLine);
    bool prepareInitFile(bool onLine);
    static std::string WhyTcpFails(const std::string& server);
    ParsedTag parse(std::uint32_t command, const std::string& text, std::int32_t gateType);
    Transfer transfer(std::uint32_t command, const Tag& tag, ValueBuffer& buffer, int count);

    const GlobalOptions& options_;
    const Driver& driver_;
    std::ostream& out_;
    std::ostream& diagnostics_;
    std::unique_ptr<Instance> instance_;
    bool threeDigit_ = false;
    unsigned pauseMs_ = 40;
};

// The exit status a failed tag calls for: kUsage when nothing was sent for
// it (its address was refused), else kTagFailed.
int ExitStatusOf(const Failure& failure);

// Every record field of a failure: status, error, result, log.
void AddFailureFields(Record& record, std::int32_t result, const Failure& failure,
                      const std::vector<LogLine>& lines);

}  // namespace plclink::host
