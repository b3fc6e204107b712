// levelnet normalize: IN saved to OUT as the window's Save does.
#include "cli/commands.h"
#include "network/errors.h"
#include "session/network_files.h"

namespace levelnet::cli {

int runNormalize(const Arguments& a, const Streams& s) {
  if (!a.output.empty()) throw UsageError("normalize 的输出文件就是 OUT，不接受 -o");
  if (a.files[0] == "-" && a.files[1] == "-") throw UsageError("normalize 的输入和输出不能都是 -");
  const NetworkText net = openFile(a.files[0], a, s, kReportLimits);
  if (a.files[1] != "-") {
    session::saveNetwork(a.files[1], net);
    return kDone;
  }
  std::string bytes;
  try {
    bytes = session::networkBytes(net);
  } catch (const InputError& e) {
    throw InputError("无法写到标准输出：" + std::string(e.what()), e.place(), e.remedy());
  }
  writeOut(s.out, bytes);
  flushOut(s.out);
  return kDone;
}

}  // namespace levelnet::cli
