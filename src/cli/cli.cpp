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
#include "adjust/results_export.h"
#include "adjust/results_table.h"
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
    "  levelnet adjust [选项] FILE.pc ...\n"
    "      平差，把平差报告写到标准输出（默认 UTF-8，行尾 \\r\\n）\n"
    "  levelnet check [选项] FILE.pc ...\n"
    "      检核观测数据：闭合差与限差、M_W、单位权方差的χ²检验、粗差探测与 MDB\n"
    "  levelnet results [--format txt|csv|json|xlsx] [-o OUT] [--encoding utf-8|gbk] FILE.pc\n"
    "      平差并写出成果表（点成果、观测值、精度评定）；默认 txt 到标准输出，xlsx 必须用 -o\n"
    "  levelnet normalize [选项] IN.pc OUT.pc\n"
    "      读入 IN.pc 并按“保存”的格式（GBK 编码）写成 OUT.pc；OUT 为 - 时写到标准输出\n"
    "  levelnet --version | --help\n"
    "选项:\n"
    "  -o FILE, --output FILE   报告写到 FILE（安全保存），不写标准输出\n"
    "  --encoding utf-8|gbk     读入文件的编码，也是报告的编码；不指定时按 GBK 读入，\n"
    "                           明显是 UTF-8 的文件按 UTF-8 读入并说明；报告在终端上用终端的编码\n"
    "  --format F               （results）成果表格式：txt（默认）、csv（UTF-8 带 BOM，--encoding gbk 时为 GBK）、\n"
    "                           json（UTF-8）、xlsx（工作表“点成果”和“观测值”）\n"
    "  --grade 二等|三等|四等|等外  --terrain 平原|山区  --sigma-km S   （check）等级、地形、每公里中误差(mm)\n"
    "  -                        作为文件名：标准输入\n"
    "  --                       选项到此为止，其后都是文件名\n"
    "退出码: 0 完成; 1 文件或数据无法使用、输出无法写入; 2 用法错误; 3 检核未通过或无法检核; 多个文件时取最严重者\n";

// The short usage a usage error ends with.
const char kShortUsage[] =
    "用法: levelnet adjust|check FILE.pc ... | levelnet results [--format F] FILE.pc | levelnet normalize IN.pc "
    "OUT.pc（levelnet --help 显示全部说明）\n";

struct Arguments {
  std::string command;
  std::vector<std::string> files;
  std::string encoding = "utf-8";  // of the report
  bool encodingGiven = false;
  std::optional<FileEncoding> inputEncoding;  // of the file read, when forced
  std::string output;                         // -o: the report goes to this file
  std::string grade, terrain, sigmaKm;
  std::string format = "txt";  // results: txt, csv, json or xlsx
  bool formatGiven = false;
  bool help = false;
  bool version = false;
};

// Reads the command line; throws UsageError for anything it cannot take.
Arguments parse(int argc, const char* const* argv) {
  Arguments a;
  std::vector<std::string> positional;
  bool checkOptionGiven = false;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded) {
      positional.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      a.help = true;
    } else if (arg == "--version" || arg == "-V") {
      a.version = true;
    } else if (arg == "-o" || arg == "--output" || arg.rfind("--output=", 0) == 0) {
      if (arg.rfind("--output=", 0) == 0) {
        a.output = arg.substr(std::string("--output=").size());
      } else {
        if (i + 1 >= argc) throw UsageError(arg + " 后面缺少文件名");
        a.output = argv[++i];
      }
      if (a.output.empty()) throw UsageError(arg + " 后面缺少文件名");
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
        a.encodingGiven = true;
        a.inputEncoding = FileEncoding::utf8;
      } else if (value == "gbk" || value == "GBK") {
        a.encoding = "gbk";
        a.encodingGiven = true;
        a.inputEncoding = FileEncoding::gbk;
      } else {
        throw UsageError("未知的编码“" + value + "”（可用 utf-8 或 gbk）");
      }
    } else if (arg == "--format" || arg.rfind("--format=", 0) == 0) {
      if (arg == "--format") {
        if (i + 1 >= argc) throw UsageError("--format 后面缺少格式名");
        a.format = argv[++i];
      } else {
        a.format = arg.substr(std::string("--format=").size());
      }
      if (a.format != "txt" && a.format != "csv" && a.format != "json" && a.format != "xlsx")
        throw UsageError("未知的成果表格式“" + a.format + "”（可用 txt、csv、json 或 xlsx）");
      a.formatGiven = true;
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
  if (a.help || a.version) return a;
  if (positional.empty()) throw UsageError("缺少命令");
  a.command = positional.front();
  a.files.assign(positional.begin() + 1, positional.end());
  if (a.command == "adjust" || a.command == "check") {
    if (a.files.empty()) throw UsageError(a.command + " 需要至少一个文件名");
  } else if (a.command == "results") {
    if (a.files.size() != 1) throw UsageError("results 需要一个文件名");
    if (a.format == "xlsx" && a.output.empty()) throw UsageError("--format xlsx 需要用 -o 指定输出文件");
  } else if (a.command == "normalize") {
    if (a.files.size() != 2) throw UsageError("normalize 需要输入和输出两个文件名");
    if (!a.output.empty()) throw UsageError("normalize 的输出文件就是 OUT，不接受 -o");
    if (a.files[0] == "-" && a.files[1] == "-") throw UsageError("normalize 的输入和输出不能都是 -");
  } else {
    throw UsageError("未知的命令“" + a.command + "”");
  }
  if (a.formatGiven && a.command != "results") throw UsageError("--format 只用于 results");
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

// The name a file goes by in messages and report headers.
std::string displayName(const std::string& path) { return path == "-" ? "标准输入" : path; }

// Opens a file ("-" for standard input) as the window's Open does, into
// in-memory fields and tables; says on `err` when it was not read as GBK.
NetworkText openNetwork(const std::string& path, const Arguments& a, std::istream& in, std::ostream& err) {
  NetworkText net;
  const ProjectData data =
      path == "-" ? readProjectStream(in, displayName(path), a.inputEncoding) : readProjectFile(path, a.inputEncoding);
  const std::string note = encodingNote(data, displayName(path));
  if (!note.empty()) err << "levelnet: " << displayName(path) << ": 注意：" << note << "\n";
  applyProject(data, net.fields, net.points, net.observations);
  return net;
}

// Opens a file to adjust or check it: an empty known-point count, which the
// window takes as "nothing to do", is refused here.
NetworkText openNetworkToAdjust(const std::string& path, const Arguments& a, std::istream& in, std::ostream& err) {
  NetworkText net = openNetwork(path, a, in, err);
  if (net.fields.known.empty()) throw InputError("第 1 行：已知点个数为空，无法平差");
  return net;
}

void warnOfDuplicates(const std::string& path, const std::vector<DuplicateName>& duplicates, std::ostream& err) {
  for (const DuplicateName& d : duplicates)
    err << "levelnet: " << displayName(path) << ": 警告：" << duplicateNameWarning(d) << "\n";
}

// Output that is complete before it goes out: to standard output, or with
// -o through the safe save (a failure there is about the output file).
void deliver(const Arguments& a, std::ostream& out, const std::string& bytes) {
  if (a.output.empty()) {
    writeOut(out, bytes);
    flushOut(out);
    return;
  }
  try {
    saveFileSafely(a.output, bytes);
  } catch (const InputError& e) {
    throw OutputError(e.what());
  }
}

// Adjusts one file into `sink`. The results are computed in full before the
// first line is written, so a refused run writes nothing; then the report
// streams out as it is written, never held whole.
int adjustOne(const std::string& path, const Arguments& a, std::istream& in, TextSink& sink, std::ostream& err) {
  NetworkText net = openNetworkToAdjust(path, a, in, err);
  if (a.encoding == "gbk") requireGbkNames(net);
  const AdjustmentOutcome outcome = adjustNetwork(net.fields, net.points, net.observations, sink);
  warnOfDuplicates(path, outcome.duplicateNames, err);
  return kDone;
}

#ifdef LEVELNET_WITH_CHECK
CheckOptions checkOptions(const Arguments& a) {
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
  return options;
}

int checkOne(const std::string& path, const Arguments& a, const CheckOptions& options, std::istream& in, TextSink& sink,
             std::ostream& err) {
  NetworkText net = openNetworkToAdjust(path, a, in, err);
  const CheckOutcome outcome =
      checkNetwork(gatherNetwork(net.fields, net.points, net.observations), options, displayName(path));
  sink.write(outcome.report);
  return outcome.passed ? kDone : kCheckFailed;
}
#endif

// Adjusts one file and writes its results table (成果表) in the chosen
// format, to standard output or through the safe save to -o. Everything is
// computed and formatted before the first byte goes out, so a refused file
// writes nothing.
int results(const Arguments& a, std::istream& in, std::ostream& out, std::ostream& err) {
  const std::string& path = a.files[0];
  NetworkText net = openNetworkToAdjust(path, a, in, err);
  // CSV is UTF-8 with its byte-order mark unless GBK is asked for; text
  // follows the report's rule (GBK also on a GBK terminal); JSON and XLSX
  // are always UTF-8.
  const bool gbkText = a.format == "txt" && a.encoding == "gbk";
  const bool gbkCsv = a.format == "csv" && a.encodingGiven && a.encoding == "gbk";
  if (gbkText || gbkCsv) requireGbkNames(net);
  const AdjustmentResults computed = computeAdjustment(gatherNetwork(net.fields, net.points, net.observations));
  warnOfDuplicates(path, computed.net.duplicateNames, err);
  const ResultsTable table = makeResultsTable(computed);
  std::string bytes;
  if (a.format == "csv")
    bytes = resultsCsv(table, gbkCsv ? ResultsEncoding::gbk : ResultsEncoding::utf8);
  else if (a.format == "json")
    bytes = resultsJson(table);
  else if (a.format == "xlsx")
    bytes = resultsXlsx(table);
  else
    bytes = resultsText(table, gbkText ? ResultsEncoding::gbk : ResultsEncoding::utf8);
  deliver(a, out, bytes);
  return kDone;
}

// Saves IN as the window's Save does; "-" as OUT writes the bytes to
// standard output.
int normalize(const Arguments& a, std::istream& in, std::ostream& out, std::ostream& err) {
  NetworkText net = openNetwork(a.files[0], a, in, err);
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
    // A save that fails is about OUT, not about the file read.
    try {
      writeProjectFile(a.files[1], net.fields, net.points, net.observations);
    } catch (const InputError& e) {
      throw OutputError(e.what());
    }
  }
  return kDone;
}

// How bad an exit status is, for the worst of several files: a file that
// could not be used at all outweighs a check that found a fault.
int severity(int status) { return status == kRefused ? 2 : status == kCheckFailed ? 1 : 0; }

// Runs `one` for every file of an adjust or check call. With several files
// each report is preceded by a line naming its file. A refused file is
// reported and the others go on; the status is the worst of them.
template <class RunOne>
int forEveryFile(const Arguments& a, std::ostream& out, std::ostream& err, RunOne&& one) {
  StringSink collected;  // -o: the whole output, saved once at the end
  OutputSink streamed(out, a.encoding);
  TextSink& sink = a.output.empty() ? static_cast<TextSink&>(streamed) : collected;
  int worst = kDone;
  for (const std::string& path : a.files) {
    int status = kDone;
    try {
      if (a.files.size() > 1) sink.write("==> " + displayName(path) + " <==\r\n");
      status = one(path, sink);
      if (a.files.size() > 1) sink.write("\r\n");
    } catch (const InputError& e) {
      err << "levelnet: " << displayName(path) << ": " << e.what() << "\n";
      status = kRefused;
    } catch (const std::bad_alloc&) {
      err << "levelnet: " << displayName(path) << ": 内存不足，无法完成\n";
      status = kRefused;
    }
    if (severity(status) > severity(worst)) worst = status;
  }
  if (a.output.empty()) {
    flushOut(out);
  } else if (a.encoding == "gbk") {
    const std::optional<std::string> gbk = utf8ToGbk(collected.text);
    if (!gbk) throw InputError("报告含有 GBK 编码无法表示的字符，请改用 --encoding utf-8");
    deliver(a, out, *gbk);
  } else {
    deliver(a, out, collected.text);
  }
  return worst;
}

}  // namespace

int runCommandLine(int argc, const char* const* argv, std::istream& in, std::ostream& out, std::ostream& err) {
  Arguments a;
  try {
    a = parse(argc, argv);
  } catch (const UsageError& e) {
    err << "levelnet: " << e.what() << "\n" << kShortUsage;
    return kUsage;
  }
  if (a.help || a.version) {
    if (a.version)
      out << "levelnet " << LEVELNET_VERSION << "\n";
    else
      out << kUsageText;
    out.flush();
    if (!out) {
      err << "levelnet: 无法写入标准输出\n";
      return kRefused;
    }
    return kDone;
  }
  // On a terminal the report comes in the terminal's own encoding.
  if (!a.encodingGiven && a.output.empty() && standardOutputIsGbkTerminal()) a.encoding = "gbk";
  try {
    if (a.command == "adjust")
      return forEveryFile(a, out, err,
                          [&](const std::string& path, TextSink& sink) { return adjustOne(path, a, in, sink, err); });
    if (a.command == "normalize") return normalize(a, in, out, err);
    if (a.command == "results") return results(a, in, out, err);
#ifdef LEVELNET_WITH_CHECK
    const CheckOptions options = checkOptions(a);
    return forEveryFile(a, out, err, [&](const std::string& path, TextSink& sink) {
      return checkOne(path, a, options, in, sink, err);
    });
#else
    err << "levelnet: 这个版本没有编译 check（需要 Boost.Math，请用 ./levelnet check 运行）\n";
    return kRefused;
#endif
  } catch (const UsageError& e) {
    err << "levelnet: " << e.what() << "\n" << kShortUsage;
    return kUsage;
  } catch (const OutputError& e) {
    err << "levelnet: " << e.what() << "\n";
    return kRefused;
  } catch (const InputError& e) {
    err << "levelnet: " << (a.files.empty() ? std::string() : displayName(a.files[0]) + ": ") << e.what() << "\n";
    return kRefused;
  } catch (const std::bad_alloc&) {
    err << "levelnet: " << (a.files.empty() ? std::string() : displayName(a.files[0]) + ": ") << "内存不足，无法完成\n";
    return kRefused;
  } catch (const std::exception& e) {
    err << "levelnet: 内部错误：" << e.what() << "\n";
    return kRefused;
  }
}

}  // namespace levelnet
