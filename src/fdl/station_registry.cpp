#include "fdl/station_registry.h"

#include <atomic>
#include <memory>
#include <vector>

#include "core/host_log.h"
#include "fdl/ring_station.h"
#include "platform/platform.h"

namespace plclink {
namespace {

struct Entry {
    const VpiInstance* instance;
    RingSettings settings;
    std::unique_ptr<RingStation> station;
    ThreadHandle thread = 0;
};

// Instances may run on different host threads: the list is guarded by a
// spin lock (a plain flag, as every platform has it).
std::atomic_flag registryLock = ATOMIC_FLAG_INIT;
std::vector<Entry>& Entries() {
    static std::vector<Entry> entries;
    return entries;
}

class Locked {
public:
    Locked() {
        while (registryLock.test_and_set(std::memory_order_acquire)) {
        }
    }
    ~Locked() { registryLock.clear(std::memory_order_release); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

Entry* Find(const VpiInstance& instance) {
    for (Entry& entry : Entries())
        if (entry.instance == &instance) return &entry;
    return nullptr;
}

void ServeStation(void* station) { static_cast<RingStation*>(station)->Serve(); }

// Takes the entry's station out of the list, to be stopped outside the lock.
std::unique_ptr<RingStation> TakeStation(const VpiInstance& instance, ThreadHandle* thread) {
    Locked lock;
    Entry* entry = Find(instance);
    if (entry == nullptr || entry->station == nullptr) return nullptr;
    *thread = entry->thread;
    return std::move(entry->station);
}

}  // namespace

void KeepRingSettings(const VpiInstance& instance, const RingSettings& settings) {
    StopStation(instance);
    Locked lock;
    std::vector<Entry>& entries = Entries();
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->instance == &instance) {
            entries.erase(it);
            break;
        }
    }
    if (settings.enabled) entries.push_back(Entry{&instance, settings, nullptr, 0});
}

bool StartStation(const VpiInstance& instance) {
    StopStation(instance);
    if (instance.lineHandle == kNoLine || instance.lineHandle == kNullLine) return true;
    RingSettings settings;
    {
        Locked lock;
        const Entry* entry = Find(instance);
        if (entry == nullptr) return true;
        settings = entry->settings;
    }
    auto station = std::make_unique<RingStation>(instance.lineHandle, settings,
                                                 instance.lineConfig.settings.baud,
                                                 instance.instanceNumber);
    ThreadHandle thread = 0;
    if (!Platform().startThread(ServeStation, station.get(), &thread)) {
        err(kLogCategory, "Vpi%s%02d: the station's thread could not be started", kFamilyTag,
            instance.instanceNumber);
        return false;
    }
    {
        Locked lock;
        if (Entry* entry = Find(instance)) {
            entry->station = std::move(station);
            entry->thread = thread;
            return true;
        }
    }
    station->Stop();  // forgotten meanwhile
    Platform().joinThread(thread);
    return false;
}

void StopStation(const VpiInstance& instance) {
    ThreadHandle thread = 0;
    std::unique_ptr<RingStation> station = TakeStation(instance, &thread);
    if (station == nullptr) return;
    station->Stop();
    Platform().joinThread(thread);
}

RingStation* StationOf(const VpiInstance& instance) {
    Locked lock;
    Entry* entry = Find(instance);
    return entry == nullptr ? nullptr : entry->station.get();
}

void ForgetInstance(const VpiInstance& instance) { KeepRingSettings(instance, RingSettings{}); }

}  // namespace plclink
