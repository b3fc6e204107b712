// What every command of the command line shares: the streams, the report
// sinks (standard output or the safe save of -o, in UTF-8 or GBK), the
// names files go by in messages, warnings, and the one mapping from errors
// to messages and exit statuses.
#pragma once

#include <exception>
#include <functional>
#include <iosfwd>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "adjust/report_writer.h"
#include "cli/arguments.h"
#include "network/leveling_network.h"
#include "network/safe_file.h"
#include "network/text_table.h"

namespace levelnet::cli {

// Exit statuses.
constexpr int kDone = 0;
constexpr int kRefused = 1;  // a file or the network refused, output that could not be written
constexpr int kUsage = 2;
constexpr int kCheckFailed = 3;  // a check found a fault or could not search for one

struct Streams {
  std::istream& in;  // what "-" reads
  std::ostream& out;
  std::ostream& err;
};

// The name a file goes by in messages and report headers.
std::string displayName(const std::string& path);

// Writes to standard output; a write that fails throws FileError (writing,
// path "-"), never passes silently.
void writeOut(std::ostream& out, std::string_view bytes);
void flushOut(std::ostream& out);

// Complete output (a 成果表, a network): to standard output, or with -o
// through the safe save.
void deliver(const Arguments& a, std::ostream& out, const std::string& bytes);

// UTF-8 text in the report's encoding (a.encoding); a text GBK cannot hold
// throws InputError (remedy utf8Encoding).
std::string inReportEncoding(const Arguments& a, std::string text);

// Refuses, before anything is written, point names a GBK report cannot hold.
void requireGbkNames(const NetworkText& net);

// Opens a file ("-": standard input) for a command, says on standard error
// when it was not read as GBK; `limits` as the command accepts.
NetworkText openFile(const std::string& path, const Arguments& a, const Streams& s, NetworkLimits limits);
// The same for a command that adjusts: an empty known-point count is refused.
NetworkText openFileToAdjust(const std::string& path, const Arguments& a, const Streams& s, NetworkLimits limits);

void warnOfDuplicates(const std::string& path, const std::vector<DuplicateName>& duplicates, std::ostream& err);

// The message of an error as the command line gives it: the engine's words,
// and the option that gives what is missing where the error names a remedy.
std::string messageOf(const std::exception& e);

// Tells `err` of a failure and returns its exit status; the message starts
// with "levelnet: FILE: " where it is about `file`, the input being worked
// on, but not for a file that could not be written (its message names it).
int reportFailure(std::ostream& err, const std::string& file, const std::exception& e);

// Whether an error is about the output being written (a failed save or
// write): such an error ends a call of several files at once.
bool isOutputFailure(const std::exception& e);

// Runs `one` for every file of an adjust or check call. With several files
// each report is preceded by a line naming its file. A refused file is
// reported and the others go on; the status is the worst of them (a refused
// file is worse than a failed check). With -o the reports stream into the
// safe save's temporary file, which replaces the target once all are
// written; when no file gave a report the target is left as it was.
int forEveryFile(const Arguments& a, const Streams& s,
                 const std::function<int(const std::string& path, TextSink& sink)>& one);

}  // namespace levelnet::cli
