// The command line: adjust, check, results, report, import and normalize
// .pc files and field books (one file per command, commands.h).
#pragma once

#include <iosfwd>

namespace levelnet {

// Runs one command line; `in` is what "-" reads. Exit statuses: 0 done, 1 a
// file or run refused (message on `err`, nothing on `out` for it) or output
// that could not be written, 2 usage error (a short usage on `err`), 3 a
// check found a fault; with several files the worst of them.
int runCommandLine(int argc, const char* const* argv, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace levelnet
