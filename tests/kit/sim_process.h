// ppi-sim as a child process: started on a pseudo-terminal it creates, with
// the options given; its frame trace (standard error) goes to a file. The
// process is ended (SIGTERM, then waited for) when the object goes.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace plclink::kit {

class SimProcess {
public:
    // Starts `simPath` with `options`; `tracePath` receives its standard
    // error (empty: discarded). Check running() afterwards.
    SimProcess(const std::string& simPath, const std::vector<std::string>& options,
               const std::string& tracePath);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool running() const { return pid_ > 0 && !portName_.empty(); }
    // The port name a master opens ("pts/7"), as the simulator printed it.
    const std::string& portName() const { return portName_; }
    // Ends the simulator; its exit status (-1 when it had not started).
    int stop();

private:
    pid_t pid_ = -1;
    std::string portName_;
};

}  // namespace plclink::kit
