#include "check/network_check.h"

#include <cmath>
#include <functional>
#include <numeric>
#include <optional>
#include <queue>
#include <utility>

#include "adjust/adjustment_results.h"
#include "adjust/elimination_tasks.h"
#include "adjust/pipeline.h"
#include "check/check_report.h"
#include "network/errors.h"
#include "network/number_text.h"

namespace levelnet {

namespace {

void requireValidOptions(const CheckOptions& options) {
  toleranceCoefficient(options.grade, options.terrain);
  if (options.sigmaGiven && !(options.sigmaKm > 0.0 && std::isfinite(options.sigmaKm)))
    throw InputError("每公里高差中误差 σ 必须是大于 0 的数", Remedy::sigmaPerKm);
  if (!(options.minRedundancy >= 0.0 && options.minRedundancy < 1.0))
    throw InputError("多余观测分量 r 的下限必须在 0 与 1 之间");
}

// The shortest route length (km) from every point to a known point, by
// Dijkstra's algorithm over the observations (0 for a known point).
std::vector<double> distanceFromKnownPoints(const LevelingNetwork& net) {
  std::vector<std::vector<std::pair<int, double>>> next(static_cast<std::size_t>(net.pointCount) + 1);
  for (int k = 1; k <= net.observationCount; ++k) {
    next[net.fromPoint[k]].push_back({net.toPoint[k], net.routeLength[k]});
    next[net.toPoint[k]].push_back({net.fromPoint[k], net.routeLength[k]});
  }
  std::vector<double> distance(next.size(), HUGE_VAL);
  using Entry = std::pair<double, int>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
  for (int p = 1; p <= net.knownCount; ++p) {
    distance[p] = 0.0;
    queue.push({0.0, p});
  }
  while (!queue.empty()) {
    const auto [d, p] = queue.top();
    queue.pop();
    if (d > distance[p]) continue;
    for (const auto& [q, length] : next[p])
      if (d + length < distance[q]) {
        distance[q] = d + length;
        queue.push({distance[q], q});
      }
  }
  return distance;
}

}  // namespace

std::vector<int> fileNumbers(const CheckFindings& f, const std::vector<int>& ks) {
  std::vector<int> numbers;
  for (int k : ks) numbers.push_back(fileNumber(f, k));
  return numbers;
}

void listObservationsToLookAt(const LevelingNetwork& net, const CheckOptions& options, CheckFindings& f) {
  const ResidualAnalysis& a = f.residuals;
  f.attention.assign(static_cast<std::size_t>(net.observationCount) + 1, 0);
  f.pointAccuracy.assign(static_cast<std::size_t>(net.observationCount) + 1, 0.0);
  std::vector<double> distance;
  if (f.toleranceCoefficient > 0.0 && a.test != BlunderTest::none) distance = distanceFromKnownPoints(net);
  for (int k = 1; k <= net.observationCount; ++k) {
    const Residual& r = a.rows[k];
    unsigned char& mask = f.attention[k];
    if (r.unchecked)
      mask |= kNoCheck;
    else if (r.groupRedundancy < options.minRedundancy)
      mask |= kLowRedundancy;
    if (!distance.empty() && !r.unchecked && r.affectedPoint != 0) {
      f.pointAccuracy[k] = f.toleranceCoefficient * std::sqrt(distance[r.affectedPoint]);
      if (r.externalEffect > f.pointAccuracy[k]) mask |= kBeyondPointAccuracy;
    }
    if (mask != 0) ++f.attentionCount;
  }
}

double toleranceCoefficient(const std::string& grade, const std::string& terrain) {
  if (terrain != "" && terrain != "平原" && terrain != "山区")
    throw InputError("地形“" + terrain + "”不是“平原”或“山区”");
  const bool mountains = terrain == "山区";
  if (grade.empty()) return 0.0;
  // GB/T 12897-2006: 附合路线和环线闭合差 一等 ±2√L, 二等 ±4√L.
  if (grade == "一等") return 2.0;
  if (grade == "二等") return 4.0;
  if (grade == "三等") return mountains ? 15.0 : 12.0;
  if (grade == "四等") return mountains ? 25.0 : 20.0;
  if (grade == "等外") return 40.0;
  // GB 50026-2020 表 4.2.1, 附合或环线闭合差 (平地): the route lengths of a
  // network are all the check has, so the stations rule of 山地 (±4√n,
  // ±6√n) is the field records' (check --records, import), not the loops'.
  if (grade == "工程二等") return 4.0;
  if (grade == "工程三等") return 12.0;
  if (grade == "工程四等") return 20.0;
  if (grade == "工程五等") return 30.0;
  throw InputError("等级“" + grade + "”不是“一等”、“二等”、“三等”、“四等”、“等外”或“工程二等”至“工程五等”");
}

bool withinTolerance(double misclosureMm, double lengthKm, double coefficient) {
  // Both as the report shows them, to 0.1 mm: +5.7 beside ±5.7 is within.
  return roundHalfUp(std::fabs(misclosureMm), 1) <= roundHalfUp(coefficient * std::sqrt(lengthKm), 1);
}

double gradeErrorLimitKm(const std::string& grade) {
  if (grade == "一等") return 1.0;  // GB/T 12897-2006, 每千米高差全中误差
  if (grade == "二等") return 2.0;
  if (grade == "三等") return 6.0;
  if (grade == "四等") return 10.0;
  // GB 50026-2020 表 4.2.1, 每千米高差全中误差.
  if (grade == "工程二等") return 2.0;
  if (grade == "工程三等") return 6.0;
  if (grade == "工程四等") return 10.0;
  if (grade == "工程五等") return 15.0;
  return 0.0;
}

CheckFindings assessNetwork(const AdjustmentResults& run, std::vector<Misclosure> misclosures,
                            const CheckOptions& options) {
  requireValidOptions(options);
  const LevelingNetwork& net = run.net;
  CheckFindings f;
  f.toleranceCoefficient = toleranceCoefficient(options.grade, options.terrain);
  f.misclosures = std::move(misclosures);
  if (f.toleranceCoefficient > 0.0)
    for (std::size_t i = 0; i < f.misclosures.size(); ++i)
      if (!withinTolerance(f.misclosures[i].misclosureMm, f.misclosures[i].lengthKm, f.toleranceCoefficient))
        f.failedMisclosures.push_back(static_cast<int>(i) + 1);

  f.totalError = totalErrorPerKm(f.misclosures);
  f.totalErrorLimit = gradeErrorLimitKm(options.grade);
  f.totalErrorJudged = f.totalErrorLimit > 0.0 && static_cast<int>(f.misclosures.size()) >= kTotalErrorMinimumCount;
  if (f.totalErrorJudged) f.totalErrorPassed = roundHalfUp(f.totalError, 2) <= f.totalErrorLimit;

  // --sigma-km is what the surveyor expects of the data: both tests use it.
  // A grade alone gives only a limit: the variance test asks whether the
  // data are worse, and the blunder search estimates the precision itself.
  const double unitLength = std::sqrt(net.unitWeightLength);
  const double sigma0 = options.sigmaGiven ? options.sigmaKm * unitLength : 0.0;
  if (options.sigmaGiven) {
    f.globalTestDone = true;
    f.global = globalTest(run, sigma0);
  } else if (f.totalErrorLimit > 0.0) {
    f.globalTestDone = true;
    f.global = globalTest(run, f.totalErrorLimit * unitLength, true);
  }
  f.residuals = analyseResiduals(run, sigma0);

  listObservationsToLookAt(net, options, f);

  const ResidualAnalysis& a = f.residuals;
  f.blunderTestDecides = !(a.test == BlunderTest::popeTau && (a.dof <= kUnreliableTauDof || a.sFromRounding));
  f.passed = f.failedMisclosures.empty() && f.totalErrorPassed && (!f.globalTestDone || f.global.passed) &&
             f.residuals.test != BlunderTest::none && (f.residuals.suspected.empty() || !f.blunderTestDecides) &&
             net.duplicateNames.empty();
  return f;
}

std::string attentionText(unsigned char attention, bool suspected, bool removed) {
  if (removed) return "已剔除";
  std::string text;
  auto add = [&](const char* word) { text += (text.empty() ? "" : "、") + std::string(word); };
  if (suspected) add("可疑粗差");
  if (attention & kNoCheck) add("无检核");
  if (attention & kLowRedundancy) add("检核弱");
  if (attention & kBeyondPointAccuracy) add("影响超限");
  return text;
}

namespace {

// The network without the observations marked in `drop` (1..n), and the
// numbers the remaining ones had.
LevelingNetwork withoutObservations(const LevelingNetwork& net, const std::vector<char>& drop,
                                    const std::vector<int>& numbers, std::vector<int>& kept) {
  LevelingNetwork reduced = net;
  const bool decimals = net.differenceDecimals.size() == net.fromPoint.size();
  kept.assign(1, 0);
  std::size_t to = 1;
  for (int k = 1; k <= net.observationCount; ++k) {
    if (drop[k]) continue;
    reduced.fromPoint[to] = net.fromPoint[k];
    reduced.toPoint[to] = net.toPoint[k];
    reduced.observedDifference[to] = net.observedDifference[k];
    reduced.routeLength[to] = net.routeLength[k];
    if (decimals) reduced.differenceDecimals[to] = net.differenceDecimals[k];
    kept.push_back(numbers[k]);
    ++to;
  }
  reduced.observationCount = static_cast<int>(to) - 1;
  for (auto* v : {&reduced.fromPoint, &reduced.toPoint}) v->resize(to);
  reduced.observedDifference.resize(to);
  reduced.routeLength.resize(to);
  if (decimals) reduced.differenceDecimals.resize(to);
  return reduced;
}

// Points that no observation joins to a known point.
std::vector<int> unconnectedPoints(const LevelingNetwork& net) {
  std::vector<int> parent(static_cast<std::size_t>(net.pointCount) + 1);
  std::iota(parent.begin(), parent.end(), 0);
  std::function<int(int)> root = [&](int p) { return parent[p] == p ? p : parent[p] = root(parent[p]); };
  // Point 0 stands for every known point.
  for (int p = 1; p <= net.knownCount; ++p) parent[p] = 0;
  for (int k = 1; k <= net.observationCount; ++k) {
    const int a = root(net.fromPoint[k]), b = root(net.toPoint[k]);
    if (a != b) parent[std::max(a, b)] = std::min(a, b);
  }
  std::vector<int> lonely;
  for (int p = net.knownCount + 1; p <= net.pointCount; ++p)
    if (root(p) != 0) lonely.push_back(p);
  return lonely;
}

}  // namespace

namespace {

// A check run to its last round: that round's network and adjustment, its
// findings, and the numbers its observations have in the file.
// The last round's network is its adjustment's (run->net).
struct CheckedNetwork {
  std::optional<AdjustmentResults> run;
  CheckFindings findings;
  std::vector<int> numbers;
};

// Adjusts a round's network into `run` and returns its loops. The loop
// search reads only the network, which the adjustment leaves as it is; with
// more than one core it runs beside the adjustment, on the network while the
// adjustment takes a copy. An error of the adjustment is passed on first, as
// when one follows the other.
std::vector<Misclosure> adjustWithLoops(std::optional<AdjustmentResults>& run, LevelingNetwork net) {
  if (workerCount() < 2) {
    run.emplace(computeSparseAdjustment(std::move(net)));
    return findMisclosures(run->net);
  }
  std::vector<Misclosure> loops;
  runBeside([&] { run.emplace(computeSparseAdjustment(LevelingNetwork(net))); }, [&] { loops = findMisclosures(net); });
  return loops;
}

CheckedNetwork checkRounds(LevelingNetwork net, const CheckOptions& options) {
  requireValidOptions(options);
  const int n = net.observationCount;
  std::vector<int> numbers(static_cast<std::size_t>(n) + 1);
  std::iota(numbers.begin(), numbers.end(), 0);
  CheckedNetwork checked;
  std::vector<IterationRound> rounds;
  std::string stop;
  CheckFindings& findings = checked.findings;
  std::vector<Misclosure> loops = adjustWithLoops(checked.run, std::move(net));
  findings = assessNetwork(*checked.run, std::move(loops), options);
  while (options.iterate && !findings.residuals.suspected.empty()) {
    const LevelingNetwork& current = checked.run->net;
    const ResidualAnalysis& a = findings.residuals;
    if (!findings.blunderTestDecides) {
      stop = "τ 检验在这里不可靠，不据此剔除观测值";
      break;
    }
    // Of a tied group one member goes, the one of the largest r: which one
    // holds the blunder no data can tell, and removing any one of them frees
    // the rest of the network of it alike (the others are left as spurs,
    // without a check). Removing the whole group would cut the points of a
    // chain off.
    int removing = a.suspected.front();
    for (int k : a.suspected)
      if (a.rows[k].redundancy > a.rows[removing].redundancy) removing = k;
    if (a.dof - 1 < 1) {
      stop = "再剔除一个观测值，多余观测就没有了";
      break;
    }
    std::vector<char> drop(static_cast<std::size_t>(current.observationCount) + 1, 0);
    drop[removing] = 1;
    std::vector<int> kept;
    LevelingNetwork reduced = withoutObservations(current, drop, numbers, kept);
    const std::vector<int> lonely = unconnectedPoints(reduced);
    if (!lonely.empty()) {
      stop = "剔除后点 " + current.pointName[lonely.front()] + (lonely.size() > 1 ? " 等" : "") + " 与已知点不再相连";
      break;
    }
    IterationRound round;
    round.removed.push_back(numbers[removing]);
    round.removedNames.push_back(current.pointName[current.fromPoint[removing]] + "→" +
                                 current.pointName[current.toPoint[removing]]);
    if (a.suspected.size() > 1)
      for (int k : a.suspected) round.group.push_back(numbers[k]);
    round.statistic = a.rows[removing].w;
    round.sBefore = a.s;
    numbers = std::move(kept);
    checked.run.reset();  // `current` with it
    loops = adjustWithLoops(checked.run, std::move(reduced));
    findings = assessNetwork(*checked.run, std::move(loops), options);
    round.sAfter = findings.residuals.s;
    round.dofAfter = findings.residuals.dof;
    rounds.push_back(std::move(round));
  }
  // The file holds what the iteration removed: its data did not pass.
  if (!rounds.empty()) findings.passed = false;
  findings.rounds = std::move(rounds);
  findings.iterationStop = options.iterate && !findings.residuals.suspected.empty() ? stop : "";
  if (!findings.rounds.empty()) findings.observationNumbers = numbers;

  checked.numbers = std::move(numbers);
  return checked;
}

}  // namespace

bool checkNetwork(LevelingNetwork net, const CheckOptions& options, const std::string& fileName, TextSink& report) {
  const CheckedNetwork checked = checkRounds(std::move(net), options);
  writeCheckReport(checked.run->net, checked.findings, options, fileName, report);
  return checked.findings.passed;
}

CheckOutcome checkNetwork(const LevelingNetwork& net, const CheckOptions& options, const std::string& fileName) {
  const int n = net.observationCount;
  const CheckedNetwork checked = checkRounds(net, options);
  const AdjustmentResults& run = *checked.run;
  const LevelingNetwork& current = run.net;
  const CheckFindings& findings = checked.findings;
  const std::vector<int>& numbers = checked.numbers;
  CheckOutcome outcome;
  outcome.report = writeCheckReport(run.net, findings, options, fileName);
  outcome.passed = findings.passed;
  // The figures of every observation of the file, in its numbering.
  ResidualAnalysis& all = outcome.residuals;
  all = findings.residuals;
  all.rows.assign(static_cast<std::size_t>(n) + 1, Residual{});
  outcome.attentionText.assign(static_cast<std::size_t>(n) + 1, "");
  outcome.attention.assign(static_cast<std::size_t>(n) + 1, 0);
  for (const int i : findings.failedMisclosures) {
    const Misclosure& m = findings.misclosures[static_cast<std::size_t>(i) - 1];
    if (!m.route) outcome.failedLoops.push_back(m.points);
  }
  std::vector<char> present(static_cast<std::size_t>(n) + 1, 0);
  for (int k = 1; k <= current.observationCount; ++k) {
    all.rows[numbers[k]] = findings.residuals.rows[k];
    present[numbers[k]] = 1;
    outcome.attention[numbers[k]] = findings.attention[k];
    outcome.attentionText[numbers[k]] =
        attentionText(findings.attention[k], findings.residuals.rows[k].suspected, false);
  }
  for (int k = 1; k <= n; ++k)
    if (!present[k]) {
      outcome.attentionText[k] = attentionText(0, false, true);
      outcome.removed.push_back(k);
    }
  for (int& k : all.suspected) k = numbers[k];
  for (int& k : all.aboveCritical) k = numbers[k];
  return outcome;
}

}  // namespace levelnet
