// The multi-master mode of each instance: the ring settings its ColdStart
// read, and its station with the station's thread while its line is open.
// An instance without the mode has no entry, no station and no thread.
#pragma once

#include "core/vpi_instance.h"
#include "fdl/ring_settings.h"

namespace plclink {

class RingStation;

// Keeps (or, when not enabled, forgets) the settings of `instance`.
void KeepRingSettings(const VpiInstance& instance, const RingSettings& settings);
// Starts the station on the instance's open line when the mode is on (not
// on the null line); false when its thread could not be started.
bool StartStation(const VpiInstance& instance);
// Stops the station's thread and waits for it; nothing without a station.
void StopStation(const VpiInstance& instance);
// The instance's running station, or nullptr.
RingStation* StationOf(const VpiInstance& instance);
// Stops the station and forgets the settings (EndVpi).
void ForgetInstance(const VpiInstance& instance);

}  // namespace plclink
