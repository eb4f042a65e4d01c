// The --master option: ADDR[:OPTION,OPTION...], the options being
//   station=N        the CPU station it reads (default: the first --station)
//   read=AREA START:COUNT, e.g. read=V0:4 (the default), read=M10:2
//   interval=MS      between two jobs (default 0: at every token visit)
//   silent-after=S   goes silent S seconds after the start (fault)
//   late-token       takes a passed token only at the second pass (fault)
//   duplicate        may share its address with another station (fault)
//   garble=P         a token it passes comes out as noise with probability P (fault)
#pragma once

#include <optional>
#include <string>

#include "ppisim/sim_master.h"

namespace ppisim {

std::optional<MasterConfig> ParseMasterSpec(const std::string& spec, std::string* why);

}  // namespace ppisim
