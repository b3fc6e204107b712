#include "session/field_books.h"

#include <cmath>
#include <optional>
#include <set>

#include "fieldbook/import.h"
#include "network/errors.h"
#include "network/number_text.h"
#include "network/safe_file.h"
#include "session/grades.h"

namespace levelnet::session {

FieldBookReading readFieldBooks(const std::vector<std::string>& paths, std::istream* standardInput) {
  FieldBookReading out;
  bool inputRead = false;
  for (const std::string& path : paths) {
    try {
      FieldBook book;
      if (path == "-") {
        const std::string name = "标准输入";
        if (!standardInput) throw InputError("这里不能从标准输入读观测手簿");
        if (inputRead) throw InputError("标准输入只能作为一个观测手簿读一次");
        inputRead = true;
        const std::string tooLarge = "标准输入超过 " + std::to_string(fieldbook::kMaxFieldFileBytes >> 20) +
                                     " MiB，不像是观测手簿或电子水准仪的数据文件";
        book = {name, fieldbook::decodeFieldBytes(
                          readBoundedStream(*standardInput, name, fieldbook::kMaxFieldFileBytes, tooLarge), name)};
      } else {
        book = {path, fieldbook::readFieldFile(path)};
      }
      fieldbook::readFieldLines(book.text);  // refuses a file in no known format now, naming it
      out.books.push_back(std::move(book));
    } catch (const Error& e) {
      out.refusals.push_back({path, e.what()});
    }
  }
  return out;
}

namespace {

std::vector<fieldbook::FieldText> textsOf(const std::vector<FieldBook>& books) {
  std::vector<fieldbook::FieldText> texts;
  texts.reserve(books.size());
  for (const FieldBook& b : books) texts.push_back(b.text);
  return texts;
}

}  // namespace

CorrectionSettings parseCorrectionSettings(std::string_view text) {
  CorrectionSettings settings;
  const std::pair<const char*, std::string CorrectionSettings::*> keys[] = {
      {"尺长", &CorrectionSettings::rodMetreError},
      {"膨胀系数", &CorrectionSettings::rodExpansion},
      {"检定温度", &CorrectionSettings::calibrationTemperature},
      {"尺温文件", &CorrectionSettings::rodTemperaturesFile},
      {"点位文件", &CorrectionSettings::pointsFile}};
  std::string rest(text);
  for (const char* wide : {"，", "；"})
    for (std::size_t at = rest.find(wide); at != std::string::npos; at = rest.find(wide)) rest.replace(at, 3, ",");
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = rest.find_first_of(",;\r\n", start);
    if (end == std::string::npos) end = rest.size();
    const std::string piece(fieldbook::trimmed(std::string_view(rest).substr(start, end - start)));
    start = end + 1;
    if (piece.empty()) continue;
    const std::size_t equals = piece.find('=');
    bool known = false;
    if (equals != std::string::npos) {
      const std::string key(fieldbook::trimmed(std::string_view(piece).substr(0, equals)));
      const std::string value(fieldbook::trimmed(std::string_view(piece).substr(equals + 1)));
      for (const auto& [name, field] : keys)
        if (key == name && !value.empty()) {
          settings.*field = value;
          known = true;
        }
    }
    if (!known) throw InputError("改正“" + piece + "”应写成 尺长=…、膨胀系数=…、检定温度=…、尺温文件=… 或 点位文件=…");
  }
  return settings;
}

std::vector<std::string> correctionFiles(const CorrectionSettings& settings) {
  std::vector<std::string> files;
  for (const std::string* f : {&settings.rodTemperaturesFile, &settings.pointsFile})
    if (!f->empty()) files.push_back(*f);
  return files;
}

fieldbook::CorrectionInputs correctionInputs(const CorrectionSettings& settings) {
  fieldbook::CorrectionInputs in;
  auto number = [](const std::string& text, const char* what, double low, double high) -> std::optional<double> {
    if (text.empty()) return std::nullopt;
    const std::optional<double> v = fieldbook::fieldNumber(text);
    if (!v || *v < low || *v > high)
      throw InputError(std::string(what) + "“" + text + "”不是 " + numberText(low) + " 至 " + numberText(high) +
                       " 之间的数");
    return v;
  };
  in.rodMetreError = number(settings.rodMetreError, "标尺平均米长误差(mm/m)", -1.0, 1.0);
  in.rodExpansion = number(settings.rodExpansion, "标尺膨胀系数(mm/(m·℃))", -0.1, 0.1);
  in.calibrationTemperature = number(settings.calibrationTemperature, "标尺检定温度(℃)", -60.0, 80.0).value_or(20.0);
  if (!settings.rodTemperaturesFile.empty()) {
    if (!in.rodExpansion) throw InputError("给了尺温文件，但没有给出标尺的膨胀系数");
    in.runTemperatures = fieldbook::readRunTemperatures(fieldbook::readFieldFile(settings.rodTemperaturesFile));
  }
  if (!settings.pointsFile.empty())
    in.points = fieldbook::readPointsFile(fieldbook::readFieldFile(settings.pointsFile));
  return in;
}

FieldImportRun importFieldBooks(const std::vector<FieldBook>& books, const ImportSettings& settings) {
  fieldbook::ImportOptions options;
  options.grade = fieldGradeFor(settings.grade);
  options.terrain = settings.terrain;
  options.known = settings.known;
  options.sectionEnds = settings.sectionEnds;
  options.unitLength = settings.unitLength;
  options.weightByStations = settings.weightByStations;
  options.corrections = correctionInputs(settings.corrections);
  const fieldbook::FieldImport imported = fieldbook::importFieldTexts(textsOf(books), options);
  FieldImportRun run;
  NetworkText& net = run.network;
  applyProject(imported.project, net.fields, net.points, net.observations);
  run.report = imported.report;
  run.passed = imported.passed;
  return run;
}

RecordsCheck checkFieldRecords(const NetworkText& network, const std::vector<FieldBook>& books,
                               const std::string& grade, const std::string& terrain,
                               const fieldbook::CorrectionInputs& corrections) {
  fieldbook::ImportOptions options;
  options.corrections = corrections;
  options.grade = fieldGradeFor(grade);
  options.terrain = terrain;
  // The network's known points, as the import was given them, and every
  // end of an observation: the import cut its sections there. Only names
  // the books hold count: the books may be of a part of the network.
  std::set<std::string> inBooks;
  for (const FieldBook& book : books)
    for (const fieldbook::FieldLine& line : fieldbook::readFieldLines(book.text))
      for (const fieldbook::FieldStation& station : line.stations) {
        inBooks.insert(station.backPoint);
        inBooks.insert(station.forePoint);
      }
  const std::optional<double> knownCount = parseNumber(network.fields.known);
  const int known = knownCount && *knownCount >= 0 ? static_cast<int>(*knownCount) : 0;
  std::set<std::string> knownNames;
  for (int i = 1; i <= known && i < network.points.rows(); ++i) {
    const std::string name = network.points.text(i, 1);
    if (name.empty() || !inBooks.count(name) || !knownNames.insert(name).second) continue;
    options.known.emplace_back(name, network.points.text(i, 2));
  }
  std::set<std::string> ends;
  for (int r = 1; r < network.observations.rows(); ++r)
    for (int c : {1, 2}) {
      const std::string name = network.observations.text(r, c);
      if (!name.empty() && inBooks.count(name) && !knownNames.count(name)) ends.insert(name);
    }
  options.sectionEnds.assign(ends.begin(), ends.end());
  const fieldbook::FieldImport imported = fieldbook::importFieldTexts(textsOf(books), options);

  RecordsCheck out;
  out.sections = static_cast<int>(imported.project.observations.size());
  const int observations = network.observations.rows() - 1;
  for (const auto& section : imported.project.observations) {
    const std::optional<double> dh = parseNumber(section[2]);
    for (int r = 1; r <= observations && dh; ++r) {
      const std::string from = network.observations.text(r, 1), to = network.observations.text(r, 2);
      const std::optional<double> h = parseNumber(network.observations.text(r, 3));
      if (!h) continue;
      const bool same = from == section[0] && to == section[1] && std::fabs(*h - *dh) < 0.00005;
      const bool reversed = from == section[1] && to == section[0] && std::fabs(*h + *dh) < 0.00005;
      if (same || reversed) {
        ++out.matched;
        break;
      }
    }
  }
  std::string names;
  for (const FieldBook& b : books) names += (names.empty() ? "" : "、") + b.name;
  out.text = "\r\n观测手簿检核（" + names + "，" + options.grade + "）\r\n";
  out.text += "  手簿得出的 " + std::to_string(out.sections) + " 个观测值中 " + std::to_string(out.matched) +
              " 个与平差文件的观测值相同（起点、终点和高差）\r\n";
  if (out.matched != out.sections)
    out.text += "  注意：平差文件不全是由这些观测手簿得来的，下面的测站检核只说明手簿本身\r\n";
  out.text += "\r\n" + imported.report;
  out.passed = imported.passed;
  return out;
}

}  // namespace levelnet::session
