// Which PC, which account and which Windows wrote a log: logs that forty PCs
// write to one share are told apart by these lines.
#pragma once

#include <string>
#include <vector>

namespace app {

// "computer <NetBIOS name>", "user <DOMAIN\name>" and
// "windows <major.minor.build> <32-bit|64-bit>", the last word being the
// system's, not this program's. What the system will not tell is "?".
std::vector<std::string> ComputerIdentityLines();

}  // namespace app
