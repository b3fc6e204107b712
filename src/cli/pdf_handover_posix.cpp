// POSIX: levelnet-pdf replaces this process (execv) with the same arguments.
#include "cli/pdf_handover.h"

#include <unistd.h>

#include <cerrno>
#include <ostream>
#include <vector>

#include "cli/output.h"
#include "network/safe_file.h"

namespace levelnet::cli {

std::string pdfProgram() {
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return {};
  std::string folder(self, static_cast<std::size_t>(length));
  folder.erase(folder.rfind('/'));
  for (const std::string& candidate :
       {folder + "/levelnet-pdf", folder + "/" LEVELNET_PDF_DIR_FROM_BIN "/levelnet-pdf"})
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  return {};
}

int handOverToPdfProgram(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  const std::string program = pdfProgram();
  if (program.empty()) {
    err << "levelnet: 这个版本没有编译 PDF 报告（需要 Qt 6 Gui，请用 ./levelnet report 运行）\n";
    return kRefused;
  }
  std::vector<char*> args;
  args.push_back(const_cast<char*>(program.c_str()));
  for (int i = 1; i < argc; ++i) args.push_back(const_cast<char*>(argv[i]));
  args.push_back(nullptr);
  out.flush();
  err.flush();
  execv(program.c_str(), args.data());
  err << "levelnet: 无法启动 " << program << "：" << systemErrorText(errno) << "\n";
  return kRefused;
}

}  // namespace levelnet::cli
