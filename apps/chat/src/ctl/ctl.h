#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace chat::ctl {

// Runs one kavu-chat-ctl command (`args` without the program name) and
// returns the exit status: 0 on success, 1 when something failed, 2 on a
// usage error.
int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

} // namespace chat::ctl
