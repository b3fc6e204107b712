#include "cli/cli.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "adjust/adjustment_run.h"
#ifdef LEVELNET_WITH_CHECK
#include "check/network_check.h"
#endif
#include "network/gbk.h"
#include "network/input_error.h"
#include "network/number_text.h"
#include "network/project_file.h"
#include "network/safe_file.h"

namespace levelnet {

namespace {

// A wrong option value: exit status 2, as for other usage errors.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Standard output could not be written (a full disk, a closed pipe): exit
// status 1, never success.
struct OutputError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

constexpr int kDone = 0;
constexpr int kRefused = 1;
constexpr int kUsage = 2;
constexpr int kCheckFailed = 3;

const char kUsageText[] =
    "用法:\n"
    "  levelnet adjust FILE.pc [--encoding utf-8|gbk]\n"
    "      平差 FILE.pc，把平差报告写到标准输出（默认 UTF-8，行尾 \\r\\n）\n"
    "  levelnet check FILE.pc [--grade 二等|三等|四等|等外] [--terrain 平原|山区] [--sigma-km S] [--encoding "
    "utf-8|gbk]\n"
    "      检核观测数据：闭合差与限差、单位权方差的χ²检验、粗差探测\n"
    "  levelnet normalize IN.pc OUT.pc [--encoding utf-8|gbk]\n"
    "      读入 IN.pc 并按“保存”的格式（GBK 编码）写成 OUT.pc；OUT 为 - 时写到标准输出\n"
    "  --encoding 指定读入文件的编码，也是报告输出的编码；不指定时按 GBK 读入，\n"
    "      明显是 UTF-8 的文件按 UTF-8 读入并在标准错误上说明\n"
    "  levelnet --help\n"
    "      显示本说明\n"
    "退出码: 0 完成; 1 文件或数据无法使用; 2 用法错误; 3 检核未通过\n";

struct Arguments {
  std::string command;
  std::vector<std::string> files;
  std::string encoding = "utf-8";             // of the report
  std::optional<FileEncoding> inputEncoding;  // of the file read, when forced
  std::string grade, terrain, sigmaKm;
  bool help = false;
};

// Reads the command line; throws UsageError for anything it cannot take.
Arguments parse(int argc, const char* const* argv) {
  Arguments a;
  std::vector<std::string> positional;
  bool checkOptionGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      a.help = true;
    } else if (arg == "--encoding" || arg.rfind("--encoding=", 0) == 0) {
      std::string value;
      if (arg == "--encoding") {
        if (i + 1 >= argc) throw UsageError("--encoding 后面缺少编码名");
        value = argv[++i];
      } else {
        value = arg.substr(std::string("--encoding=").size());
      }
      if (value == "utf-8" || value == "UTF-8" || value == "utf8") {
        a.encoding = "utf-8";
        a.inputEncoding = FileEncoding::utf8;
      } else if (value == "gbk" || value == "GBK") {
        a.encoding = "gbk";
        a.inputEncoding = FileEncoding::gbk;
      } else {
        throw UsageError("未知的编码“" + value + "”（可用 utf-8 或 gbk）");
      }
    } else if (arg == "--grade" || arg == "--terrain" || arg == "--sigma-km") {
      if (i + 1 >= argc) throw UsageError(arg + " 后面缺少值");
      (arg == "--grade" ? a.grade : arg == "--terrain" ? a.terrain : a.sigmaKm) = argv[++i];
      checkOptionGiven = true;
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      throw UsageError("未知的选项“" + arg + "”");
    } else {
      positional.push_back(arg);
    }
  }
  if (a.help) return a;
  if (positional.empty()) throw UsageError("缺少命令");
  a.command = positional.front();
  a.files.assign(positional.begin() + 1, positional.end());
  if (a.command == "adjust") {
    if (a.files.size() != 1) throw UsageError("adjust 需要一个文件名");
  } else if (a.command == "check") {
    if (a.files.size() != 1) throw UsageError("check 需要一个文件名");
  } else if (a.command == "normalize") {
    if (a.files.size() != 2) throw UsageError("normalize 需要输入和输出两个文件名");
  } else {
    throw UsageError("未知的命令“" + a.command + "”");
  }
  if (checkOptionGiven && a.command != "check") throw UsageError("--grade、--terrain 和 --sigma-km 只用于 check");
  return a;
}

// Writes to standard output; a write that fails is an error, never success.
void writeOut(std::ostream& out, std::string_view bytes) {
  errno = 0;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw OutputError("无法写入标准输出：" + systemErrorText(errno ? errno : EIO));
}

void flushOut(std::ostream& out) {
  errno = 0;
  out.flush();
  if (!out) throw OutputError("无法写入标准输出：" + systemErrorText(errno ? errno : EIO));
}

// Report text straight to standard output, block by block as the writer
// hands it over, in UTF-8 or converted to GBK.
class OutputSink : public TextSink {
 public:
  OutputSink(std::ostream& out, const std::string& encoding) : out_(out), gbk_(encoding == "gbk") {}
  void write(std::string_view bytes) override {
    if (!gbk_) {
      writeOut(out_, bytes);
      return;
    }
    const std::optional<std::string> converted = utf8ToGbk(bytes);
    if (!converted) throw InputError("报告含有 GBK 编码无法表示的字符，请改用 --encoding utf-8");
    writeOut(out_, *converted);
  }

 private:
  std::ostream& out_;
  bool gbk_;
};

// A GBK report can hold every text it writes but the point names: those
// are checked before anything is written, so a refusal leaves standard
// output empty.
void requireGbkNames(const NetworkText& net) {
  for (int i = 1; i < net.points.rows(); ++i)
    if (!utf8ToGbk(net.points.text(i, 1)))
      throw InputError("点表第 " + std::to_string(i) + " 行的点名“" + net.points.text(i, 1) +
                       "”含有 GBK 编码无法表示的字符，请改用 --encoding utf-8");
}

// A message about the file `path`: the reader's messages name it already;
// those about the network's cells get it in front.
InputError aboutFile(const std::string& path, const InputError& e) {
  const std::string message = e.what();
  if (message.find("“" + path + "”") != std::string::npos) return e;
  return InputError("文件“" + path + "”：" + message);
}

// Opens a file as the window's Open does, into in-memory fields and tables;
// says on `err` when it was not read as GBK.
NetworkText openNetwork(const std::string& path, const Arguments& a, std::ostream& err) {
  NetworkText net;
  const ProjectData data = readProjectFile(path, a.inputEncoding);
  const std::string note = encodingNote(data, path);
  if (!note.empty()) err << "levelnet: 注意：" << note << "\n";
  applyProject(data, net.fields, net.points, net.observations);
  return net;
}

void warnOfDuplicates(const std::vector<DuplicateName>& duplicates, const std::string& path, std::ostream& err) {
  for (const DuplicateName& d : duplicates)
    err << "levelnet: 警告：文件“" << path << "”：" << duplicateNameWarning(d) << "\n";
}

int adjust(const Arguments& a, std::ostream& out, std::ostream& err) {
  const std::string& path = a.files[0];
  NetworkText net = openNetwork(path, a, err);
  if (net.fields.known.empty()) throw InputError("文件“" + path + "”第 1 行：已知点个数为空，无法平差");
  if (a.encoding == "gbk") requireGbkNames(net);
  // The results are computed in full before the first line is written, so a
  // refused run leaves standard output empty; then the report streams out
  // as it is written, never held whole.
  OutputSink sink(out, a.encoding);
  AdjustmentOutcome outcome;
  try {
    outcome = adjustNetwork(net.fields, net.points, net.observations, sink);
  } catch (const InputError& e) {
    throw aboutFile(path, e);
  }
  flushOut(out);
  warnOfDuplicates(outcome.duplicateNames, path, err);
  return kDone;
}

#ifdef LEVELNET_WITH_CHECK
int check(const Arguments& a, std::ostream& out, std::ostream& err) {
  CheckOptions options;
  options.grade = a.grade;
  options.terrain = a.terrain;
  if (!a.sigmaKm.empty()) {
    options.sigmaGiven = true;
    const std::optional<double> sigmaKm = parseNumber(a.sigmaKm);
    options.sigmaKm = sigmaKm.value_or(0.0);
    if (!(options.sigmaKm > 0.0)) throw UsageError("--sigma-km “" + a.sigmaKm + "”不是大于 0 的数");
  }
  try {
    toleranceCoefficient(options.grade, options.terrain);
  } catch (const InputError& e) {
    throw UsageError(e.what());
  }
  const std::string& path = a.files[0];
  NetworkText net = openNetwork(path, a, err);
  if (net.fields.known.empty()) throw InputError("文件“" + path + "”第 1 行：已知点个数为空，无法平差");
  CheckOutcome outcome;
  try {
    outcome = checkNetwork(gatherNetwork(net.fields, net.points, net.observations), options, path);
  } catch (const InputError& e) {
    throw aboutFile(path, e);
  }
  OutputSink sink(out, a.encoding);
  sink.write(outcome.report);
  flushOut(out);
  return outcome.passed ? kDone : kCheckFailed;
}
#endif

// Saves IN as the window's Save does; "-" as OUT writes the bytes to
// standard output.
int normalize(const Arguments& a, std::ostream& out, std::ostream& err) {
  NetworkText net = openNetwork(a.files[0], a, err);
  if (a.files[1] == "-") {
    std::string bytes;
    try {
      bytes = formatProjectBytes(net.fields, net.points, net.observations);
    } catch (const InputError& e) {
      throw InputError("无法写到标准输出：" + std::string(e.what()));
    }
    writeOut(out, bytes);
    flushOut(out);
  } else {
    writeProjectFile(a.files[1], net.fields, net.points, net.observations);
  }
  return kDone;
}

}  // namespace

int runCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  Arguments a;
  try {
    a = parse(argc, argv);
  } catch (const UsageError& e) {
    err << "levelnet: " << e.what() << "\n" << kUsageText;
    return kUsage;
  }
  if (a.help) {
    out << kUsageText;
    out.flush();
    if (!out) {
      err << "levelnet: 无法写入标准输出\n";
      return kRefused;
    }
    return kDone;
  }
  try {
    if (a.command == "adjust") return adjust(a, out, err);
    if (a.command == "normalize") return normalize(a, out, err);
#ifdef LEVELNET_WITH_CHECK
    return check(a, out, err);
#else
    err << "levelnet: 这个版本没有编译 check（需要 Boost.Math，请用 ./levelnet check 运行）\n";
    return kRefused;
#endif
  } catch (const UsageError& e) {
    err << "levelnet: " << e.what() << "\n" << kUsageText;
    return kUsage;
  } catch (const OutputError& e) {
    err << "levelnet: " << e.what() << "\n";
    return kRefused;
  } catch (const InputError& e) {
    err << "levelnet: " << e.what() << "\n";
    return kRefused;
  } catch (const std::bad_alloc&) {
    err << "levelnet: 文件“" << (a.files.empty() ? std::string() : a.files[0]) << "”：内存不足，无法完成\n";
    return kRefused;
  } catch (const std::exception& e) {
    err << "levelnet: 内部错误：" << e.what() << "\n";
    return kRefused;
  }
}

}  // namespace levelnet
