#pragma once
// The answers to the FM settings: the tone modes (`U`), the CTCSS tone, the
// DCS code, and the repeater shift and offset. Sets become actions for the
// radio's turns; reads are not available, as the radio cannot report them.

#include "rigctl_protocol.h"

namespace rigctl {

// For the actions SetFunction to SetRepeaterOffset, and GetFmSetting.
Answer RespondFm(const Request& request, const RigSnapshot& radio);

} // namespace rigctl
