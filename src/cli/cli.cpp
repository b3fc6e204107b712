#include "cli/cli.h"

#include <algorithm>
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

namespace levelnet {

namespace {

// A wrong option value: exit status 2, as for other usage errors.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

constexpr int kDone = 0;
constexpr int kRefused = 1;
constexpr int kUsage = 2;
constexpr int kCheckFailed = 3;
constexpr std::size_t kBlock = std::size_t(1) << 20;  // bytes of report converted at once

const char kUsageText[] =
    "用法:\n"
    "  levelnet adjust FILE.pc [--encoding utf-8|gbk]\n"
    "      平差 FILE.pc，把平差报告写到标准输出（默认 UTF-8，行尾 \\r\\n）\n"
    "  levelnet check FILE.pc [--grade 二等|三等|四等|等外] [--terrain 平原|山区] [--sigma-km S]\n"
    "      检核观测数据：闭合差与限差、单位权方差的χ²检验、粗差探测\n"
    "  levelnet normalize IN.pc OUT.pc\n"
    "      读入 IN.pc 并按“保存”的格式写成 OUT.pc\n"
    "  levelnet gui [FILE.pc]\n"
    "      打开平差窗口\n"
    "  levelnet test\n"
    "      编译并运行全部测试\n"
    "  levelnet --help\n"
    "      显示本说明\n"
    "退出码: 0 完成; 1 文件或数据无法使用; 2 用法错误; 3 检核未通过\n";

struct Arguments {
  std::string command;
  std::vector<std::string> files;
  std::string encoding = "utf-8";
  std::string grade, terrain, sigmaKm;
  bool help = false;
  std::string error;  // non-empty: usage error
};

Arguments parse(int argc, const char* const* argv) {
  Arguments a;
  std::vector<std::string> positional;
  bool encodingGiven = false;
  bool checkOptionGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      a.help = true;
    } else if (arg == "--encoding" || arg.rfind("--encoding=", 0) == 0) {
      std::string value;
      if (arg == "--encoding") {
        if (i + 1 >= argc) {
          a.error = "--encoding 后面缺少编码名";
          return a;
        }
        value = argv[++i];
      } else {
        value = arg.substr(std::string("--encoding=").size());
      }
      if (value == "utf-8" || value == "UTF-8" || value == "utf8") a.encoding = "utf-8";
      else if (value == "gbk" || value == "GBK") a.encoding = "gbk";
      else {
        a.error = "未知的编码“" + value + "”（可用 utf-8 或 gbk）";
        return a;
      }
      encodingGiven = true;
    } else if (arg == "--grade" || arg == "--terrain" || arg == "--sigma-km") {
      if (i + 1 >= argc) {
        a.error = arg + " 后面缺少值";
        return a;
      }
      (arg == "--grade" ? a.grade : arg == "--terrain" ? a.terrain : a.sigmaKm) = argv[++i];
      checkOptionGiven = true;
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      a.error = "未知的选项“" + arg + "”";
      return a;
    } else {
      positional.push_back(arg);
    }
  }
  if (a.help) return a;
  if (positional.empty()) {
    a.error = "缺少命令";
    return a;
  }
  a.command = positional.front();
  a.files.assign(positional.begin() + 1, positional.end());
  if (a.command == "adjust") {
    if (a.files.size() != 1) a.error = "adjust 需要一个文件名";
  } else if (a.command == "check") {
    if (a.files.size() != 1) a.error = "check 需要一个文件名";
    else if (encodingGiven) a.error = "check 不接受 --encoding";
  } else if (a.command == "normalize") {
    if (a.files.size() != 2) a.error = "normalize 需要输入和输出两个文件名";
    else if (encodingGiven) a.error = "normalize 不接受 --encoding";
  } else {
    a.error = "未知的命令“" + a.command + "”";
  }
  if (a.error.empty() && checkOptionGiven && a.command != "check")
    a.error = "--grade、--terrain 和 --sigma-km 只用于 check";
  return a;
}

// Opens a file as the window's Open does, into in-memory fields and tables.
NetworkText openNetwork(const std::string& path) {
  NetworkText net;
  applyProject(readProjectFile(path), net.fields, net.points, net.observations);
  return net;
}

int adjust(const Arguments& a, std::ostream& out) {
  NetworkText net = openNetwork(a.files[0]);
  if (net.fields.known.empty())
    throw InputError("文件“" + a.files[0] + "”第 1 行：已知点个数为空，无法平差");
  const std::string report = runAdjustment(net.fields, net.points, net.observations);
  if (a.encoding == "gbk") {
    // Converted and written a block of whole lines at a time, so a report of
    // a hundred megabytes needs no second copy of itself. Checked whole
    // before anything is written: a refusal leaves standard output empty.
    std::string gbk;
    for (int pass = 0; pass < 2; ++pass) {
      for (std::size_t start = 0; start < report.size();) {
        std::size_t end = report.find('\n', std::min(report.size(), start + kBlock));
        end = end == std::string::npos ? report.size() : end + 1;
        if (!utf8ToGbk(std::string_view(report).substr(start, end - start), gbk))
          throw InputError("平差报告含有 GBK 编码无法表示的字符，请改用 --encoding utf-8");
        if (pass == 1) out.write(gbk.data(), static_cast<std::streamsize>(gbk.size()));
        start = end;
      }
    }
  } else {
    out.write(report.data(), static_cast<std::streamsize>(report.size()));
  }
  out.flush();
  return kDone;
}

#ifdef LEVELNET_WITH_CHECK
int check(const Arguments& a, std::ostream& out) {
  CheckOptions options;
  options.grade = a.grade;
  options.terrain = a.terrain;
  if (!a.sigmaKm.empty()) {
    options.sigmaGiven = true;
    if (!parseNumber(a.sigmaKm, options.sigmaKm) || !(options.sigmaKm > 0.0))
      throw UsageError("--sigma-km “" + a.sigmaKm + "”不是大于 0 的数");
  }
  try {
    toleranceCoefficient(options.grade, options.terrain);
  } catch (const InputError& e) {
    throw UsageError(e.what());
  }
  NetworkText net = openNetwork(a.files[0]);
  if (net.fields.known.empty())
    throw InputError("文件“" + a.files[0] + "”第 1 行：已知点个数为空，无法平差");
  const CheckOutcome outcome =
      checkNetwork(gatherNetwork(net.fields, net.points, net.observations), options, a.files[0]);
  out.write(outcome.report.data(), static_cast<std::streamsize>(outcome.report.size()));
  out.flush();
  return outcome.passed ? kDone : kCheckFailed;
}
#endif

int normalize(const Arguments& a) {
  NetworkText net = openNetwork(a.files[0]);
  writeProjectFile(a.files[1], net.fields, net.points, net.observations);
  return kDone;
}

}  // namespace

int runCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  const Arguments a = parse(argc, argv);
  if (a.help) {
    out << kUsageText;
    return kDone;
  }
  if (!a.error.empty()) {
    err << "levelnet: " << a.error << "\n" << kUsageText;
    return kUsage;
  }
  try {
    if (a.command == "adjust") return adjust(a, out);
    if (a.command == "normalize") return normalize(a);
#ifdef LEVELNET_WITH_CHECK
    return check(a, out);
#else
    err << "levelnet: 这个版本没有编译 check（需要 Boost.Math，请用 ./levelnet check 运行）\n";
    return kRefused;
#endif
  } catch (const UsageError& e) {
    err << "levelnet: " << e.what() << "\n" << kUsageText;
    return kUsage;
  } catch (const InputError& e) {
    err << "levelnet: " << e.what() << "\n";
    return kRefused;
  } catch (const std::exception& e) {
    err << "levelnet: 内部错误：" << e.what() << "\n";
    return kRefused;
  }
}

}  // namespace levelnet
