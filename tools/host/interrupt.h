// Ctrl-C as a request to stop: the live commands poll for it between
// transactions, and keep it out of a transaction that is running so a
// serial read is never cut short.
#pragma once

namespace plclink::host {

// From now on Ctrl-C (and a termination request) sets the flag instead of
// ending the program.
void CatchInterrupts();
bool Interrupted();

// While it lives, an interrupt waits until the guard ends.
class DeferInterrupts {
public:
    DeferInterrupts();
    ~DeferInterrupts();
    DeferInterrupts(const DeferInterrupts&) = delete;
    DeferInterrupts& operator=(const DeferInterrupts&) = delete;
};

}  // namespace plclink::host
