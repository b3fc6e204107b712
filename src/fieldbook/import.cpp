#include "fieldbook/import.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

#include "fieldbook/readers.h"
#include "fieldbook/reduction.h"
#include "fieldbook/tolerances.h"
#include "network/errors.h"
#include "network/leveling_network.h"
#include "network/number_text.h"

namespace levelnet::fieldbook {

namespace {

// Columns of the report: a Chinese character takes two places.
std::size_t displayWidth(const std::string& s) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    width += n >= 3 ? 2 : 1;
    i += n;
  }
  return width;
}

std::string left(const std::string& s, std::size_t width) {
  const std::size_t w = displayWidth(s);
  return w >= width ? s + " " : s + std::string(width - w, ' ');
}

std::string right(const std::string& s, std::size_t width) {
  const std::size_t w = displayWidth(s);
  return w >= width ? " " + s : std::string(width - w, ' ') + s;
}

std::string fixed(double v, int decimals) { return fixedText(v, decimals); }

// The name of a line in the report: its own, or "FILE #k".
std::string lineLabel(const std::vector<FieldLine>& lines, std::size_t l) {
  if (!lines[l].name.empty()) return lines[l].name;
  int k = 0;
  for (std::size_t i = 0; i <= l; ++i)
    if (lines[i].file == lines[l].file) ++k;
  std::string file = lines[l].file;
  const std::size_t slash = file.find_last_of('/');
  if (slash != std::string::npos) file.erase(0, slash + 1);
  return file + "#" + std::to_string(k);
}

const char* methodName(StationMethod m) {
  switch (m) {
    case StationMethod::redBlack:
      return "双面尺（黑红面）";
    case StationMethod::doubleReading:
      return "每尺两次读数（BFFB/aBFFB）";
    case StationMethod::singleReading:
      return "每尺一次读数（BF/aBF）";
  }
  return "";
}

// Approximate elevations of the sections' points for the normal-surface
// correction: the points file's where it gives one, else carried from the
// known points along the observed sections.
std::map<std::string, double> approximateElevations(const ImportOptions& o, const std::vector<Section>& sections) {
  std::map<std::string, double> h;
  for (const auto& [name, p] : o.corrections.points)
    if (p.elevation) h[name] = *p.elevation;
  for (const auto& [name, elevation] : o.known)
    if (!h.count(name)) h[name] = *fieldNumber(elevation);
  for (bool changed = true; changed;) {
    changed = false;
    for (const Section& s : sections) {
      const bool from = h.count(s.from) > 0, to = h.count(s.to) > 0;
      if (from && !to) h[s.to] = h[s.from] + s.heightMm / 1000.0;
      if (to && !from) h[s.from] = h[s.to] - s.heightMm / 1000.0;
      changed = changed || from != to;
    }
  }
  return h;
}

// The corrections of every run; throws InputError where the inputs asked
// for one that a section's points cannot give (a point without latitude or
// elevation).
std::vector<SectionCorrections> correctionsOf(const ImportOptions& o, const std::vector<FieldLine>& lines,
                                              const FieldReduction& reduced) {
  const CorrectionInputs& in = o.corrections;
  std::vector<SectionCorrections> out;
  if (!in.any()) return out;
  const std::map<std::string, double> elevations = approximateElevations(o, reduced.sections);
  for (const Section& s : reduced.sections) {
    SectionCorrections c;
    if (in.rodMetreError) c.scale = rodScaleCorrection(s.heightMm, *in.rodMetreError);
    if (in.rodExpansion) {
      const FieldLine& line = lines[s.line];
      bool recorded = true;
      for (std::size_t i = s.firstStation; i <= s.lastStation; ++i)
        recorded = recorded && line.stations[i].rodTemperature;
      if (recorded) {
        double sum = 0.0;
        for (std::size_t i = s.firstStation; i <= s.lastStation; ++i)
          sum += rodTemperatureCorrection(reduced.stations[s.line][i].meanHeight, *in.rodExpansion,
                                          *line.stations[i].rodTemperature, in.calibrationTemperature);
        c.temperature = sum;
      } else if (const auto run = in.runTemperatures.find({s.from, s.to}); run != in.runTemperatures.end()) {
        c.temperature = rodTemperatureCorrection(s.heightMm, *in.rodExpansion, run->second, in.calibrationTemperature);
      }
    }
    if (!in.points.empty()) {
      const auto a = in.points.find(s.from), b = in.points.find(s.to);
      for (const auto& [name, found] : {std::pair{&s.from, a}, std::pair{&s.to, b}})
        if (found == in.points.end())
          throw InputError("点位文件中没有测段端点“" + *name + "”的纬度（正常水准面不平行改正需要每个端点的纬度）");
      for (const std::string* name : {&s.from, &s.to})
        if (!elevations.count(*name))
          throw InputError("点“" + *name + "”没有近似高程：请在点位文件中给出“近似高程”，或给出与它相连的已知点");
      const double meanElevation = (elevations.at(s.from) + elevations.at(s.to)) / 2.0;
      c.normal = normalSurfaceCorrection(*a->second.latitude, *b->second.latitude, meanElevation);
      if (a->second.gravityAnomaly && b->second.gravityAnomaly)
        c.gravity = gravityAnomalyCorrection(s.heightMm, *a->second.gravityAnomaly, *b->second.gravityAnomaly,
                                             *a->second.latitude, *b->second.latitude, meanElevation);
    }
    out.push_back(c);
  }
  return out;
}

// Loop misclosures of the combined sections: a spanning tree of their
// graph, and each section outside it closes one loop (its height difference
// plus the tree's path back). W in mm, with the loop's length.
struct LoopMisclosure {
  std::vector<std::string> points;
  double misclosureMm = 0.0;
  double lengthKm = 0.0;
};

std::vector<LoopMisclosure> loopMisclosures(const std::vector<CombinedSection>& combined) {
  // Tree by breadth-first search from each component's first point: the
  // parent's section and the height from the root.
  std::map<std::string, std::vector<std::size_t>> at;
  for (std::size_t i = 0; i < combined.size(); ++i) {
    at[combined[i].from].push_back(i);
    at[combined[i].to].push_back(i);
  }
  struct Node {
    std::string parent;
    std::size_t section = 0;
    double heightMm = 0.0, lengthKm = 0.0;
    int depth = 0;
  };
  std::map<std::string, Node> tree;
  std::vector<bool> inTree(combined.size(), false);
  for (const CombinedSection& root : combined) {
    if (tree.count(root.from)) continue;
    tree[root.from] = Node{};
    std::vector<std::string> queue{root.from};
    for (std::size_t q = 0; q < queue.size(); ++q) {
      const std::string p = queue[q];
      for (std::size_t i : at[p]) {
        const CombinedSection& c = combined[i];
        const std::string& other = c.from == p ? c.to : c.from;
        if (tree.count(other)) continue;
        const double h = c.from == p ? c.heightMm : -c.heightMm;
        tree[other] = Node{p, i, tree[p].heightMm + h, tree[p].lengthKm + c.lengthKm, tree[p].depth + 1};
        inTree[i] = true;
        queue.push_back(other);
      }
    }
  }
  std::vector<LoopMisclosure> loops;
  for (std::size_t i = 0; i < combined.size(); ++i) {
    if (inTree[i]) continue;
    const CombinedSection& c = combined[i];
    LoopMisclosure loop;
    // W = H(from) + h − H(to) along the tree: the section closes the tree's
    // path from `to` back to `from`.
    loop.misclosureMm = tree[c.from].heightMm + c.heightMm - tree[c.to].heightMm;
    std::vector<std::string> up{c.from}, down{c.to};
    double length = c.lengthKm;
    std::string a = c.from, b = c.to;
    while (a != b) {
      if (tree[a].depth >= tree[b].depth) {
        length += combined[tree[a].section].lengthKm;
        a = tree[a].parent;
        up.push_back(a);
      } else {
        length += combined[tree[b].section].lengthKm;
        b = tree[b].parent;
        down.push_back(b);
      }
    }
    // Both chains end at the common point. The loop runs from → to (the
    // section), up from `to` to the common point, and down to `from`.
    loop.points = {c.from};
    loop.points.insert(loop.points.end(), down.begin(), down.end());
    for (std::size_t k = up.size() - 1; k-- > 1;) loop.points.push_back(up[k]);
    if (loop.points.size() > 1 && loop.points.back() == c.from) loop.points.pop_back();
    loop.lengthKm = length;
    loops.push_back(std::move(loop));
  }
  return loops;
}

void validate(const ImportOptions& o) {
  gradeTolerances(o.grade, Instrument::optical);
  if (!o.terrain.empty() && o.terrain != "平原" && o.terrain != "山区")
    throw InputError("未知的地形“" + o.terrain + "”（可用 平原 或 山区）");
  std::set<std::string> names;
  for (const auto& [name, elevation] : o.known) {
    if (name.empty()) throw InputError("已知点的点名为空（应写成 点名=高程）", Remedy::knownPoints);
    if (!names.insert(name).second) throw InputError("已知点“" + name + "”给了两次");
    const std::optional<double> h = fieldNumber(elevation);
    if (!h || std::fabs(*h) > kMaxAbsElevation)
      throw InputError("已知点“" + name + "”的高程“" + elevation + "”不是绝对值不超过 " + numberText(kMaxAbsElevation) +
                       " m 的数");
  }
  const std::optional<double> unit = fieldNumber(o.unitLength);
  if (!unit || *unit < kMinRouteLength || *unit > kMaxRouteLength)
    throw InputError("单位权长度“" + o.unitLength + "”不是 " + numberText(kMinRouteLength) + " 至 " +
                     numberText(kMaxRouteLength) + " km 之间的数");
}

}  // namespace

namespace {

// A point name must be one the network file can hold: a double quote ends a
// quoted field there. Refused at the record that gives the name, so the
// surveyor mends the field file, not the network it would have become.
void refuseUnsavableNames(const FieldText& text, const std::vector<FieldLine>& lines) {
  auto refuse = [&](const std::string& name, int sourceLine) {
    if (name.find('"') != std::string::npos)
      throw InputError(placeOf(text.name, sourceLine) + "点名" + quotedText(name) +
                       "含有双引号：平差文件的点名不能有双引号，请在手簿中改正");
  };
  // A station's back point is the last one's fore point: each name is
  // looked at once, at the record that gives it.
  for (const FieldLine& line : lines) {
    if (line.stations.empty()) continue;
    refuse(line.stations.front().backPoint, line.stations.front().sourceLine);
    for (const FieldStation& st : line.stations) refuse(st.forePoint, st.sourceLine);
  }
}

std::vector<FieldLine> readLinesOfFormat(const FieldText& text) {
  switch (detectFieldFormat(text)) {
    case FieldFormat::leicaGsi:
      return readLeicaGsi(text);
    case FieldFormat::diniM5:
      return readDiniM5(text);
    case FieldFormat::handbookCsv:
      break;
  }
  return readHandbookCsv(text);
}

}  // namespace

std::vector<FieldLine> readFieldLines(const FieldText& text) {
  std::vector<FieldLine> lines = readLinesOfFormat(text);
  refuseUnsavableNames(text, lines);
  return lines;
}

FieldImport importFieldFiles(const std::vector<std::string>& paths, const ImportOptions& options) {
  validate(options);
  std::vector<FieldText> texts;
  for (const std::string& path : paths) texts.push_back(readFieldFile(path));
  return importFieldTexts(texts, options);
}

FieldImport importFieldTexts(const std::vector<FieldText>& texts, const ImportOptions& options) {
  validate(options);
  if (texts.empty()) throw InputError("没有给出观测手簿或数据文件");
  std::vector<FieldLine> lines;
  std::size_t stationCount = 0;
  for (const FieldText& text : texts) {
    for (FieldLine& line : readFieldLines(text)) {
      stationCount += line.stations.size();
      if (stationCount > kMaxFieldStations)
        throw InputError("测站超过 " + std::to_string(kMaxFieldStations) + " 个的上限");
      lines.push_back(std::move(line));
    }
  }
  std::set<std::string> sectionEnds(options.sectionEnds.begin(), options.sectionEnds.end());
  for (const auto& known : options.known) sectionEnds.insert(known.first);

  const FieldReduction reduced = reduceField(lines, sectionEnds, options.grade);
  const bool mountains = options.terrain == "山区";
  // The corrections go on every run's height difference before the runs
  // are combined: Δ and M_Δ are of the corrected runs, and the network holds
  // the corrected differences.
  const std::vector<SectionCorrections> corrections = correctionsOf(options, lines, reduced);
  std::vector<Section> corrected = reduced.sections;
  for (std::size_t i = 0; i < corrections.size(); ++i) corrected[i].heightMm += corrections[i].total();
  const std::vector<CombinedSection> combined = combineRuns(lines, corrected, options.grade, mountains);
  const std::optional<double> randomError = randomErrorPerKm(combined);

  // Points: the known ones first, in the order given, then the others as
  // the sections meet them.
  std::vector<std::string> unknown;
  std::set<std::string> seen;
  std::set<std::string> knownNames;
  for (const auto& k : options.known) knownNames.insert(k.first);
  for (const CombinedSection& c : combined)
    for (const std::string& p : {c.from, c.to})
      if (!knownNames.count(p) && seen.insert(p).second) unknown.push_back(p);
  std::set<std::string> onSections;
  for (const CombinedSection& c : combined) onSections.insert({c.from, c.to});
  for (const auto& k : options.known)
    if (!onSections.count(k.first))
      throw InputError("已知点“" + k.first + "”不是任何测段的起点或终点（检查点名，数字水准仪的文件中点号不带前导零）");
  if (knownNames.size() + unknown.size() > static_cast<std::size_t>(kMaxPoints) ||
      combined.size() > static_cast<std::size_t>(kMaxObservations))
    throw InputError("测段或点数超过平差文件的上限");

  // Route lengths: km, or in proportion to the stations with the mean
  // length of a station, so that their sum stays the sum of the lengths.
  double totalKm = 0.0, totalStations = 0.0;
  for (const CombinedSection& c : combined) {
    totalKm += c.lengthKm;
    totalStations += c.stations;
  }
  const double kmPerStation = totalKm / totalStations;

  FieldImport out;
  ProjectData& project = out.project;
  project.encoding = FileEncoding::gbk;
  project.fields.known = std::to_string(options.known.size());
  project.fields.unknown = std::to_string(unknown.size());
  project.fields.observations = std::to_string(combined.size());
  project.fields.unitLength = numberText(*fieldNumber(options.unitLength));
  for (const auto& [name, elevation] : options.known) project.points.push_back({name, std::string(trimmed(elevation))});
  for (const std::string& p : unknown) project.points.push_back({p, ""});
  std::vector<double> routeKm;
  for (const CombinedSection& c : combined) {
    const double heightM = roundRecorded(c.heightMm, 1) / 1000.0;
    double km = options.weightByStations ? c.stations * kmPerStation : c.lengthKm;
    km = std::max(roundHalfUp(km, 4), 0.0001);
    routeKm.push_back(km);
    project.observations.push_back({c.from, c.to, fixedText(heightM, 4), numberText(km)});
  }

  // The report.
  std::string r;
  auto line = [&](const std::string& s) { r += s + "\r\n"; };
  const GradeTolerances optical = gradeTolerances(options.grade, Instrument::optical);
  const GradeTolerances digital = gradeTolerances(options.grade, Instrument::digital);
  line("观测手簿检核报告");
  line("等级：" + options.grade + "（" + optical.source + "）" + (mountains ? "，山区" : ""));
  for (const FieldText& t : texts) {
    int n = 0, s = 0;
    for (const FieldLine& l : lines)
      if (l.file == t.name) {
        ++n;
        s += static_cast<int>(l.stations.size());
      }
    line("文件：" + t.name + "（" + (t.encoding == FileEncoding::utf8 ? "UTF-8" : "GBK") + "，线路 " +
         std::to_string(n) + " 条，测站 " + std::to_string(s) + " 个）");
  }
  line("");
  line("一、测站限差");
  bool haveOptical = false, haveDigital = false;
  for (const FieldLine& l : lines) (l.instrument == Instrument::optical ? haveOptical : haveDigital) = true;
  auto limitText = [](double v, int decimals, const char* unit) {
    return v > 0 ? "≤ " + fixed(v, decimals) + " " + unit : std::string("不检核");
  };
  for (const auto& [present, t, title] :
       {std::tuple{haveOptical, &optical, "光学水准仪（手簿）"}, std::tuple{haveDigital, &digital, "数字水准仪"}}) {
    if (!present) continue;
    line("  " + std::string(title) + "：");
    line("    视线长度          " + limitText(t->maxSight, 1, "m") +
         (t->minSight > 0 ? "，≥ " + fixed(t->minSight, 1) + " m" : std::string()));
    line("    前后视距差        " + limitText(t->maxSightDifference, 1, "m"));
    line("    视距累积差        " + limitText(t->maxCumulativeDifference, 1, "m"));
    line("    同尺两读数之差    " + limitText(t->maxReadingDifference, 1, "mm"));
    line("    两次高差之差      " + limitText(t->maxHeightDifference, 1, "mm"));
    line("    视线高度          " +
         (t->minLineHeight > 0
              ? "≥ " + fixed(t->minLineHeight, 2) + " m" +
                    (t->maxLineHeight > 0 ? "，≤ " + fixed(t->maxLineHeight, 2) + " m" : std::string()) +
                    (t->shortSight > 0 ? "（视线短于 " + fixed(t->shortSight, 0) + " m 时 ≥ " +
                                             fixed(t->shortSightMinLineHeight, 2) + " m）"
                                       : std::string())
              : std::string("不检核")));
    line("    测段测站数        " + std::string(t->evenStations ? "偶数" : "不检核"));
  }
  line("  往返测高差不符值  ±" + numberText(optical.roundTripCoefficient) + "√K mm（K 为测段长度，km）" +
       (mountains && optical.mountainCoefficient > 0
            ? "；山区 ±" + numberText(optical.mountainCoefficient) + "√n mm（n 为测站数）"
            : std::string()));
  line("  M_Δ               ≤ " + fixed(optical.maxRandomErrorKm, 1) + " mm");
  line("");

  line("二、超限测站");
  if (reduced.violations.empty()) {
    line("  （没有超限的测站）");
  } else {
    line("  " + left("线路", 16) + right("测站", 6) + right("行", 7) + "  " + left("项目", 22) + right("数值", 10) +
         right("限差", 12));
    for (const Violation& v : reduced.violations)
      line("  " + left(lineLabel(lines, v.line), 16) + right(std::to_string(v.station), 6) +
           right(std::to_string(v.sourceLine), 7) + "  " + left(v.what, 22) +
           right(fixed(v.value, v.decimals) + " " + v.unit, 10) + right(v.limitText, 12));
  }
  line("");

  line("三、测段");
  line("  " + right("序号", 4) + "  " + left("线路", 16) + left("起点", 10) + left("终点", 10) + right("测站数", 6) +
       right("距离(km)", 10) + right("高差(m)", 11) + "  观测方法");
  for (std::size_t i = 0; i < reduced.sections.size(); ++i) {
    const Section& s = reduced.sections[i];
    line("  " + right(std::to_string(i + 1), 4) + "  " + left(lineLabel(lines, s.line), 16) + left(s.from, 10) +
         left(s.to, 10) + right(std::to_string(s.stations), 6) + right(fixed(s.lengthM / 1000.0, 4), 10) +
         right(fixed(roundRecorded(s.heightMm, 1) / 1000.0, 4), 11) + "  " +
         methodName(lines[s.line].stations[s.firstStation].method));
  }
  if (!corrections.empty()) {
    line("");
    line("  测段改正（mm，加在观测高差上；— 未作）");
    line("  " + right("序号", 4) + "  " + left("起点", 10) + left("终点", 10) + right("观测高差(m)", 12) +
         right("尺长改正", 10) + right("尺温改正", 10) + right("水准面不平行", 13) + right("重力异常", 10) +
         right("改正后(m)", 12));
    auto cell = [](const std::optional<double>& v) { return v ? fixed(roundHalfUp(*v, 2), 2) : std::string("—"); };
    SectionCorrections sum;
    auto add = [](std::optional<double>& total, const std::optional<double>& v) {
      if (v) total = total.value_or(0.0) + *v;
    };
    for (std::size_t i = 0; i < corrections.size(); ++i) {
      const Section& s = reduced.sections[i];
      const SectionCorrections& c = corrections[i];
      add(sum.scale, c.scale);
      add(sum.temperature, c.temperature);
      add(sum.normal, c.normal);
      add(sum.gravity, c.gravity);
      line("  " + right(std::to_string(i + 1), 4) + "  " + left(s.from, 10) + left(s.to, 10) +
           right(fixed(roundRecorded(s.heightMm, 1) / 1000.0, 4), 12) + right(cell(c.scale), 10) +
           right(cell(c.temperature), 10) + right(cell(c.normal), 13) + right(cell(c.gravity), 10) +
           right(fixed(roundRecorded(corrected[i].heightMm, 1) / 1000.0, 4), 12));
    }
    line("  " + right("合计", 4) + "  " + left("", 20) + right("", 12) + right(cell(sum.scale), 10) +
         right(cell(sum.temperature), 10) + right(cell(sum.normal), 13) + right(cell(sum.gravity), 10));
    const CorrectionInputs& in = options.corrections;
    if (in.rodMetreError)
      line("  尺长改正 δ = f·h，f = " + numberText(*in.rodMetreError) + " mm/m（一对标尺的平均米长误差）");
    if (in.rodExpansion)
      line("  尺温改正 δ = α(t − t₀)·h，α = " + numberText(*in.rodExpansion) +
           " mm/(m·℃)，t₀ = " + numberText(in.calibrationTemperature) + " ℃");
    if (!in.points.empty())
      line("  正常水准面不平行改正 ε = −(γ终 − γ起)/γm·Hm；重力异常改正 λ = (g − γ)m/γm·h（两端都有重力异常时）");
    const std::vector<CombinedSection> observed = combineRuns(lines, reduced.sections, options.grade, mountains);
    const std::vector<LoopMisclosure> before = loopMisclosures(observed), after = loopMisclosures(combined);
    if (!after.empty()) {
      line("");
      line("  环闭合差（mm，改正前与改正后）");
      line("  " + right("序号", 4) + right("改正前", 10) + right("改正后", 10) + right("环长(km)", 10) + "  环");
      for (std::size_t i = 0; i < after.size(); ++i) {
        std::string path;
        for (const std::string& p : after[i].points) path += (path.empty() ? "" : "—") + p;
        line("  " + right(std::to_string(i + 1), 4) + right(fixed(roundHalfUp(before[i].misclosureMm, 2), 2), 10) +
             right(fixed(roundHalfUp(after[i].misclosureMm, 2), 2), 10) +
             right(fixed(roundHalfUp(after[i].lengthKm, 3), 3), 10) + "  " + path + "—" + after[i].points.front());
      }
    }
  }
  line("");

  line("四、往返测高差不符值");
  int failedSections = 0, pairs = 0;
  for (const CombinedSection& c : combined) {
    if (!c.discrepancyMm) continue;
    if (pairs++ == 0)
      line("  " + left("起点", 10) + left("终点", 10) + right("第一次(m)", 11) + right("第二次(m)", 11) +
           right("Δ(mm)", 9) + right("限差(mm)", 10) + "  结论");
    const Section& a = corrected[c.runs[0]];
    const Section& b = corrected[c.runs[1]];
    if (!c.passed) ++failedSections;
    line("  " + left(c.from, 10) + left(c.to, 10) + right(fixed(roundRecorded(a.heightMm, 1) / 1000.0, 4), 11) +
         right(fixed(roundRecorded(b.heightMm, 1) / 1000.0, 4), 11) +
         right(fixed(roundRecorded(*c.discrepancyMm, 1), 1), 9) + right("±" + fixed(c.limitMm, 1), 10) + "  " +
         (c.passed ? "合格" : "超限") + (c.limitByStations ? "（按测站数）" : ""));
  }
  bool randomPassed = true;
  if (pairs == 0) {
    line("  （没有往返观测的测段：不计算不符值与 M_Δ）");
  } else {
    randomPassed = !beyond(*randomError, optical.maxRandomErrorKm, 2);
    line("  每千米高差偶然中误差 M_Δ = √([ΔΔ/R]/(4n)) = ±" + fixed(*randomError, 2) +
         " mm（n = " + std::to_string(pairs) + "），限差 ±" + fixed(optical.maxRandomErrorKm, 1) + " mm：" +
         (randomPassed ? "合格" : "超限"));
  }
  line("");

  line("五、观测值（写入平差文件）");
  line("  " + right("序号", 4) + "  " + left("起点", 10) + left("终点", 10) + right("高差(m)", 11) +
       right("路线长度(km)", 13) + right("测站数", 7) + "  说明");
  for (std::size_t i = 0; i < combined.size(); ++i) {
    const CombinedSection& c = combined[i];
    line("  " + right(std::to_string(i + 1), 4) + "  " + left(c.from, 10) + left(c.to, 10) +
         right(project.observations[i][2], 11) + right(project.observations[i][3], 13) +
         right(numberText(c.stations), 7) + "  " + (c.runs.size() == 2 ? "两次观测的平均" : "单程"));
  }
  if (options.weightByStations)
    line("  按测站数定权：路线长度 = 测站数 × 每站平均长度 " + numberText(roundHalfUp(kmPerStation * 1000.0, 2)) +
         " m，权 = 单位权长度 / 路线长度");
  std::vector<std::string> dense;
  for (const CombinedSection& c : combined)
    if (c.stations / c.lengthKm > 16.0) dense.push_back(c.from + "—" + c.to);
  if (!dense.empty() && !options.weightByStations) {
    std::string list;
    for (const std::string& d : dense) list += (list.empty() ? "" : "、") + d;
    line("  注意：测段 " + list + " 每千米多于 16 站（山区）：GB 50026 在山地按测站数计算限差（±k√n），");
    line("  定权也宜按测站数（路线长度换成 测站数 × 每站平均长度）。");
  }
  if (options.known.empty()) line("  注意：没有给出已知点；平差前请在点表中输入已知点。");
  line("");

  out.passed = reduced.violations.empty() && failedSections == 0 && randomPassed;
  line(std::string("结论：") + (out.passed ? "全部测站与测段合格"
                                           : "超限测站 " + std::to_string(reduced.violations.size()) +
                                                 " 处，超限测段 " + std::to_string(failedSections) + " 个" +
                                                 (randomPassed ? "" : "，M_Δ 超限") + "：请重测超限的测站或测段"));
  out.report = std::move(r);
  return out;
}

}  // namespace levelnet::fieldbook
