#include "cli/cli.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "adjust/adjustment_run.h"
#include "adjust/pipeline.h"
#include "adjust/results_export.h"
#include "adjust/results_mode.h"
#include "adjust/results_table.h"
#ifdef LEVELNET_WITH_CHECK
#include "check/network_check.h"
#endif
#include "fieldbook/import.h"
#include "fieldbook/tolerances.h"
#include "network/errors.h"
#include "network/gbk.h"
#include "network/number_text.h"
#include "network/project_file.h"
#include "network/safe_file.h"
#ifdef LEVELNET_WITH_PDF
#include "print/report_document.h"
#else
#include <unistd.h>
#endif

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
    "  levelnet adjust --results [选项] FILE.pc ...\n"
    "      只写平差报告的第 1、5、6、7 部分（近似高程、平差值、改正数、精度评定），不写法方程和 Q；\n"
    "      用稀疏分解，可平差大网（最多 500000 个点、1000000 个观测值）\n"
    "  levelnet check [选项] FILE.pc ... [--records FIELD_FILE ...]\n"
    "      检核观测数据：闭合差与限差、M_W、单位权方差的χ²检验、粗差探测与 MDB；\n"
    "      --records（可重复）附上网所来自的观测手簿或电子水准仪数据的测站检核\n"
    "  levelnet results [--format txt|csv|json|xlsx] [-o OUT] [--encoding utf-8|gbk] [--with-check] FILE.pc\n"
    "      平差并写出成果表（点成果、观测值、精度评定）；默认 txt 到标准输出，xlsx 必须用 -o\n"
    "  levelnet report [选项] FILE.pc --pdf OUT.pdf [--with-check]\n"
    "      平差并生成 PDF 报告（A4：成果表、精度评定、平差报告全文，--with-check 时附检核报告）\n"
    "  levelnet normalize [选项] IN.pc OUT.pc\n"
    "      读入 IN.pc 并按“保存”的格式（GBK 编码）写成 OUT.pc；OUT 为 - 时写到标准输出\n"
    "  levelnet import FIELD_FILE ... -o NET.pc [--grade 四等] [--known BM1=12.345 ...]\n"
    "      读入观测手簿（CSV）或电子水准仪数据（Leica GSI-8/16、Trimble DiNi M5），逐站检核，\n"
    "      往返测取平均，写成平差文件 NET.pc；检核报告写到标准输出\n"
    "  levelnet --version | --help\n"
    "选项:\n"
    "  -o FILE, --output FILE   报告写到 FILE（安全保存），不写标准输出\n"
    "  --encoding utf-8|gbk     读入文件的编码，也是报告的编码；不指定时按 GBK 读入，\n"
    "                           明显是 UTF-8 的文件按 UTF-8 读入并说明；报告在终端上用终端的编码\n"
    "  --format F               （results）成果表格式：txt（默认）、csv（UTF-8 带 BOM，--encoding gbk 时为 GBK）、\n"
    "                           json（UTF-8）、xlsx（工作表“点成果”和“观测值”）\n"
    "  --grade 二等|三等|四等|等外  --terrain 平原|山区  --sigma-km S   （check）等级、地形、每公里中误差(mm)\n"
    "  --pdf OUT.pdf            （report）PDF 写到 OUT.pdf（安全保存）；OUT 为 - 时写到标准输出\n"
    "  --with-check             （report）PDF 附检核报告（检核选项同 check；--grade 也写入标题栏）；\n"
    "                           （results）观测值附检核的多余观测分量 r 与统计量 w（或 τ）\n"
    "  --known 点名=高程         （import）已知点及其高程(m)，可重复，也可用逗号分隔多个\n"
    "  --section-end 点名       （import）数字水准仪线路中的分段点，可重复\n"
    "  --unit-length L          （import）单位权长度(km)，默认 1\n"
    "  --weight length|stations （import）按路线长度（默认）或按测站数定权\n"
    "  --grade 二等|三等|四等|工程二等|工程三等|工程四等|工程五等  --terrain 平原|山区   （import）默认四等\n"
    "  -                        作为文件名：标准输入\n"
    "  --                       选项到此为止，其后都是文件名\n"
    "退出码: 0 完成（report 写出了 PDF 即为 0，检核结论见 PDF）; 1 文件或数据无法使用、输出无法写入; 2 用法错误; "
    "3 检核未通过或无法检核（import：有测站或测段超限，NET.pc 仍已写出）; 多个文件时取最严重者\n";

// The short usage a usage error ends with.
const char kShortUsage[] =
    "用法: levelnet adjust|check FILE.pc ... | levelnet results [--format F] FILE.pc | levelnet report FILE.pc --pdf "
    "OUT.pdf | levelnet normalize IN.pc OUT.pc | levelnet import FIELD_FILE ... -o NET.pc（levelnet --help "
    "显示全部说明）\n";

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
  bool resultsOnly = false;  // adjust --results: sections 1, 5, 6 and 7 only
  std::string pdf;           // report: the PDF file
  bool withCheck = false;    // report: the check report goes into the PDF too
  // import: known points, section ends, unit-weight length, weighting.
  std::vector<std::pair<std::string, std::string>> known;
  std::vector<std::string> sectionEnds;
  std::vector<std::string> records;  // check: the field files the network came from
  std::string unitLength;
  std::string weight;
  bool importOptionGiven = false;
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
    } else if (arg == "--results") {
      a.resultsOnly = true;
    } else if (arg == "--pdf" || arg.rfind("--pdf=", 0) == 0) {
      if (arg == "--pdf") {
        if (i + 1 >= argc) throw UsageError("--pdf 后面缺少文件名");
        a.pdf = argv[++i];
      } else {
        a.pdf = arg.substr(std::string("--pdf=").size());
      }
      if (a.pdf.empty()) throw UsageError("--pdf 后面缺少文件名");
    } else if (arg == "--with-check") {
      a.withCheck = true;
    } else if (arg == "--records") {
      if (i + 1 >= argc) throw UsageError("--records 后面缺少观测手簿或数据文件名");
      a.records.push_back(argv[++i]);
    } else if (arg == "--known" || arg == "--section-end" || arg == "--unit-length" || arg == "--weight") {
      if (i + 1 >= argc) throw UsageError(arg + " 后面缺少值");
      const std::string value = argv[++i];
      a.importOptionGiven = true;
      if (arg == "--unit-length") {
        a.unitLength = value;
      } else if (arg == "--weight") {
        if (value != "length" && value != "stations")
          throw UsageError("--weight 的值“" + value + "”不对（可用 length 或 stations）");
        a.weight = value;
      } else {
        // Several values may be given at once, separated by commas.
        std::size_t start = 0;
        while (start <= value.size()) {
          std::size_t comma = value.find(',', start);
          if (comma == std::string::npos) comma = value.size();
          const std::string item = value.substr(start, comma - start);
          start = comma + 1;
          if (arg == "--section-end") {
            if (item.empty()) throw UsageError("--section-end 后面的点名为空");
            a.sectionEnds.push_back(item);
            continue;
          }
          const std::size_t eq = item.find('=');
          if (eq == std::string::npos || eq == 0 || eq + 1 == item.size())
            throw UsageError("--known 的值“" + item + "”应写成 点名=高程，如 BM1=12.345");
          a.known.emplace_back(item.substr(0, eq), item.substr(eq + 1));
        }
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
  if (a.help || a.version) return a;
  if (positional.empty()) throw UsageError("缺少命令");
  a.command = positional.front();
  a.files.assign(positional.begin() + 1, positional.end());
  if (a.command == "adjust" || a.command == "check") {
    if (a.files.empty()) throw UsageError(a.command + " 需要至少一个文件名");
  } else if (a.command == "results") {
    if (a.files.size() != 1) throw UsageError("results 需要一个文件名");
    if (a.format == "xlsx" && a.output.empty()) throw UsageError("--format xlsx 需要用 -o 指定输出文件");
    if (checkOptionGiven && !a.withCheck)
      throw UsageError("--grade、--terrain 和 --sigma-km 用于检核：results 须同时给出 --with-check");
  } else if (a.command == "report") {
    if (a.files.size() != 1) throw UsageError("report 需要一个文件名");
    if (a.pdf.empty()) throw UsageError("report 需要用 --pdf 指定输出的 PDF 文件");
    if (!a.output.empty()) throw UsageError("report 的输出文件用 --pdf 指定，不接受 -o");
    if ((!a.terrain.empty() || !a.sigmaKm.empty()) && !a.withCheck)
      throw UsageError("--terrain 和 --sigma-km 只用于检核：report 须同时给出 --with-check");
  } else if (a.command == "import") {
    if (a.files.empty()) throw UsageError("import 需要至少一个观测手簿或数据文件");
    if (a.output.empty()) throw UsageError("import 需要用 -o 指定要写出的平差文件（.pc）");
    if (!a.sigmaKm.empty()) throw UsageError("--sigma-km 只用于 check 和 report");
  } else if (a.command == "normalize") {
    if (a.files.size() != 2) throw UsageError("normalize 需要输入和输出两个文件名");
    if (!a.output.empty()) throw UsageError("normalize 的输出文件就是 OUT，不接受 -o");
    if (a.files[0] == "-" && a.files[1] == "-") throw UsageError("normalize 的输入和输出不能都是 -");
  } else {
    throw UsageError("未知的命令“" + a.command + "”");
  }
  if (a.formatGiven && a.command != "results") throw UsageError("--format 只用于 results");
  if (a.resultsOnly && a.command != "adjust") throw UsageError("--results 只用于 adjust");
  if (!a.records.empty() && a.command != "check") throw UsageError("--records 只用于 check");
  if (!a.records.empty() && a.files.size() != 1) throw UsageError("--records 只能和一个平差文件一起用");
  for (const std::string& r : a.records)
    if (r == "-") throw UsageError("--records 不能从标准输入读入（需要文件名）");
  if (a.importOptionGiven && a.command != "import")
    throw UsageError("--known、--section-end、--unit-length 和 --weight 只用于 import");
  if (checkOptionGiven && a.command != "check" && a.command != "report" && a.command != "results" &&
      a.command != "import")
    throw UsageError("--grade、--terrain 和 --sigma-km 只用于 check、report、results 和 import");
  if (!a.pdf.empty() && a.command != "report") throw UsageError("--pdf 只用于 report");
  if (a.withCheck && a.command != "report" && a.command != "results")
    throw UsageError("--with-check 只用于 report 和 results");
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

// Report text into the temporary file of the safe save of -o, block by
// block as the writer hands it over, in UTF-8 or converted to GBK. A write
// that fails is about the output file, not about the file being adjusted.
class SavedFileSink : public TextSink {
 public:
  SavedFileSink(FileWriter& file, const std::string& encoding) : file_(file), gbk_(encoding == "gbk") {}
  void write(std::string_view bytes) override {
    std::optional<std::string> converted;
    if (gbk_) {
      converted = utf8ToGbk(bytes);
      if (!converted) throw InputError("报告含有 GBK 编码无法表示的字符，请改用 --encoding utf-8");
      bytes = *converted;
    }
    try {
      file_.write(bytes);
    } catch (const Error& e) {
      throw OutputError(e.what());
    }
  }

 private:
  FileWriter& file_;
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
// How large a network a command accepts: the textbook report and Save keep
// the .pc limits; the results mode, the 成果表 and check, which need no
// t x t matrices, take larger networks.
NetworkLimits limitsFor(const Arguments& a) {
  const bool large = a.command == "check" || a.command == "results" || (a.command == "adjust" && a.resultsOnly);
  return large ? kLargeNetworkLimits : kReportLimits;
}

NetworkText openNetwork(const std::string& path, const Arguments& a, std::istream& in, std::ostream& err) {
  NetworkText net;
  const ProjectData data = path == "-" ? readProjectStream(in, displayName(path), a.inputEncoding, limitsFor(a))
                                       : readProjectFile(path, a.inputEncoding, limitsFor(a));
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
  } catch (const Error& e) {
    throw OutputError(e.what());
  }
}

// Adjusts one file into `sink`. The results are computed in full before the
// first line is written, so a refused run writes nothing; then the report
// streams out as it is written, never held whole.
int adjustOne(const std::string& path, const Arguments& a, std::istream& in, TextSink& sink, std::ostream& err) {
  NetworkText net = openNetworkToAdjust(path, a, in, err);
  if (a.encoding == "gbk") requireGbkNames(net);
  if (a.resultsOnly) {
    // Sections 1, 5, 6 and 7 through the sparse path: computed in full
    // before the first line is written, as the report.
    const AdjustmentResults results =
        computeResults(gatherNetwork(net.fields, net.points, net.observations, limitsFor(a)));
    writeResultsSections(results, sink);
    warnOfDuplicates(path, results.net.duplicateNames, err);
    return kDone;
  }
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
  } catch (const Error& e) {
    throw UsageError(e.what());
  }
  return options;
}

// check --records: the station and section checks of the field files the
// network came from, after the check report, and whether their sections are
// the network's observations. True when every station and section passed.
bool fieldRecordsCheck(const Arguments& a, const NetworkText& net, TextSink& sink) {
  fieldbook::ImportOptions options;
  // The check's grade where the field checks have it; 等外 is the
  // engineering fifth order; without a grade 四等.
  if (a.grade == "二等" || a.grade == "三等" || a.grade == "四等") options.grade = a.grade;
  if (a.grade == "等外") options.grade = "工程五等";
  options.terrain = a.terrain;
  const fieldbook::FieldImport imported = fieldbook::importFieldFiles(a.records, options);
  // A section matches an observation with the same end points (either way)
  // and the same height difference as the .pc carries it (0.1 mm).
  int matched = 0;
  const int observations = net.observations.rows() - 1;
  for (const auto& section : imported.project.observations) {
    const std::optional<double> dh = parseNumber(section[2]);
    for (int r = 1; r <= observations; ++r) {
      const std::string from = net.observations.text(r, 1), to = net.observations.text(r, 2);
      const std::optional<double> h = parseNumber(net.observations.text(r, 3));
      if (!dh || !h) continue;
      const bool same = from == section[0] && to == section[1] && std::fabs(*h - *dh) < 0.00005;
      const bool reversed = from == section[1] && to == section[0] && std::fabs(*h + *dh) < 0.00005;
      if (same || reversed) {
        ++matched;
        break;
      }
    }
  }
  std::string files;
  for (const std::string& f : a.records) files += (files.empty() ? "" : "、") + displayName(f);
  std::string text = "\r\n观测手簿检核（" + files + "，" + options.grade + "）\r\n";
  text += "  手簿得出的 " + std::to_string(imported.project.observations.size()) + " 个观测值中 " +
          std::to_string(matched) + " 个与平差文件的观测值相同（起点、终点和高差）\r\n";
  if (matched != static_cast<int>(imported.project.observations.size()))
    text += "  注意：平差文件不全是由这些观测手簿得来的，下面的测站检核只说明手簿本身\r\n";
  text += "\r\n" + imported.report;
  sink.write(text);
  return imported.passed;
}

int checkOne(const std::string& path, const Arguments& a, const CheckOptions& options, std::istream& in, TextSink& sink,
             std::ostream& err) {
  NetworkText net = openNetworkToAdjust(path, a, in, err);
  const CheckOutcome outcome =
      checkNetwork(gatherNetwork(net.fields, net.points, net.observations, limitsFor(a)), options, displayName(path));
  sink.write(outcome.report);
  bool passed = outcome.passed;
  if (!a.records.empty()) passed = fieldRecordsCheck(a, net, sink) && passed;
  return passed ? kDone : kCheckFailed;
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
  // Within the .pc limits the textbook solver, as always (the JSON's
  // unrounded numbers are its own); beyond them the sparse path, whose
  // rounded figures are the same.
  LevelingNetwork network = gatherNetwork(net.fields, net.points, net.observations, limitsFor(a));
  // --with-check adds the check's r and w (τ) of every observation; its
  // verdict is the check command's business.
#ifdef LEVELNET_WITH_CHECK
  std::optional<ResidualAnalysis> residuals;
  if (a.withCheck) residuals = checkNetwork(network, checkOptions(a), displayName(path)).residuals;
#else
  if (a.withCheck) throw InputError("这个版本没有编译 check（需要 Boost.Math），无法 --with-check");
#endif
  const bool textbook =
      network.pointCount <= kReportLimits.points && network.observationCount <= kReportLimits.observations;
  const AdjustmentResults computed =
      textbook ? computeAdjustment(std::move(network)) : computeResults(std::move(network));
  warnOfDuplicates(path, computed.net.duplicateNames, err);
  ResultsTable table = makeResultsTable(computed);
#ifdef LEVELNET_WITH_CHECK
  if (residuals) addCheckFigures(table, *residuals);
#endif
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

#ifdef LEVELNET_WITH_PDF
// The date of the title block, "YYYY-MM-DD": today here, or the day (UTC) of
// SOURCE_DATE_EPOCH, seconds since 1970, when that is set, so that a
// document made again, or by a test, carries a fixed date.
std::string documentDate() {
  int year = 0, month = 0, day = 0;
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  if (epoch && *epoch) {
    const std::string text = epoch;
    if (text.size() > 15 || text.find_first_not_of("0123456789") != std::string::npos)
      throw InputError("环境变量 SOURCE_DATE_EPOCH 的值“" + text + "”不是自 1970 年 1 月 1 日起的秒数");
    // Days since 1970-01-01 to the civil date (proleptic Gregorian calendar).
    const long long z = std::stoll(text) / 86400 + 719468;
    const long long era = z / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
  } else {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    if (!local) throw InputError("无法取得今天的日期");
    year = local->tm_year + 1900;
    month = local->tm_mon + 1;
    day = local->tm_mday;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return text;
}

// Adjusts one file (and checks it with --with-check) and saves the PDF
// document ("-" as --pdf: to standard output). Everything is computed and
// the whole PDF made before the file is written; a check that fails is told
// in the document and on standard error, and the status stays 0: the
// document asked for was written.
int report(const Arguments& a, std::istream& in, std::ostream& out, std::ostream& err) {
  const std::string& path = a.files[0];
#ifdef LEVELNET_WITH_CHECK
  const CheckOptions options = checkOptions(a);  // the grade is checked also without --with-check
#else
  if (a.withCheck) throw InputError("这个版本没有编译 check（需要 Boost.Math），无法 --with-check");
  if (!a.grade.empty() && a.grade != "二等" && a.grade != "三等" && a.grade != "四等" && a.grade != "等外")
    throw UsageError("未知的等级“" + a.grade + "”（可用 二等、三等、四等 或 等外）");
#endif
  NetworkText net = openNetworkToAdjust(path, a, in, err);
  LevelingNetwork network = gatherNetwork(net.fields, net.points, net.observations);
  print::ReportDocument document;
  document.fileName = displayName(path);
  document.date = documentDate();
  document.knownCount = network.knownCount;
  document.unknownCount = network.unknownCount;
  document.observationCount = network.observationCount;
  document.grade = a.grade;
  bool passed = true;
#ifdef LEVELNET_WITH_CHECK
  if (a.withCheck) {
    CheckOutcome outcome = checkNetwork(network, options, displayName(path));
    document.checkText = std::move(outcome.report);
    passed = outcome.passed;
  }
#endif
  const AdjustmentResults computed = computeAdjustment(std::move(network));
  warnOfDuplicates(path, computed.net.duplicateNames, err);
  document.results = makeResultsTable(computed);
  StringSink text;
  writeReport(computed, text);
  document.reportText = std::move(text.text);
  const std::string bytes = print::reportDocumentPdfWithoutDisplay(document);
  if (a.pdf == "-") {
    writeOut(out, bytes);
    flushOut(out);
  } else {
    try {
      saveFileSafely(a.pdf, bytes);
    } catch (const Error& e) {
      throw OutputError(e.what());
    }
  }
  if (!passed)
    err << "levelnet: " << displayName(path) << ": 注意：检核未通过，详见 PDF 的“五、检核报告”（PDF 已写出）\n";
  return kDone;
}
#endif

// Saves IN as the window's Save does; "-" as OUT writes the bytes to
// standard output.
int normalize(const Arguments& a, std::istream& in, std::ostream& out, std::ostream& err) {
  NetworkText net = openNetwork(a.files[0], a, in, err);
  if (a.files[1] == "-") {
    std::string bytes;
    try {
      bytes = formatProjectBytes(net.fields, net.points, net.observations);
    } catch (const Error& e) {
      throw InputError("无法写到标准输出：" + std::string(e.what()));
    }
    writeOut(out, bytes);
    flushOut(out);
  } else {
    // A save that fails is about OUT, not about the file read.
    try {
      writeProjectFile(a.files[1], net.fields, net.points, net.observations);
    } catch (const Error& e) {
      throw OutputError(e.what());
    }
  }
  return kDone;
}

// Reads field records into a network, writes it to -o through the safe
// save and the station-check report to standard output. All files are read
// and checked before anything is written: a refused file writes nothing. A
// check that fails still writes the network (the observations are what was
// observed) and exits 3; a failed write is an error, never success.
int importFieldRecords(const Arguments& a, std::ostream& out, std::ostream& err) {
  for (const std::string& path : a.files)
    if (path == "-") throw UsageError("import 不能从标准输入读入（需要文件名，报告中要用到）");
  fieldbook::ImportOptions options;
  if (!a.grade.empty()) options.grade = a.grade;
  options.terrain = a.terrain;
  options.known = a.known;
  options.sectionEnds = a.sectionEnds;
  if (!a.unitLength.empty()) options.unitLength = a.unitLength;
  options.weightByStations = a.weight == "stations";
  try {
    fieldbook::gradeTolerances(options.grade, fieldbook::Instrument::optical);
  } catch (const Error& e) {
    throw UsageError(e.what());
  }
  // Each file is read on its own first, so that a refusal names its file;
  // every refused file is reported.
  std::vector<fieldbook::FieldText> texts;
  bool refused = false;
  for (const std::string& path : a.files) {
    try {
      fieldbook::FieldText text = fieldbook::readFieldFile(path);
      fieldbook::readFieldLines(text);
      texts.push_back(std::move(text));
    } catch (const Error& e) {
      err << "levelnet: " << path << ": " << e.what() << "\n";
      refused = true;
    }
  }
  if (refused) return kRefused;
  const fieldbook::FieldImport imported = fieldbook::importFieldTexts(texts, options);
  std::string report = imported.report;
  if (a.encoding == "gbk") {
    const std::optional<std::string> converted = utf8ToGbk(report);
    if (!converted) throw InputError("报告含有 GBK 编码无法表示的字符，请改用 --encoding utf-8");
    report = *converted;
  }
  NetworkText net;
  applyProject(imported.project, net.fields, net.points, net.observations);
  try {
    writeProjectFile(a.output, net.fields, net.points, net.observations);
  } catch (const Error& e) {
    throw OutputError(e.what());
  }
  writeOut(out, report);
  flushOut(out);
  if (!imported.passed) err << "levelnet: 注意：有测站或测段超限（见报告），" << a.output << " 已写出\n";
  return imported.passed ? kDone : kCheckFailed;
}

// How bad an exit status is, for the worst of several files: a file that
// could not be used at all outweighs a check that found a fault.
int severity(int status) { return status == kRefused ? 2 : status == kCheckFailed ? 1 : 0; }

// Runs `one` for every file of an adjust or check call. With several files
// each report is preceded by a line naming its file. A refused file is
// reported and the others go on; the status is the worst of them. With -o
// the reports stream into the safe save's temporary file, which replaces the
// target once all are written; when no file gave a report the target is
// left as it was.
template <class RunOne>
int forEveryFile(const Arguments& a, std::ostream& out, std::ostream& err, RunOne&& one) {
  int worst = kDone;
  int delivered = 0;
  auto runAll = [&](TextSink& sink) {
    for (const std::string& path : a.files) {
      int status = kDone;
      try {
        if (a.files.size() > 1) sink.write("==> " + displayName(path) + " <==\r\n");
        status = one(path, sink);
        if (a.files.size() > 1) sink.write("\r\n");
        ++delivered;
      } catch (const Error& e) {
        err << "levelnet: " << displayName(path) << ": " << e.what() << "\n";
        status = kRefused;
      } catch (const std::bad_alloc&) {
        err << "levelnet: " << displayName(path) << ": 内存不足，无法完成\n";
        status = kRefused;
      }
      if (severity(status) > severity(worst)) worst = status;
    }
  };
  if (a.output.empty()) {
    OutputSink streamed(out, a.encoding);
    runAll(streamed);
    flushOut(out);
    return worst;
  }
  struct NothingToSave {};
  try {
    saveFileSafely(a.output, [&](FileWriter& file) {
      SavedFileSink sink(file, a.encoding);
      runAll(sink);
      if (delivered == 0) throw NothingToSave{};
    });
  } catch (const NothingToSave&) {
  } catch (const Error& e) {
    throw OutputError(e.what());
  }
  return worst;
}

}  // namespace

#ifndef LEVELNET_WITH_PDF
// levelnet-pdf: this command line built with the PDF writer, which needs Qt.
// It lies beside this program in a build folder, and in the libexec folder
// once installed. Empty when there is none.
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

// Hands the whole call over to levelnet-pdf; returns only when it cannot.
int runPdfProgram(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
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
#endif

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
    if (a.command == "import") return importFieldRecords(a, out, err);
    if (a.command == "results") return results(a, in, out, err);
    if (a.command == "report") {
#ifdef LEVELNET_WITH_PDF
      return report(a, in, out, err);
#else
      return runPdfProgram(argc, argv, out, err);
#endif
    }
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
  } catch (const Error& e) {
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
