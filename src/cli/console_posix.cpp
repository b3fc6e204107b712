// POSIX: the arguments are the bytes given, the streams carry bytes already.
#include "cli/console.h"

namespace levelnet::cli {

std::vector<std::string> commandLineArguments(int argc, char** argv) { return {argv, argv + argc}; }

void prepareStandardStreams() {}

}  // namespace levelnet::cli
