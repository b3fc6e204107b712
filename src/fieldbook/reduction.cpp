#include "fieldbook/reduction.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "fieldbook/field_file.h"
#include "network/errors.h"
#include "network/number_text.h"

namespace levelnet::fieldbook {

StationReduction reduceStation(const FieldStation& s, double cumulativeBefore) {
  StationReduction r;
  r.sightDifference = s.back.distance - s.fore.distance;
  r.cumulativeDifference = cumulativeBefore + r.sightDifference;
  r.firstHeight = s.back.first - s.fore.first;
  r.meanHeight = r.firstHeight;
  if (s.back.second && s.fore.second) {
    if (s.method == StationMethod::redBlack) {
      r.backReadingDifference = s.back.constant + s.back.first - *s.back.second;
      r.foreReadingDifference = s.fore.constant + s.fore.first - *s.fore.second;
      // The red faces' difference holds the difference of the constants
      // (±100 mm for a pair 4687 / 4787).
      r.secondHeight = (*s.back.second - *s.fore.second) - (s.back.constant - s.fore.constant);
    } else {
      r.backReadingDifference = s.back.first - *s.back.second;
      r.foreReadingDifference = s.fore.first - *s.fore.second;
      r.secondHeight = *s.back.second - *s.fore.second;
    }
    r.heightDifferenceDifference = r.firstHeight - *r.secondHeight;
    r.meanHeight = (r.firstHeight + *r.secondHeight) / 2;
  }
  return r;
}

int readingDecimals(StationMethod method) { return method == StationMethod::redBlack ? 1 : 2; }

bool beyond(double value, double limit, int decimals) { return roundRecorded(std::fabs(value), decimals) > limit; }

namespace {

std::string bound(const char* sign, double limit, int decimals, const std::string& unit) {
  return sign + fixedText(limit, decimals) + " " + unit;
}

}  // namespace

std::vector<Violation> checkStation(const FieldStation& s, const StationReduction& r, const GradeTolerances& t,
                                    std::size_t line) {
  std::vector<Violation> out;
  auto add = [&](const std::string& what, double value, double limit, int decimals, const char* unit,
                 std::string limitText) {
    out.push_back({line, s.number, s.sourceLine, what, value, limit, decimals, unit, std::move(limitText)});
  };
  for (const auto& [what, d] : {std::pair{"后视距", s.back.distance}, std::pair{"前视距", s.fore.distance}}) {
    if (beyond(d, t.maxSight, 1))
      add(std::string(what) + "（视线长度）", d, t.maxSight, 1, "m", bound("±", t.maxSight, 1, "m"));
    if (t.minSight > 0 && roundRecorded(d, 1) < t.minSight)
      add(std::string(what) + "（视线长度）", d, t.minSight, 1, "m", bound("≥ ", t.minSight, 1, "m"));
  }
  if (t.maxSightDifference > 0 && beyond(r.sightDifference, t.maxSightDifference, 1))
    add("前后视距差", r.sightDifference, t.maxSightDifference, 1, "m", bound("±", t.maxSightDifference, 1, "m"));
  if (t.maxCumulativeDifference > 0 && beyond(r.cumulativeDifference, t.maxCumulativeDifference, 1))
    add("视距累积差", r.cumulativeDifference, t.maxCumulativeDifference, 1, "m",
        bound("±", t.maxCumulativeDifference, 1, "m"));
  const int decimals = readingDecimals(s.method);
  const bool redBlack = s.method == StationMethod::redBlack;
  if (t.maxReadingDifference > 0) {
    if (r.backReadingDifference && beyond(*r.backReadingDifference, t.maxReadingDifference, decimals))
      add(redBlack ? "后尺黑红面读数差" : "后尺两次读数差", *r.backReadingDifference, t.maxReadingDifference, decimals,
          "mm", bound("±", t.maxReadingDifference, decimals, "mm"));
    if (r.foreReadingDifference && beyond(*r.foreReadingDifference, t.maxReadingDifference, decimals))
      add(redBlack ? "前尺黑红面读数差" : "前尺两次读数差", *r.foreReadingDifference, t.maxReadingDifference, decimals,
          "mm", bound("±", t.maxReadingDifference, decimals, "mm"));
  }
  if (t.maxHeightDifference > 0 && r.heightDifferenceDifference &&
      beyond(*r.heightDifferenceDifference, t.maxHeightDifference, decimals))
    add(redBlack ? "黑红面高差之差" : "两次高差之差", *r.heightDifferenceDifference, t.maxHeightDifference, decimals,
        "mm", bound("±", t.maxHeightDifference, decimals, "mm"));
  // The height of the line of sight: an optical level's lower stadia wire
  // (where the book gives the wires), a digital level's readings; in metres
  // to the readings' own resolution (0.1 mm in the handbook, 0.01 mm in a
  // digital level's file).
  const int metreDecimals = decimals + 3;
  for (const auto& [title, sight] : {std::pair{"后尺", &s.back}, std::pair{"前尺", &s.fore}}) {
    std::optional<double> lowest, highest;
    if (s.method == StationMethod::redBlack) {
      lowest = sight->lowestWire;
    } else {
      lowest = highest = sight->first;
      if (sight->second) {
        lowest = std::min(*lowest, *sight->second);
        highest = std::max(*highest, *sight->second);
      }
    }
    const double least =
        t.shortSight > 0 && sight->distance < t.shortSight ? t.shortSightMinLineHeight : t.minLineHeight;
    if (least > 0 && lowest && roundRecorded(*lowest / 1000.0, metreDecimals) < least)
      add(std::string(title) + (redBlack ? "视线高度（下丝读数）" : "视线高度（最低读数）"), *lowest / 1000.0, least,
          metreDecimals, "m", bound("≥ ", least, 2, "m"));
    if (t.maxLineHeight > 0 && highest && roundRecorded(*highest / 1000.0, metreDecimals) > t.maxLineHeight)
      add(std::string(title) + "视线高度（最高读数）", *highest / 1000.0, t.maxLineHeight, metreDecimals, "m",
          bound("≤ ", t.maxLineHeight, 2, "m"));
  }
  return out;
}

std::optional<Violation> checkSectionStations(const FieldLine& line, const Section& section, const GradeTolerances& t) {
  if (!t.evenStations || section.stations % 2 == 0) return std::nullopt;
  const FieldStation& last = line.stations[section.lastStation];
  return Violation{section.line,
                   last.number,
                   last.sourceLine,
                   "测段测站数（" + section.from + "—" + section.to + "）",
                   static_cast<double>(section.stations),
                   2.0,
                   0,
                   "站",
                   "偶数"};
}

FieldReduction reduceField(const std::vector<FieldLine>& lines, const std::set<std::string>& sectionEnds,
                           const std::string& grade) {
  FieldReduction out;
  for (std::size_t l = 0; l < lines.size(); ++l) {
    const FieldLine& line = lines[l];
    const GradeTolerances tolerances = gradeTolerances(grade, line.instrument);
    std::vector<StationReduction>& reduced = out.stations.emplace_back();
    double cumulative = 0.0;
    Section section;
    section.line = l;
    for (std::size_t i = 0; i < line.stations.size(); ++i) {
      const FieldStation& s = line.stations[i];
      if (section.stations == 0) {
        section.from = s.backPoint;
        section.firstStation = i;
        cumulative = 0.0;
      }
      const StationReduction r = reduceStation(s, cumulative);
      cumulative = r.cumulativeDifference;
      for (Violation& v : checkStation(s, r, tolerances, l)) out.violations.push_back(std::move(v));
      ++section.stations;
      section.heightMm += r.meanHeight;
      section.lengthM += s.back.distance + s.fore.distance;
      reduced.push_back(r);
      const bool end = line.instrument == Instrument::optical
                           ? s.sectionEnd
                           : (sectionEnds.count(s.forePoint) > 0 || i + 1 == line.stations.size());
      if (end || i + 1 == line.stations.size()) {
        section.to = s.forePoint;
        section.lastStation = i;
        if (std::optional<Violation> odd = checkSectionStations(line, section, tolerances))
          out.violations.push_back(std::move(*odd));
        out.sections.push_back(section);
        section = Section{};
        section.line = l;
      }
    }
  }
  return out;
}

namespace {

std::string sectionPlace(const std::vector<FieldLine>& lines, const Section& s) {
  const FieldLine& line = lines[s.line];
  return "文件“" + line.file + "”第 " + std::to_string(line.stations[s.firstStation].sourceLine) + " 行起的测段“" +
         s.from + "”—“" + s.to + "”";
}

}  // namespace

std::vector<CombinedSection> combineRuns(const std::vector<FieldLine>& lines, const std::vector<Section>& sections,
                                         const std::string& grade, bool mountains) {
  std::vector<CombinedSection> out;
  std::map<std::pair<std::string, std::string>, std::size_t> byEnds;
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const Section& s = sections[i];
    if (s.from == s.to)
      throw InputError(sectionPlace(lines, s) + "起点与终点相同：闭合线路须在中间的点上分段（给出分段点）",
                       Remedy::sectionEnds);
    if (!(s.lengthM > 0.0)) throw InputError(sectionPlace(lines, s) + "的视距之和为 0，无法作为路线长度");
    const auto key = s.from < s.to ? std::pair{s.from, s.to} : std::pair{s.to, s.from};
    const auto found = byEnds.find(key);
    if (found == byEnds.end()) {
      byEnds.emplace(key, out.size());
      CombinedSection c;
      c.from = s.from;
      c.to = s.to;
      c.runs.push_back(i);
      out.push_back(std::move(c));
    } else {
      CombinedSection& c = out[found->second];
      if (c.runs.size() == 2)
        throw InputError(sectionPlace(lines, s) +
                         "是这一测段的第 3 次观测：只能合并往返（或同向两次）观测，请删去多余的一次");
      c.runs.push_back(i);
    }
  }
  for (CombinedSection& c : out) {
    const Section& first = sections[c.runs[0]];
    const GradeTolerances t = gradeTolerances(grade, lines[first.line].instrument);
    if (c.runs.size() == 1) {
      c.heightMm = first.heightMm;
      c.lengthKm = first.lengthM / 1000.0;
      c.stations = first.stations;
      continue;
    }
    const Section& second = sections[c.runs[1]];
    const bool opposite = second.from == first.to;
    const double h2 = opposite ? -second.heightMm : second.heightMm;
    c.heightMm = (first.heightMm + h2) / 2;
    c.discrepancyMm = opposite ? first.heightMm + second.heightMm : first.heightMm - second.heightMm;
    c.lengthKm = (first.lengthM + second.lengthM) / 2 / 1000.0;
    c.stations = (first.stations + second.stations) / 2.0;
    c.limitByStations = mountains && t.mountainCoefficient > 0;
    c.limitMm = c.limitByStations ? t.mountainCoefficient * std::sqrt(c.stations)
                                  : t.roundTripCoefficient * std::sqrt(c.lengthKm);
    c.passed = !beyond(*c.discrepancyMm, c.limitMm, 1);
  }
  return out;
}

std::optional<double> randomErrorPerKm(const std::vector<CombinedSection>& combined) {
  double sum = 0.0;
  int n = 0;
  for (const CombinedSection& c : combined) {
    if (!c.discrepancyMm) continue;
    sum += *c.discrepancyMm * *c.discrepancyMm / c.lengthKm;
    ++n;
  }
  if (n == 0) return std::nullopt;
  return std::sqrt(sum / (4.0 * n));
}

}  // namespace levelnet::fieldbook
