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

}  // namespace levelnet::cli
