// The check report as text, and the check's figures in the 成果表, written
// with report_text.h (never "inf" or "nan"); its tables of every loop and
// every observation are in check_tables.cpp.
#include "check/check_report.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <set>
#include <utility>

#include "adjust/adjustment_results.h"
#include "adjust/results_table.h"
#include "check/report_pieces.h"
#include "check/report_text.h"
#include "network/errors.h"
#include "network/gbk.h"
#include "network/number_text.h"

namespace levelnet {

using namespace report_text;
using namespace check_report;

namespace {

// Section 二: the chi-square test of the variance factor.
void writeGlobalTest(ReportPieces& out, const LevelingNetwork& net, const CheckFindings& f,
                     const CheckOptions& options) {
  const GlobalTest& g = f.global;
  add(out, "");
  if (!f.globalTestDone) {
    add(out, "二、单位权方差的χ²检验");
    add(out, std::string("  未做：") + (options.grade == "等外" ? "等外水准没有先验值，也未给出先验每公里高差中误差"
                                                                : "未指定等级，也未给出先验每公里高差中误差"));
    return;
  }
  const double sigmaKm = g.sigma0 / std::sqrt(net.unitWeightLength);
  const std::string product =
      fixed(sigmaKm, 3) + " mm/√km × √" + numberText(net.unitWeightLength) + " km = " + fixed(g.sigma0, 3) + " mm";
  if (g.upperTailOnly) {
    add(out, "二、单位权方差的χ²检验（单侧，显著水平 5%）");
    add(out, "  σ0 = " + options.grade + "每公里高差中误差的限值 " + product);
    add(out, "  等级给出的是限值而不是期望值：只有精度不及该等级（统计量偏大）才不通过");
  } else {
    add(out, "二、单位权方差的χ²检验（双侧，显著水平 5%）");
    add(out, "  先验单位权中误差 σ0 = " + product + "（给定的每公里高差中误差，期望值）");
  }
  add(out, "  [pvv] = " + fixed(g.pvv, 3) + " mm²（由未凑整的改正数计算）");
  add(out, "  自由度 f = n − t = " + count(g.dof));
  add(out, "  统计量 [pvv]/σ0² = " + fixed(g.statistic, 3));
  add(out, "  后验每公里高差中误差 s/√(单位权长度) = " + fixed(f.residuals.s / std::sqrt(net.unitWeightLength), 3) +
               " mm/√km");
  if (g.upperTailOnly) {
    add(out, "  临界值 χ²(0.95) = " + fixed(g.upper, 3));
    if (!g.passed)
      add(out, "  结果：未通过（统计量大于临界值：观测精度不及" + options.grade + "的要求，或含粗差）");
    else if (g.farBetter)
      add(out, "  结果：通过（统计量小于 χ²(0.025) = " + fixed(g.lower, 3) + "：观测精度明显优于" + options.grade +
                   "的要求）");
    else
      add(out, "  结果：通过");
  } else {
    add(out, "  接受区间 [χ²(0.025), χ²(0.975)] = [" + fixed(g.lower, 3) + ", " + fixed(g.upper, 3) + "]");
    add(out, std::string("  结果：") + (g.passed                ? "通过"
                                        : g.statistic > g.upper ? "未通过（偏大：观测精度不及先验值，或含粗差）"
                                                                : "未通过（偏小：先验值偏于保守）"));
  }
}

// Section 四: the observations a surveyor must look at.
void writeObservationsToLookAt(ReportPieces& out, const LevelingNetwork& net, const CheckFindings& f,
                               const CheckOptions& options) {
  const ResidualAnalysis& a = f.residuals;
  add(out, "");
  add(out, "四、须注意的观测值（无检核；所在检验的 r < " + fixed(options.minRedundancy, 2) +
               (f.toleranceCoefficient > 0.0 ? "；外部可靠性超过点位限差" : "") + "）");
  if (f.attentionCount == 0) {
    add(out, "  无");
    return;
  }
  // Every number the lines print, before any is written.
  for (int k = 1; k <= net.observationCount; ++k) {
    const unsigned char mask = f.attention[k];
    const Residual& r = a.rows[k];
    if (mask & kNoCheck) requireFinite(r.redundancy, kTask);
    if (mask & kLowRedundancy) requireFinite(r.groupRedundancy, kTask);
    if (mask & kBeyondPointAccuracy) {
      requireFinite(r.externalEffect, kTask);
      requireFinite(f.pointAccuracy[k], kTask);
    }
  }
  out.later([&net, &f, minRedundancy = options.minRedundancy](ReportLines& lines) {
    const ResidualAnalysis& a = f.residuals;
    std::string why;
    for (int k = 1; k <= net.observationCount; ++k) {
      const unsigned char mask = f.attention[k];
      if (mask == 0) continue;
      const Residual& r = a.rows[k];
      why.clear();
      auto because = [&](const std::string& text) { why += (why.empty() ? "" : "；") + text; };
      if (mask & kNoCheck)
        because("无检核（r = " + fixed(r.redundancy, 3) + "，不与其他观测值完全相关：支线上的测段，粗差无法发现）");
      if (mask & kLowRedundancy)
        because("检核弱（所在检验的 r = " + fixed(r.groupRedundancy, 3) + " < " + fixed(minRedundancy, 2) + "）");
      if (mask & kBeyondPointAccuracy)
        because("影响超限（∇h = " + fixed(r.externalEffect, 1) + " mm 于 " + net.pointName[r.affectedPoint] +
                "，点位限差 ±" + fixed(f.pointAccuracy[k], 1) + " mm）");
      lines.append("  第 ");
      lines.append(count(fileNumber(f, k)));
      lines.append(" 个（");
      lines.append(observationName(net, k));
      lines.append("）：");
      lines.append(why);
      lines.endLine();
    }
  });
}

// The rounds of iterative data snooping, before the last round's sections.
void writeRounds(ReportPieces& out, const CheckFindings& f, const CheckOptions& options) {
  if (!options.iterate) return;
  add(out, "");
  add(out, "迭代数据探测（每轮剔除可疑粗差后重新平差、重新检验）");
  const std::string statistic = f.residuals.test == BlunderTest::popeTau ? "τ" : "w";
  int number = 0;
  for (const IterationRound& round : f.rounds) {
    std::string names;
    for (std::size_t i = 0; i < round.removed.size(); ++i) names += (i ? "、" : "") + round.removedNames[i];
    const std::string group = round.group.empty()
                                  ? ""
                                  : "，它与" + observationNumbers(round.group) +
                                        "观测值不可区分，粗差在其中之一：剔除其一，其余成为支线，不再有检核";
    add(out, "  第 " + count(++number) + " 轮：剔除" + observationNumbers(round.removed) + "观测值（" + names + "）" +
                 group + "，" + statistic + " = " + signedFixed(round.statistic, 3) + "；s 由 " +
                 fixed(round.sBefore, 3) + " mm 变为 " + fixed(round.sAfter, 3) + " mm，f = " + count(round.dofAfter));
  }
  std::string last = "  第 " + count(++number) + " 轮：";
  if (f.residuals.suspected.empty())
    last += "未发现可疑粗差，迭代结束";
  else
    last += "仍有可疑粗差，迭代停止：" + f.iterationStop;
  add(out, last);
  if (!f.rounds.empty()) add(out, "  以下各节为最后一轮的结果（序号为文件中的观测值序号）");
}

std::string conclusion(const LevelingNetwork& net, const CheckFindings& f, const CheckOptions& options) {
  const ResidualAnalysis& a = f.residuals;
  std::string verdict = "结论：";
  if (f.toleranceCoefficient == 0.0)
    verdict += "闭合差未作限差检核（未指定等级）";
  else if (f.failedMisclosures.empty())
    verdict += "闭合差 " + count(static_cast<int>(f.misclosures.size())) + " 个全部合格";
  else
    verdict += "闭合差超限 " + count(static_cast<int>(f.failedMisclosures.size())) + " 个（" +
               observationNumbers(f.failedMisclosures) + "）";
  if (!f.misclosures.empty()) {
    verdict += "；M_W = " + fixed(f.totalError, 2) + " mm";
    if (f.totalErrorJudged)
      verdict += f.totalErrorPassed ? " 合格" : " 超限";
    else if (f.totalErrorLimit > 0.0)
      verdict += "（N < " + count(kTotalErrorMinimumCount) + "，仅供参考）";
    else
      verdict += "（未作检核）";
  }
  verdict += f.globalTestDone ? (f.global.passed ? "；χ²检验通过" : "；χ²检验未通过") : "；χ²检验未做";
  if (!f.rounds.empty()) {
    std::vector<int> removed;
    for (const IterationRound& round : f.rounds)
      removed.insert(removed.end(), round.removed.begin(), round.removed.end());
    verdict +=
        "；迭代剔除 " + count(static_cast<int>(removed.size())) + " 个观测值（" + observationNumbers(removed) + "）";
  }
  const std::vector<int> suspected = fileNumbers(f, a.suspected);
  if (a.test == BlunderTest::none)
    verdict += "；无法检核：多余观测太少，粗差无法发现";
  else if (suspected.size() == 1)
    verdict += "；第 " + count(suspected[0]) + " 个观测值（" + observationName(net, a.suspected[0]) + "）可疑粗差";
  else if (!suspected.empty())
    verdict += "；可疑粗差（不可区分）：" + observationNumbers(suspected) + "观测值，粗差在其中之一";
  else
    verdict += f.rounds.empty() ? "；未发现可疑粗差" : "；剔除后未发现可疑粗差";
  if (a.test == BlunderTest::popeTau && !f.blunderTestDecides) verdict += "（τ 检验无法可靠检核，仅供参考）";
  if (!suspected.empty()) {
    // Every test above the critical value, not only the largest: a second
    // blunder shows here, and is tested again once the first is removed.
    if (a.testsAboveCritical > 1)
      verdict += "；超过临界值的检验共 " + count(a.testsAboveCritical) + " 个（" +
                 observationNumbers(fileNumbers(f, a.aboveCritical)) + "观测值）";
    if (options.iterate && !f.iterationStop.empty())
      verdict += "；迭代停止：" + f.iterationStop;
    else
      verdict += suspected.size() == 1
                     ? "；建议剔除第 " + count(suspected[0]) + " 个观测值后重新检核"
                     : "；建议查对" + observationNumbers(suspected) + "观测值的记录，剔除有粗差者后重新检核";
  }
  if (f.attentionCount > 0) verdict += "；须注意的观测值 " + count(f.attentionCount) + " 个（见四）";
  if (!net.duplicateNames.empty())
    verdict += "；点名重复 " + count(static_cast<int>(net.duplicateNames.size())) + " 处";
  return verdict;
}

}  // namespace

void writeCheckReport(const LevelingNetwork& net, const CheckFindings& f, const CheckOptions& options,
                      const std::string& fileName, TextSink& sink) {
  // The counts of the file: the last round's network plus what was removed.
  int n = net.observationCount;
  for (const IterationRound& round : f.rounds) n += static_cast<int>(round.removed.size());
  const int t = net.parameterCount;
  const std::string terrain = options.terrain.empty() ? "平原" : options.terrain;
  const bool terrainMatters = options.grade == "三等" || options.grade == "四等";
  ReportPieces out;
  add(out, "水准网观测数据检核");
  add(out, "文件：" + fileName);
  add(out, "观测值 " + count(n) + " 个，待定点 " + count(t) + " 个，多余观测 " + count(n - t) + " 个");
  // Duplicate names: every observation refers to the first row, so a point
  // typed twice (a benchmark with two elevations) silently loses one row.
  for (const DuplicateName& d : net.duplicateNames) add(out, "点名重复：" + duplicateNameWarning(d));
  if (f.toleranceCoefficient > 0.0)
    add(out, "等级：" + options.grade + (terrainMatters ? "，" + terrain : "") + "；闭合差限差 ±" +
                 numberText(f.toleranceCoefficient) + "√L mm（L 以 km 计）");
  else
    add(out, "等级：未指定；闭合差只列出 W 与 W/√L，不作限差检核");
  writeRounds(out, f, options);
  writeMisclosures(out, net, f, options.grade);
  writeGlobalTest(out, net, f, options);
  writeResiduals(out, net, f, options);
  writeObservationsToLookAt(out, net, f, options);
  add(out, "");
  add(out, conclusion(net, f, options));
  ReportLines lines(sink);
  out.writeTo(lines);
  lines.finish();
}

std::string writeCheckReport(const LevelingNetwork& net, const CheckFindings& f, const CheckOptions& options,
                             const std::string& fileName) {
  StringSink sink;
  writeCheckReport(net, f, options, fileName, sink);
  return std::move(sink.text);
}

void addCheckFigures(ResultsTable& table, const ResidualAnalysis& residuals,
                     const std::vector<std::string>& attentionText) {
  if (residuals.rows.size() != table.observations.size() + 1 || attentionText.size() != residuals.rows.size())
    throw InputError("检核结果与成果表的观测值个数不同，无法合并");
  const bool tested = residuals.test != BlunderTest::none;
  for (std::size_t k = 1; k < residuals.rows.size(); ++k) {
    const Residual& r = residuals.rows[k];
    ObservationResult& o = table.observations[k - 1];
    o.attention = attentionText[k];
    // An observation the iteration removed has no figures of the check.
    const bool removed = o.attention == "已剔除";
    o.redundancy = removed ? std::nullopt : std::optional<double>(r.redundancy);
    o.redundancyText = removed ? kNoValueText : fixed(r.redundancy, 3);
    if (tested && r.standardised) {
      o.testStatistic = r.w;
      o.testStatisticText = signedFixed(r.w, 2);
    } else {
      o.testStatistic.reset();
      o.testStatisticText = kNoValueText;
    }
  }
  table.testStatisticName = residuals.test == BlunderTest::popeTau ? "τ" : "w";
}

}  // namespace levelnet
