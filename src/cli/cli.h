// The command-line front end: adjust and normalize .pc files.
#pragma once

#include <iosfwd>

namespace levelnet {

// Exit statuses: 0 done, 1 file or run refused (message on `err`, nothing
// on `out`), 2 usage error (usage text on `err`).
int runCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace levelnet
