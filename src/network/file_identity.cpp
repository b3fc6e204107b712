#include "network/file_identity.h"

#include <sys/stat.h>

#include "network/errors.h"

namespace levelnet {

bool sameExistingFile(const std::string& a, const std::string& b) {
  struct stat first {
  }, second{};
  if (a.empty() || b.empty() || ::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

void refuseOutputOverInput(const std::string& output, const std::vector<std::string>& inputs) {
  if (output.empty() || output == "-") return;
  for (const std::string& input : inputs)
    if (input != "-" && sameExistingFile(output, input))
      throw InputError("输出文件“" + output + "”就是输入文件“" + input + "”：不能用输出覆盖输入，请另选输出文件名");
}

}  // namespace levelnet
