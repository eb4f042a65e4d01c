#include "ppi/busy_answer.h"

#include "ppi/ppi_frame.h"

namespace plclink {

bool IsBusySd1(const std::uint8_t* request, const std::uint8_t* sd1) {
    const std::uint8_t fc = sd1[3];
    return sd1[0] == kSd1 && sd1[1] == request[kSaOffset] && sd1[2] == request[kDaOffset] &&
           (fc == kFcNoResource || fc == kFcNoService) && sd1[4] == FrameChecksum(sd1 + 1, 3) &&
           sd1[5] == kFrameEnd;
}

const char* BusyAnswerName(const std::uint8_t* response) {
    if (response[0] == kSc) return "SC to the poll";
    return response[3] == kFcNoService ? "no service" : "no resource";
}

}  // namespace plclink
