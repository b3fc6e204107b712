// Saving a file the way a careful editor does: the new contents go to a
// temporary file created exclusively beside the target, are flushed to the
// disk, and replace the target by one rename; an existing file is never
// damaged and never replaced when it may not be written.
#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace levelnet {

// Where a file system cannot make an unnamed temporary (O_TMPFILE) the save
// writes a named one (.NAME.XXXXXX.tmp); should SIGINT, SIGTERM, SIGHUP or
// SIGQUIT end the program meanwhile, a handler removes it first (a SIGKILL
// may still leave it; the target is whole either way).
//
// Makes `bytes` the contents of the regular file `path` (created when absent).
// Throws FileError "无法保存到“PATH”：REASON" (REASON in Chinese) when it
// cannot; the target is then byte for byte as it was and no temporary file
// is left behind.
void saveFileSafely(const std::string& path, std::string_view bytes);

// Where the contents of a file being saved go, piece by piece.
class FileWriter {
 public:
  virtual ~FileWriter() = default;
  // Appends the bytes; throws FileError "无法保存到“PATH”：REASON" when they
  // cannot be written (a full disk, a file size limit).
  virtual void write(std::string_view bytes) = 0;
};

// The same save for contents too large to hold: `produce` writes them to the
// temporary file as they are made, and only once it has returned are they
// flushed to the disk and put in the target's place. Whatever `produce`
// throws (a refused run, a failed write) leaves the target as it was and no
// temporary file behind, and is passed on.
void saveFileSafely(const std::string& path, const std::function<void(FileWriter&)>& produce);

// The Chinese text of an errno value, for messages ("没有权限", "磁盘空间不足", ...).
std::string systemErrorText(int error);

// Handles for the tests of saveFileSafely; the program never sets them.
namespace safe_file_testing {

// Skips the unnamed (O_TMPFILE) temporary and takes the route of a file
// system without it: a temporary created at once under a fresh random name.
inline bool namedTemporaryOnly = false;

// Makes linking the complete unnamed temporary fail, as it does where /proc
// is missing: its bytes then go to a named temporary.
inline bool unnamedCannotBeLinked = false;

// Called with the full path of each name a temporary file is about to be
// created or linked under, so that a test can occupy that name first, as
// another program could.
inline std::function<void(const std::string& temporaryPath)> beforeNamingTemporary;

}  // namespace safe_file_testing

// Reads `in` a block at a time. Throws InputError `tooLarge` once more than
// `maxBytes` came, and FileError naming `name` when the stream fails.
std::string readBoundedStream(std::istream& in, const std::string& name, std::size_t maxBytes,
                              const std::string& tooLarge);

// The whole file at `path`, at most `maxBytes`: a regular file is measured
// before it is read; anything else (a pipe, a device such as /dev/zero) is
// read up to the limit. Throws FileError for a folder, a file that cannot
// be opened or read, and InputError `tooLarge` beyond the limit.
std::string readBoundedFile(const std::string& path, std::size_t maxBytes, const std::string& tooLarge);

}  // namespace levelnet
