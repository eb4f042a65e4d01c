// tagformat: the module's Tag Format dialog (command 16). The dialog draws on
// the controlling terminal, so standard output carries only the composed
// address and `addr=$(plclink-host tagformat)` works; everything else is
// told on standard error.
#include <string_view>

#include "commands.h"
#include "interrupt.h"

namespace plclink::host {

namespace {

// The module's line when the dialog cannot be shown, followed by what is
// missing ("needs at least 60x20, this one is 59x20").
constexpr std::string_view kCannotShowPrefix = "ShowTagFormatDialog() error. The dialog ";

}  // namespace

int RunTagFormat(Session& session) {
    char composed[16] = {};
    GateParseRecord record{};
    record.gas = composed;
    record.ownerWindow = nullptr;
    // The dialog owns the terminal: the module's lines wait until it is gone.
    // Ctrl-C ends the dialog and comes here as an interrupt.
    HostLog& log = HostLog::Instance();
    CatchInterrupts();
    log.hold(true);
    const std::int32_t result = session.driver().call(VPI_TAG_FORMAT, nullptr, &record);
    log.hold(false);
    const std::vector<LogLine> lines = log.takeHeld();
    record.gas = nullptr;
    composed[sizeof composed - 1] = '\0';

    if (result == VPI_OK) {
        if (session.format() == Format::Table) {
            session.out() << composed << '\n';
        } else {
            Record out;
            out.add("tag", Cell::Text(composed));
            WriteRecord(session.out(), session.format(), out);
        }
        return kDone;
    }
    std::string missing;
    for (const LogLine& line : lines) {
        const std::string_view text = line.text;
        if (text.substr(0, kCannotShowPrefix.size()) == kCannotShowPrefix)
            missing = text.substr(kCannotShowPrefix.size());
        else
            session.diagnostics() << ScreenText(line) << '\n';
    }
    if (Interrupted()) {
        session.note("nothing written: interrupted");
        return kInterrupted;
    }
    if (!missing.empty()) {
        session.note("the Tag Format dialog " + missing + "; nothing written");
        return kNoDialog;
    }
    if (result == VPI_DIALOG_NOTHING)
        session.note("nothing written: the dialog was cancelled");
    else
        session.note("nothing written: the dialog failed with result " + std::to_string(result));
    return kTagFailed;
}

}  // namespace plclink::host
