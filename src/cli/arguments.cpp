#include "cli/arguments.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "network/errors.h"

namespace levelnet::cli {

namespace {

using Commands = std::initializer_list<Command>;

// One option: its long name, an alias, whether it takes a value, the
// commands it belongs to (empty: all) and how it is applied.
struct Option {
  std::string_view name;
  std::string_view alias;
  bool takesValue;
  Commands commands;
  void (*apply)(Arguments& a, const std::string& value, std::string_view given);
};

void setEncoding(Arguments& a, const std::string& value, std::string_view) {
  if (value == "utf-8" || value == "UTF-8" || value == "utf8") {
    a.encoding = "utf-8";
    a.inputEncoding = FileEncoding::utf8;
  } else if (value == "gbk" || value == "GBK") {
    a.encoding = "gbk";
    a.inputEncoding = FileEncoding::gbk;
  } else {
    throw UsageError("未知的编码“" + value + "”（可用 utf-8 或 gbk）");
  }
  a.encodingGiven = true;
}

void setFormat(Arguments& a, const std::string& value, std::string_view) {
  if (value != "txt" && value != "csv" && value != "json" && value != "xlsx")
    throw UsageError("未知的成果表格式“" + value + "”（可用 txt、csv、json 或 xlsx）");
  a.format = value;
  a.formatGiven = true;
}

void addKnown(Arguments& a, const std::string& value, std::string_view) {
  try {
    for (auto& point : session::parseKnownPoints(value)) a.known.push_back(std::move(point));
  } catch (const InputError& e) {
    throw UsageError(std::string("--known：") + e.what());
  }
}

void addSectionEnds(Arguments& a, const std::string& value, std::string_view) {
  // Several names may be given at once, separated by commas.
  std::size_t start = 0;
  while (start <= value.size()) {
    std::size_t comma = value.find(',', start);
    if (comma == std::string::npos) comma = value.size();
    const std::string item = value.substr(start, comma - start);
    if (item.empty()) throw UsageError("--section-end 后面的点名为空");
    a.sectionEnds.push_back(item);
    start = comma + 1;
  }
}

void setWeight(Arguments& a, const std::string& value, std::string_view) {
  if (value != "length" && value != "stations")
    throw UsageError("--weight 的值“" + value + "”不对（可用 length 或 stations）");
  a.weight = value;
}

void addRecords(Arguments& a, const std::string& value, std::string_view) {
  if (value == "-") throw UsageError("--records 不能从标准输入读入（需要文件名）");
  a.records.push_back(value);
}

constexpr Command kAdjust = Command::adjust, kCheck = Command::check, kResults = Command::results,
                  kReport = Command::report, kImport = Command::import, kNormalize = Command::normalize,
                  kMonitor = Command::monitor, kPlot = Command::plot, kDesign = Command::design;

const Option kOptions[] = {
    {"--help", "-h", false, {}, [](Arguments& a, const std::string&, std::string_view) { a.help = true; }},
    {"--version", "-V", false, {}, [](Arguments& a, const std::string&, std::string_view) { a.version = true; }},
    {"--output",
     "-o",
     true,
     {kAdjust, kCheck, kResults, kImport, kMonitor, kPlot, kDesign},
     [](Arguments& a, const std::string& v, std::string_view) { a.output = v; }},
    {"--encoding", "", true, {}, setEncoding},
    {"--format", "", true, {kResults, kMonitor}, setFormat},
    {"--results",
     "",
     false,
     {kAdjust},
     [](Arguments& a, const std::string&, std::string_view) { a.resultsOnly = true; }},
    {"--pdf", "", true, {kReport, kMonitor}, [](Arguments& a, const std::string& v, std::string_view) { a.pdf = v; }},
    {"--with-check",
     "",
     false,
     {kReport, kResults, kPlot},
     [](Arguments& a, const std::string&, std::string_view) { a.withCheck = true; }},
    {"--coordinates",
     "",
     true,
     {kPlot},
     [](Arguments& a, const std::string& v, std::string_view) { a.coordinates = v; }},
    {"--add",
     "",
     true,
     {kDesign},
     [](Arguments& a, const std::string& v, std::string_view) { a.additions.push_back(v); }},
    {"--remove",
     "",
     true,
     {kDesign},
     [](Arguments& a, const std::string& v, std::string_view) { a.removals.push_back(v); }},
    {"--point-limit",
     "",
     true,
     {kDesign},
     [](Arguments& a, const std::string& v, std::string_view) { a.pointLimit = v; }},
    {"--records", "", true, {kCheck}, addRecords},
    {"--stable-rate",
     "",
     true,
     {kMonitor},
     [](Arguments& a, const std::string& v, std::string_view) { a.stableRate = v; }},
    {"--attention",
     "",
     true,
     {kMonitor},
     [](Arguments& a, const std::string& v, std::string_view) { a.attention = v; }},
    {"--known", "", true, {kImport}, addKnown},
    {"--section-end", "", true, {kImport}, addSectionEnds},
    {"--unit-length",
     "",
     true,
     {kImport},
     [](Arguments& a, const std::string& v, std::string_view) { a.unitLength = v; }},
    {"--weight", "", true, {kImport}, setWeight},
    {"--rod-metre-error",
     "",
     true,
     {kImport, kCheck},
     [](Arguments& a, const std::string& v, std::string_view) { a.corrections.rodMetreError = v; }},
    {"--rod-expansion",
     "",
     true,
     {kImport, kCheck},
     [](Arguments& a, const std::string& v, std::string_view) { a.corrections.rodExpansion = v; }},
    {"--rod-calibration-temperature",
     "",
     true,
     {kImport, kCheck},
     [](Arguments& a, const std::string& v, std::string_view) { a.corrections.calibrationTemperature = v; }},
    {"--rod-temperatures",
     "",
     true,
     {kImport, kCheck},
     [](Arguments& a, const std::string& v, std::string_view) { a.corrections.rodTemperaturesFile = v; }},
    {"--points",
     "",
     true,
     {kImport, kCheck},
     [](Arguments& a, const std::string& v, std::string_view) { a.corrections.pointsFile = v; }},
    {"--grade",
     "",
     true,
     {kCheck, kReport, kResults, kImport, kPlot, kDesign},
     [](Arguments& a, const std::string& v, std::string_view) {
       a.grade = v;
       a.checkOptionGiven = true;
     }},
    {"--terrain",
     "",
     true,
     {kCheck, kReport, kResults, kImport, kPlot, kDesign},
     [](Arguments& a, const std::string& v, std::string_view) {
       a.terrain = v;
       a.checkOptionGiven = true;
     }},
    {"--sigma-km",
     "",
     true,
     {kCheck, kReport, kResults, kPlot, kDesign},
     [](Arguments& a, const std::string& v, std::string_view) {
       a.sigmaKm = v;
       a.checkOptionGiven = true;
     }},
    {"--min-redundancy",
     "",
     true,
     {kCheck, kReport, kResults},
     [](Arguments& a, const std::string& v, std::string_view) {
       a.minRedundancy = v;
       a.checkOptionGiven = true;
     }},
    {"--iterate",
     "",
     false,
     {kCheck, kReport, kResults},
     [](Arguments& a, const std::string&, std::string_view) {
       a.iterate = true;
       a.checkOptionGiven = true;
     }},
};

// One command: its name, and how many files it takes.
struct CommandEntry {
  std::string_view name;
  Command command;
  std::size_t minFiles, maxFiles;
  const char* filesMessage;  // when the count is wrong
};

const CommandEntry kCommands[] = {
    {"adjust", kAdjust, 1, SIZE_MAX, "adjust 需要至少一个文件名"},
    {"check", kCheck, 1, SIZE_MAX, "check 需要至少一个文件名"},
    {"results", kResults, 1, 1, "results 需要一个文件名"},
    {"report", kReport, 1, 1, "report 需要一个文件名"},
    {"import", kImport, 1, SIZE_MAX, "import 需要至少一个观测手簿或数据文件"},
    {"normalize", kNormalize, 2, 2, "normalize 需要输入和输出两个文件名"},
    {"monitor", kMonitor, 1, 1, "monitor 需要一个监测项目文件名"},
    {"plot", kPlot, 1, 1, "plot 需要一个文件名"},
    {"design", kDesign, 1, 1, "design 需要一个文件名"},
};

const Option* findOption(std::string_view arg) {
  for (const Option& o : kOptions)
    if (arg == o.name || (!o.alias.empty() && arg == o.alias)) return &o;
  return nullptr;
}

std::string commandList(Commands commands) {
  std::vector<std::string> names;
  for (Command c : commands)
    for (const CommandEntry& entry : kCommands)
      if (entry.command == c) names.emplace_back(entry.name);
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i)
    text += (i == 0 ? "" : i + 1 == names.size() ? " 和 " : "、") + names[i];
  return text;
}

}  // namespace

Arguments parseArguments(int argc, const char* const* argv) {
  Arguments a;
  std::vector<std::string> positional;
  std::vector<const Option*> given;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    // --name=value for options that take one.
    const std::size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
    const std::string name = equals == std::string::npos ? arg : arg.substr(0, equals);
    const Option* option = findOption(name);
    if (option == nullptr || (equals != std::string::npos && !option->takesValue))
      throw UsageError("未知的选项“" + arg + "”");
    std::string value;
    if (option->takesValue) {
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else {
        if (i + 1 >= argc) throw UsageError(name + " 后面缺少值");
        value = argv[++i];
      }
      if (value.empty()) throw UsageError(name + " 后面缺少值");
    }
    option->apply(a, value, name);
    given.push_back(option);
  }
  if (a.help || a.version) return a;
  if (positional.empty()) throw UsageError("缺少命令");
  a.commandName = positional.front();
  a.files.assign(positional.begin() + 1, positional.end());
  const auto entry = std::find_if(std::begin(kCommands), std::end(kCommands),
                                  [&](const CommandEntry& c) { return c.name == a.commandName; });
  if (entry == std::end(kCommands)) throw UsageError("未知的命令“" + a.commandName + "”");
  a.command = entry->command;
  for (const Option* option : given) {
    const Commands& commands = option->commands;
    if (commands.size() != 0 && std::find(commands.begin(), commands.end(), a.command) == commands.end())
      throw UsageError(std::string(option->name) + " 只用于 " + commandList(commands));
  }
  if (a.files.size() < entry->minFiles || a.files.size() > entry->maxFiles) throw UsageError(entry->filesMessage);
  return a;
}

}  // namespace levelnet::cli
