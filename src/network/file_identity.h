// Whether an output is one of the inputs: the same file through any name.
#pragma once

#include <string>
#include <vector>

namespace levelnet {

// Whether two names are one existing file (through any path, symbolic or
// hard link): the same device and inode (on Windows the same volume and
// file index). A name that does not exist is no
// file yet, so it is the same as nothing.
bool sameExistingFile(const std::string& a, const std::string& b);

// Refuses (InputError) an output that is one of the inputs, before anything
// is read or written: a field book named as the network to write, a network
// named as its own 成果表. "-" (standard input or output) is never a file.
void refuseOutputOverInput(const std::string& output, const std::vector<std::string>& inputs);

}  // namespace levelnet
