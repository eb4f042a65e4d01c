// tagformat: the module's Tag Format dialog (command 16) and the address it
// composed.
#include "commands.h"

namespace plclink::host {

int RunTagFormat(Session& session) {
    char composed[16] = {};
    GateParseRecord record{};
    record.gas = composed;
    record.ownerWindow = nullptr;
    // The dialog may own the terminal: the module's lines wait until it is gone.
    HostLog& log = HostLog::Instance();
    log.hold(true);
    std::int32_t result = session.driver().call(VPI_TAG_FORMAT, nullptr, &record);
    log.hold(false);
    for (const LogLine& line : log.takeHeld()) session.diagnostics() << ScreenText(line) << '\n';
    record.gas = nullptr;
    composed[sizeof composed - 1] = '\0';
    Record out;
    if (result == VPI_OK) {
        out.add("tag", Cell::Text(composed));
        out.add("status", Cell::Text("ok"));
        WriteRecord(session.out(), session.format(), out);
        return kDone;
    }
    if (result == VPI_DIALOG_NOTHING) {
        session.note("nothing was written: the dialog was cancelled or is not available (result 53)");
    } else {
        session.note("the dialog failed with result " + std::to_string(result));
    }
    out.add("tag", Cell::Null());
    out.add("status", Cell::Text("nothing written"));
    out.add("result", Cell::Number(result));
    WriteRecord(session.out(), session.format(), out);
    return kTagFailed;
}

}  // namespace plclink::host
