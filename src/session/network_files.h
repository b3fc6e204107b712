// Opening and saving the network: a .pc file (or standard input) into the
// fields and tables, and back.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "network/gbk.h"
#include "network/leveling_network.h"
#include "network/project_file.h"
#include "network/text_table.h"

namespace levelnet::session {

struct OpenSettings {
  std::optional<FileEncoding> encoding;  // forced; otherwise GBK unless the bytes are plainly UTF-8
  NetworkLimits limits = kReportLimits;  // what the use that opens it accepts
};

struct OpenedNetwork {
  NetworkText network;  // the fields and tables as Open shows them
  FileEncoding encoding = FileEncoding::gbk;
  // A note for the user when the file was not read as GBK (Save writes
  // GBK), or read as GBK though it reads as well in UTF-8, else empty; one
  // sentence without a final full stop.
  std::string encodingNote;
  // The file read as well in UTF-8: the user may want it so (remedy utf8Encoding).
  bool encodingAmbiguous = false;
};

// The fields and tables of read data, as Open fills them.
NetworkText networkOf(const ProjectData& data);

// Reads a .pc file. Throws FileError when it cannot be read, InputError
// naming the file, line and text when its contents cannot be used,
// OutOfMemoryError when it does not fit.
OpenedNetwork openNetwork(const std::string& path, const OpenSettings& settings = {});
// The same from a stream; `name` is used in messages.
OpenedNetwork openNetwork(std::istream& in, const std::string& name, const OpenSettings& settings = {});

// The bytes Save writes (GBK, CR LF). Throws InputError naming the field or
// cell that a .pc file cannot hold.
std::string networkBytes(const NetworkText& network);

// Saves through the safe save: an existing file is never damaged. Throws
// InputError (a text the file cannot hold) or FileError (the file cannot be
// written); the target is then as it was.
void saveNetwork(const std::string& path, const NetworkText& network);

// Whether the known-point count is filled in: with it empty the window's
// Adjust does nothing, and the command line refuses the file.
inline bool hasKnownPointCount(const NetworkText& network) { return !network.fields.known.empty(); }

// Refuses a network whose known-point count is empty (the command line:
// there is nothing to adjust), with InputError naming line 1.
void requireKnownPointCount(const NetworkText& network);

}  // namespace levelnet::session
