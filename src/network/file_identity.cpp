#include "network/file_identity.h"

#include <filesystem>
#include <system_error>

#include "network/errors.h"
#include "network/file_path.h"

namespace levelnet {

bool sameExistingFile(const std::string& a, const std::string& b) {
  // The same device and inode on POSIX, the same volume and file index on
  // Windows; an error (a name that does not exist) is no match.
  if (a.empty() || b.empty()) return false;
  std::error_code ec;
  const bool same = std::filesystem::equivalent(fileSystemPath(a), fileSystemPath(b), ec);
  return !ec && same;
}

void refuseOutputOverInput(const std::string& output, const std::vector<std::string>& inputs) {
  if (output.empty() || output == "-") return;
  for (const std::string& input : inputs)
    if (input != "-" && sameExistingFile(output, input))
      throw InputError("输出文件“" + output + "”就是输入文件“" + input + "”：不能用输出覆盖输入，请另选输出文件名");
}

}  // namespace levelnet
