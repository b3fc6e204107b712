#include "monitor/settlement.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

#include "adjust/results_mode.h"
#include "adjust/results_table.h"
#include "network/errors.h"
#include "network/number_text.h"

namespace levelnet::monitor {

namespace {

std::string inQuotes(const std::string& text) { return "“" + text + "”"; }

std::string epochPlace(const MonitoringProject& project, int epoch) {
  const EpochEntry& e = project.epochs[static_cast<std::size_t>(epoch)];
  return "第 " + std::to_string(epoch + 1) + " 期的平差文件" + inQuotes(e.file) + "（监测项目文件" +
         inQuotes(project.file) + "第 " + std::to_string(e.line) + " 行）";
}

std::string projectLine(const MonitoringProject& project, int line) {
  return "监测项目文件" + inQuotes(project.file) + "第 " + std::to_string(line) + " 行";
}

// A height as tabled ("50.1234") in whole 0.1 mm, exactly from its digits.
long long tenthsOfMillimetre(const std::string& text) {
  long long value = 0;
  bool negative = false;
  for (char c : text) {
    if (c == '-') negative = true;
    if (c >= '0' && c <= '9') value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

Figure figure(double value, double sigma, int decimals) {
  Figure f;
  f.value = roundHalfUp(value, decimals);
  f.sigma = sigma;
  f.text = fixedText(value, decimals);
  f.sigmaText = fixedText(sigma, decimals);
  f.significant = std::fabs(f.value) > 2.0 * sigma;
  return f;
}

// The held error of a point: 0 for a known point of the adjustment.
struct Adjusted {
  std::string heightText;
  double height = 0.0;
  double error = 0.0;
  std::string errorText;
};

// Rethrows a failure of an epoch's adjustment with the epoch's file.
[[noreturn]] void failEpoch(const std::string& place, const Error& e) {
  const std::string message = place + "：" + e.what();
  switch (e.kind()) {
    case ErrorKind::input:
      throw InputError(message);
    case ErrorKind::memory:
      throw OutOfMemoryError(message);
    default:
      throw AdjustmentError(message);
  }
}

WarningLevel levelOf(const PointEpoch& pe, const WarningValues& w, double fraction) {
  WarningLevel level = WarningLevel::none;
  auto judge = [&](const std::optional<Figure>& f, const std::optional<double>& limit) {
    if (!f || !limit) return;
    const double a = std::fabs(f->value);
    if (a >= *limit)
      level = WarningLevel::warning;
    else if (a >= fraction * *limit && level == WarningLevel::none)
      level = WarningLevel::attention;
  };
  judge(pe.cumulative, w.cumulative);
  judge(pe.rate, w.rate);
  return level;
}

}  // namespace

const char* levelText(WarningLevel level) {
  return level == WarningLevel::warning ? "预警" : level == WarningLevel::attention ? "注意" : "";
}

bool MonitoringResults::anyWarning() const {
  return std::any_of(points.begin(), points.end(),
                     [](const PointSeries& p) { return p.currentLevel == WarningLevel::warning; });
}

MonitoringResults runMonitoring(const MonitoringProject& project, const std::vector<EpochNetwork>& epochs,
                                const std::function<void(int epoch)>& progress) {
  if (epochs.size() != project.epochs.size()) throw InputError("监测项目的观测期与读入的平差文件数目不符");
  MonitoringResults out;
  out.projectName = project.name;
  out.projectFile = project.file;
  out.references = project.references;
  out.settings = project.settings;
  out.loadUnit = project.loadUnit;
  const int epochCount = static_cast<int>(epochs.size());
  const int k = static_cast<int>(project.references.size());

  // Names: unique in every epoch, and never two spellings of one name.
  struct Seen {
    std::string name;
    std::string where;
  };
  std::unordered_map<std::string, Seen> byKey;
  for (int i = 0; i < epochCount; ++i) {
    const LevelingNetwork& net = epochs[static_cast<std::size_t>(i)].net;
    if (!net.duplicateNames.empty()) {
      const DuplicateName& d = net.duplicateNames.front();
      throw InputError(epochPlace(project, i) + "：点名" + inQuotes(d.name) + "在点表第 " + std::to_string(d.firstRow) +
                       " 行和第 " + std::to_string(d.row) + " 行重复，各期无法按点名对应");
    }
    for (int p = 1; p <= net.pointCount; ++p) {
      const std::string& name = net.pointName[static_cast<std::size_t>(p)];
      const std::string where = epochPlace(project, i) + "点表第 " + std::to_string(p) + " 行";
      auto [it, fresh] = byKey.emplace(nameKey(name), Seen{name, where});
      if (!fresh && it->second.name != name)
        throw InputError("点名" + inQuotes(name) + "（" + where + "）与" + inQuotes(it->second.name) + "（" +
                         it->second.where + "）只差空格或大小写：是同一个点吗？请统一点名");
    }
  }
  auto checkProjectName = [&](const std::string& name, int line) {
    const auto it = byKey.find(nameKey(name));
    if (it != byKey.end() && it->second.name != name)
      throw InputError(projectLine(project, line) + "：点名" + inQuotes(name) + "与" + inQuotes(it->second.name) +
                       "（" + it->second.where + "）只差空格或大小写：请统一点名");
    return it != byKey.end();
  };
  for (const std::string& r : project.references) checkProjectName(r, project.referencesLine);
  for (const std::string& m : project.monitoredPoints)
    if (!checkProjectName(m, project.monitoredLine))
      throw InputError(projectLine(project, project.monitoredLine) + "：监测点" + inQuotes(m) +
                       "不在任何一期的平差文件中");
  for (const PointWarning& w : project.pointWarnings)
    if (!checkProjectName(w.point, w.line))
      throw InputError(projectLine(project, w.line) + "：预警值所属的点" + inQuotes(w.point) +
                       "不在任何一期的平差文件中");

  // The reference points in every epoch, with heights from the first.
  std::vector<std::vector<int>> referenceNumbers(static_cast<std::size_t>(epochCount));
  for (int i = 0; i < epochCount; ++i) {
    const LevelingNetwork& net = epochs[static_cast<std::size_t>(i)].net;
    for (const std::string& r : project.references) {
      const int p = net.pointNumberOf(r);
      if (p == 0)
        throw InputError(epochPlace(project, i) + "中没有基准点" + inQuotes(r) + "（基准点见" +
                         projectLine(project, project.referencesLine) + "）：每一期都须联测全部基准点");
      referenceNumbers[static_cast<std::size_t>(i)].push_back(p);
    }
  }
  const LevelingNetwork& first = epochs.front().net;
  for (int j = 0; j < k; ++j) {
    const int p = referenceNumbers[0][static_cast<std::size_t>(j)];
    if (p > first.knownCount)
      throw InputError(epochPlace(project, 0) + "中基准点" + inQuotes(project.references[static_cast<std::size_t>(j)]) +
                       "是待定点：首期须给出基准点的起算高程（已知点）");
    out.firstHeights.push_back(first.elevation[static_cast<std::size_t>(p)]);
  }
  if (k < 3)
    out.notes.push_back("基准点只有 " + std::to_string(k) + " 个（少于 3 个）：" +
                        (k == 1 ? "无法检验基准点的稳定性" : "可检验是否有基准点移动，但无法确定是哪一个"));

  // The points tabled, in order of first appearance.
  std::vector<std::string> tabled;
  if (!project.monitoredPoints.empty()) {
    tabled = project.monitoredPoints;
    // The other points (turning points and the like) are adjusted but not
    // tabled: said, not dropped silently.
    std::unordered_map<std::string, bool> listed;
    for (const std::string& n : project.monitoredPoints) listed[n] = true;
    for (const std::string& r : project.references) listed[r] = true;
    std::vector<std::string> others;
    for (const EpochNetwork& e : epochs)
      for (int p = 1; p <= e.net.pointCount; ++p)
        if (listed.emplace(e.net.pointName[static_cast<std::size_t>(p)], true).second)
          others.push_back(e.net.pointName[static_cast<std::size_t>(p)]);
    if (!others.empty()) {
      std::string names;
      for (std::size_t i = 0; i < others.size() && i < 8; ++i) names += (i ? "、" : "") + others[i];
      if (others.size() > 8) names += " 等";
      out.notes.push_back(std::to_string(others.size()) + " 个点不在“监测点”中，参加平差但不列表：" + names);
    }
  } else {
    std::unordered_map<std::string, bool> listed;
    for (const std::string& r : project.references) listed[r] = true;
    for (const EpochNetwork& e : epochs)
      for (int p = 1; p <= e.net.pointCount; ++p) {
        const std::string& name = e.net.pointName[static_cast<std::size_t>(p)];
        if (listed.emplace(name, true).second) tabled.push_back(name);
      }
  }
  std::unordered_map<std::string, int> seriesOf;
  for (const std::string& name : tabled) {
    seriesOf[name] = static_cast<int>(out.points.size());
    PointSeries s;
    s.name = name;
    s.warning = warningValuesOf(project, name);
    s.epochs.resize(static_cast<std::size_t>(epochCount));
    out.points.push_back(std::move(s));
  }

  for (int i = 0; i < epochCount; ++i) {
    if (progress) progress(i);
    const EpochNetwork& epoch = epochs[static_cast<std::size_t>(i)];
    const LevelingNetwork& net = epoch.net;
    const std::string place = epochPlace(project, i);
    const std::vector<int>& refs = referenceNumbers[static_cast<std::size_t>(i)];
    EpochResult result;
    result.entry = project.epochs[static_cast<std::size_t>(i)];
    result.elapsedDays = result.entry.day - project.epochs.front().day;
    result.intervalDays = i == 0 ? 0.0 : result.entry.day - project.epochs[static_cast<std::size_t>(i) - 1].day;
    result.observationCount = net.observationCount;
    result.pointCount = net.pointCount;
    for (int p = 1; p <= net.knownCount; ++p) {
      const std::string& name = net.pointName[static_cast<std::size_t>(p)];
      const auto at = std::find(project.references.begin(), project.references.end(), name);
      if (at == project.references.end())
        out.notes.push_back(place + "：已知点" + inQuotes(name) + "不是基准点，按待定点平差");
      else if (i > 0 && net.elevation[static_cast<std::size_t>(p)] !=
                            out.firstHeights[static_cast<std::size_t>(at - project.references.begin())])
        out.notes.push_back(place + "：基准点" + inQuotes(name) + "的高程 " +
                            numberText(net.elevation[static_cast<std::size_t>(p)]) + " m 与首期的 " +
                            numberText(out.firstHeights[static_cast<std::size_t>(at - project.references.begin())]) +
                            " m 不同，按首期高程平差");
    }
    try {
      result.free = freeNetworkAdjustment(net, refs, out.firstHeights, epoch.file);
    } catch (const Error& e) {
      failEpoch(place, e);
    }

    // Stability against the first epoch (which decides the frame) and the
    // previous one.
    std::vector<int> held(static_cast<std::size_t>(k));
    for (int j = 0; j < k; ++j) held[static_cast<std::size_t>(j)] = j;
    EpochStability& st = result.stability;
    if (i == 0) {
      st.againstFirst.global.notDone = "首期，作为比较的基础";
      st.note = "首期：基准点取其已知高程";
    } else {
      auto compare = [&](const EpochResult& other) {
        std::vector<double> d(static_cast<std::size_t>(k));
        Matrix Q = result.free.referenceCofactors;
        for (int a = 0; a < k; ++a) {
          d[static_cast<std::size_t>(a)] = (result.free.referenceHeights[static_cast<std::size_t>(a)] -
                                            other.free.referenceHeights[static_cast<std::size_t>(a)]) *
                                           1000.0;
          for (int b = 0; b < k; ++b)
            Q[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)] +=
                other.free.referenceCofactors[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)];
        }
        return std::pair(d, Q);
      };
      // An epoch without redundancy as a free network cannot be compared.
      auto untestable = [&](const EpochResult& other, int otherNumber) {
        CongruenceTest t;
        if (!result.free.available)
          t.notDone = "本期作为自由网没有多余观测（观测值 " + std::to_string(net.observationCount) + " 个，点 " +
                      std::to_string(net.pointCount) + " 个）";
        else if (!other.free.available)
          t.notDone = "第 " + std::to_string(otherNumber) + " 期作为自由网没有多余观测";
        return t;
      };
      const CongruenceTest noFirst = untestable(out.epochs.front(), 1);
      if (!noFirst.notDone.empty()) {
        st.againstFirst.global = noFirst;
      } else {
        const auto [d, Q] = compare(out.epochs.front());
        st.againstFirst = localiseMovement(d, Q, result.free.pvv + out.epochs.front().free.pvv,
                                           result.free.redundancy + out.epochs.front().free.redundancy);
      }
      const StabilityVerdict& v = st.againstFirst;
      if (!v.global.done) {
        st.note = "未检验：" + v.global.notDone + "；按全部基准点平差";
      } else if (v.global.passed) {
        st.note = "基准点稳定（与首期比较通过）";
      } else if (v.undetermined) {
        st.note = "与首期比较未通过，但剩余两个基准点互不相符，无法确定哪一个移动；仍按全部基准点平差，结果须复核";
      } else {
        held = v.stable;
        std::string names;
        for (int m : v.moved) names += (names.empty() ? "" : "、") + project.references[static_cast<std::size_t>(m)];
        st.note = "基准点 " + names + " 移动，本期按其余稳定的基准点平差";
      }
      const CongruenceTest noPrevious = untestable(out.epochs.back(), i);
      if (i > 1 && !noPrevious.notDone.empty()) {
        st.againstPrevious = noPrevious;
        st.previousTested = true;
      } else if (i > 1) {
        const auto [dp, Qp] = compare(out.epochs.back());
        std::vector<int> all(static_cast<std::size_t>(k));
        for (int j = 0; j < k; ++j) all[static_cast<std::size_t>(j)] = j;
        st.againstPrevious = congruenceTest(dp, Qp, all, result.free.pvv + out.epochs.back().free.pvv,
                                            result.free.redundancy + out.epochs.back().free.redundancy);
        st.previousTested = true;
      }
    }
    for (int j : held) st.heldReferences.push_back(project.references[static_cast<std::size_t>(j)]);

    // The epoch's adjustment in the held frame: the file's own network where
    // its known points are exactly the held reference points at their first
    // heights, so that the heights are its report's.
    bool asFiled = static_cast<int>(held.size()) == k && net.knownCount == k;
    for (int j = 0; asFiled && j < k; ++j) {
      const int p = refs[static_cast<std::size_t>(j)];
      asFiled = p <= net.knownCount &&
                net.elevation[static_cast<std::size_t>(p)] == out.firstHeights[static_cast<std::size_t>(j)];
    }
    std::optional<ResultsTable> table;
    try {
      std::vector<int> known;
      std::vector<double> heights;
      for (int j : held) {
        known.push_back(refs[static_cast<std::size_t>(j)]);
        heights.push_back(out.firstHeights[static_cast<std::size_t>(j)]);
      }
      const AdjustmentResults r = computeResults(asFiled ? net : withKnownPoints(net, known, heights, epoch.file));
      table = makeResultsTable(r);
    } catch (const Error& e) {
      failEpoch(place, e);
    }
    result.unitWeightErrorText = table->precision.unitWeightError.text;
    std::unordered_map<std::string, const PointResult*> byName;
    for (const PointResult& p : table->points) byName.emplace(p.name, &p);
    for (const std::string& r : project.references) {
      const PointResult& p = *byName.at(r);
      result.referenceHeights.push_back(p.elevation.value);
      result.referenceHeightTexts.push_back(p.elevation.text);
    }
    for (const PointResult& p : table->points) {
      const auto s = seriesOf.find(p.name);
      if (s == seriesOf.end()) continue;
      PointEpoch& pe = out.points[static_cast<std::size_t>(s->second)].epochs[static_cast<std::size_t>(i)];
      pe.present = true;
      pe.height = p.elevation.value;
      pe.heightText = p.elevation.text;
      pe.heightError = p.standardError.value_or(0.0);
      pe.heightErrorText = p.standardError ? p.standardErrorText : standardErrorText(0.0);
    }
    out.epochs.push_back(std::move(result));
  }

  // The settlement figures.
  const double fraction = project.settings.attentionFraction;
  for (PointSeries& s : out.points) {
    int previous = -1;
    for (int i = 0; i < epochCount; ++i) {
      PointEpoch& pe = s.epochs[static_cast<std::size_t>(i)];
      if (!pe.present) continue;
      if (s.firstEpoch < 0) {
        s.firstEpoch = i;
        pe.cumulative = figure(0.0, 0.0, 1);
      } else {
        const PointEpoch& before = s.epochs[static_cast<std::size_t>(previous)];
        const PointEpoch& start = s.epochs[static_cast<std::size_t>(s.firstEpoch)];
        const long long now = tenthsOfMillimetre(pe.heightText);
        const double change = static_cast<double>(now - tenthsOfMillimetre(before.heightText)) / 10.0;
        const double sigma = std::sqrt(pe.heightError * pe.heightError + before.heightError * before.heightError);
        pe.previousEpoch = previous;
        pe.change = figure(change, sigma, 1);
        const double total = static_cast<double>(now - tenthsOfMillimetre(start.heightText)) / 10.0;
        pe.cumulative =
            figure(total, std::sqrt(pe.heightError * pe.heightError + start.heightError * start.heightError), 1);
        const double days = out.epochs[static_cast<std::size_t>(i)].entry.day -
                            out.epochs[static_cast<std::size_t>(previous)].entry.day;
        pe.rate = figure(change / days, sigma / days, 3);
        pe.rate->significant = pe.change->significant;
      }
      pe.level = levelOf(pe, s.warning, fraction);
      s.currentLevel = pe.level;
      previous = i;
    }
    // Stability: the rate over the last 100 days.
    if (previous < 0) {
      s.stability = "未观测";
    } else if (previous != epochCount - 1) {
      s.stability = "末期未观测";
    } else {
      const double lastDay = out.epochs[static_cast<std::size_t>(previous)].entry.day;
      int from = -1;
      for (int i = 0; i < previous; ++i)
        if (s.epochs[static_cast<std::size_t>(i)].present &&
            out.epochs[static_cast<std::size_t>(i)].entry.day <= lastDay - 100.0)
          from = i;
      if (from < 0) {
        s.stability = "不足 100 d";
      } else {
        const PointEpoch& a = s.epochs[static_cast<std::size_t>(from)];
        const PointEpoch& b = s.epochs[static_cast<std::size_t>(previous)];
        const double days = lastDay - out.epochs[static_cast<std::size_t>(from)].entry.day;
        const double change =
            static_cast<double>(tenthsOfMillimetre(b.heightText) - tenthsOfMillimetre(a.heightText)) / 10.0;
        const double sigma = std::sqrt(a.heightError * a.heightError + b.heightError * b.heightError);
        s.lastHundredDaysRate = figure(change / days, sigma / days, 3);
        s.hundredDaysFrom = from;
        s.stability = std::fabs(s.lastHundredDaysRate->value) < project.settings.stableRate ? "稳定" : "未稳定";
      }
    }
  }
  return out;
}

}  // namespace levelnet::monitor
