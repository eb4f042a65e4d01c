// On Windows the module binds err() and the client functions to KORVAN.dll,
// so this program uses the stand-in library and takes its lines from it.
#include "host_glue.h"
#include "host_log.h"
#include "korvan_standin.h"

namespace plclink::host {

namespace {
void TakeLine(int category, const char* line) {
    HostLog::Instance().record(category, line != nullptr ? line : "");
}
}  // namespace

void ConnectHostLibrary() { KorStandinSendLinesTo(TakeLine); }

}  // namespace plclink::host
