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

// Starts the program again, at once and with the same arguments, with the C
// library told to ask for transparent huge pages (2 MiB) for the memory it
// takes from the system, where the kernel gives them only on request. A
// large network's solver touches hundreds of megabytes once each; page by
// page that is a fault every 4 KiB (a quarter of the check's time at
// t = 10^5 on a virtual machine), in huge pages one every 2 MiB. Only where
// an argument names a file of at least 256 KiB: for a small network the
// second start costs more than it saves. Returns (without starting again)
// where that does not apply: a smaller job, another C library or kernel,
// huge pages given always or never, the setting already chosen by whoever
// started the program, the program run under Valgrind, or the start
// failing. Nothing has been read or written before it is called.
void startWithHugePages(char** argv);

}  // namespace levelnet::cli
