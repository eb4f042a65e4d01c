// One simulated S7-200: its station address, its memory, and the execution
// of the jobs a master sends it. The answer to a job is prepared when the
// job arrives and handed out when the master polls for it.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ppisim/frame.h"
#include "ppisim/memory.h"
#include "ppisim/memory_motion.h"
#include "ppisim/s7_message.h"
#include "ppisim/timer_counter.h"

namespace ppisim {

class Station {
public:
    // `pduSize` is the PDU size the station offers: the longest message it
    // takes or sends, unless the master asks for less when it sets up
    // communication. A frame caps it too: LE 249 leaves 246 bytes.
    Station(std::uint8_t address, const AreaSizes& sizes, std::uint16_t pduSize = kPduSize)
        : address_(address), memory_(sizes), pduOffered_(pduSize), pduInForce_(pduSize) {}

    std::uint8_t address() const { return address_; }
    // Analog inputs that move by themselves from now on; SM0.5 always does.
    void setAnalogMotions(std::vector<AnalogMotion> motions) { motions_ = std::move(motions); }
    // Timers that count by themselves from now on.
    void setTimerMotions(std::vector<TimerMotion> motions) { timerMotions_ = std::move(motions); }
    StationMemory& memory() { return memory_; }
    const StationMemory& memory() const { return memory_; }

    // Executes the job in an SD2 request's data field and returns the S7
    // message that answers it. With `refuseWith` set, every item of a read
    // or write is refused with that access_result and memory stays as it is.
    // A read or write whose request or answer would be longer than the
    // message limit is not carried out and gets the error answer of an
    // incorrect PDU size (kErrorClassSupplies, kErrorCodePduSize).
    Bytes execute(std::span<const std::uint8_t> message,
                  std::optional<std::uint8_t> refuseWith = std::nullopt);

    // A description of the last job executed, for the trace.
    const std::string& lastJob() const { return lastJob_; }

    // The longest S7 message the station takes or sends now.
    std::size_t messageLimit() const;

private:
    Bytes executeRead(const Job& job, std::optional<std::uint8_t> refuseWith);
    Bytes executeWrite(const Job& job, std::optional<std::uint8_t> refuseWith);
    DataItem readItem(const ItemSpec& item);
    std::uint8_t writeItem(const ItemSpec& item, const DataItem& data);

    Bytes refuseOversize(const Job& job, const char* what, std::size_t length);

    std::uint8_t address_;
    StationMemory memory_;
    std::uint16_t pduOffered_;
    std::uint16_t pduInForce_;
    std::string lastJob_;
    std::vector<AnalogMotion> motions_;
    std::vector<TimerMotion> timerMotions_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

// True when a job may touch memory (read or write), so that a refusal can
// apply to it; set-up of communication is never refused.
bool IsMemoryJob(std::span<const std::uint8_t> message);

}  // namespace ppisim
