// The program's arguments and standard streams as the operating system
// hands them over: on Windows the arguments come from the wide (UTF-16)
// command line, as UTF-8 like everywhere else, and the standard streams are
// made binary, so that the report's bytes reach a file or pipe unchanged
// (a text-mode stream would put a CR before every LF).
#pragma once

#include <string>
#include <vector>

namespace levelnet::cli {

// The arguments, argv[0] first, as UTF-8.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Sets standard input and output up for bytes.
void prepareStandardStreams();

// Keeps memory the program frees for its next allocations instead of giving
// it back to the system at once. A large network's solver allocates and
// frees blocks of megabytes one after another; given back, each new one is
// mapped again page by page (a fifth of the results mode's time at
// t = 10^5 on a virtual machine). No effect where the C library has no
// such setting.
void keepFreedMemoryForReuse();

}  // namespace levelnet::cli
