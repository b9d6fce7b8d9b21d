#pragma once
// How replies are written, shared by the parser and the answers: bare
// values when plain; header, labelled values and "RPRT n" when extended.

#include "rigctl_protocol.h"

#include <string>
#include <vector>

namespace rigctl {

std::string Format(const Request& request, int code, const std::vector<std::string>& values = {});

} // namespace rigctl
