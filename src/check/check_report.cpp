// The check report as text, and the check's figures in the 成果表, written
// with report_text.h (never "inf" or "nan").
#include "check/check_report.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <memory>
#include <set>
#include <utility>

#include "adjust/adjustment_results.h"
#include "adjust/results_table.h"
#include "check/report_text.h"
#include "network/errors.h"
#include "network/gbk.h"
#include "network/number_text.h"

namespace levelnet {

using namespace report_text;

namespace {

// The report in pieces: its lines kept as text, and its large parts (the
// tables of every loop and every observation, the observations to look at)
// kept as the way to write them, once every number they print has been
// formatted: a number that is not finite refuses the report before any of
// it is written.
class ReportPieces {
 public:
  void add(std::string_view line) {
    texts_.back().append(line);
    texts_.back().append("\r\n");
  }
  // A table of rows first..last (writeStreamedTable); `row` is kept.
  template <class Row>
  void table(std::vector<Column> columns, int first, int last, Row row) {
    std::vector<std::size_t> widths = measureStreamedTable(columns, first, last, row);
    later([columns = std::move(columns), widths = std::move(widths), first, last, row](ReportLines& lines) {
      writeStreamedTable(lines, columns, widths, first, last, row);
    });
  }
  // Lines written by `write` when their turn comes.
  void later(std::function<void(ReportLines&)> write) {
    parts_.push_back(std::move(write));
    texts_.emplace_back();
  }
  void writeTo(ReportLines& lines) const {
    for (std::size_t i = 0; i < texts_.size(); ++i) {
      lines.appendLines(texts_[i]);
      if (i < parts_.size()) parts_[i](lines);
    }
  }

 private:
  std::vector<std::string> texts_ = std::vector<std::string>(1);
  std::vector<std::function<void(ReportLines&)>> parts_;
};

void add(ReportPieces& out, std::string_view line) { out.add(line); }

// Section 一: the loops and routes, their tolerances and M_W.
void writeMisclosures(ReportPieces& out, const LevelingNetwork& net, const CheckFindings& f, const std::string& grade) {
  const bool hasGrade = f.toleranceCoefficient > 0.0;
  add(out, "");
  add(out, "一、闭合差（W = 观测高差之和 − 已知高程之差，闭合环为观测高差之和）");
  std::vector<Column> columns = {numberColumn("序号", 4, 0), textColumn("类型", 8), numberColumn("L(km)", 9),
                                 numberColumn("W(mm)", 10), numberColumn("W/√L", 10)};
  if (hasGrade) {
    columns.push_back(numberColumn("限差(mm)", 11));
    columns.push_back(textColumn("结果", 4));
  }
  columns.push_back(textColumn("经过的点", 0));
  const auto names = std::make_shared<const PackedNames>(net.pointName, "-");
  out.table(std::move(columns), 0, static_cast<int>(f.misclosures.size()) - 1,
            [names, &f, hasGrade](int i, RowCells& row, bool measuring) {
              const Misclosure& m = f.misclosures[i];
              row.count(i + 1);
              row.text(m.route ? "附合路线" : "闭合环");
              row.fixed(m.lengthKm, 3);
              row.signedFixed(m.misclosureMm, 1);
              row.signedFixed(m.misclosureMm / std::sqrt(m.lengthKm), 1);
              if (hasGrade) {
                // failedMisclosures ascends.
                const bool failed = std::binary_search(f.failedMisclosures.begin(), f.failedMisclosures.end(), i + 1);
                row.append("±");
                row.appendFixed(f.toleranceCoefficient * std::sqrt(m.lengthKm), 1);
                row.end();
                row.text(failed ? "超限" : "合格");
              }
              if (measuring) return;  // the route, last, is never padded
              for (std::size_t s = 0; s < m.points.size(); ++s)
                row.appendPacked(s ? names->withSeparator(m.points[s]) : names->name(m.points[s]));
              row.end();
            });
  if (f.misclosures.empty()) {
    add(out, "  （没有多余观测，无闭合差）");
    return;
  }
  std::string line = "  每公里高差全中误差 M_W = √([WW/L]/N) = " + fixed(f.totalError, 2) +
                     " mm（N = " + count(static_cast<int>(f.misclosures.size())) + "）";
  const std::string limit = grade + "限值 " + fixed(f.totalErrorLimit, 1) + " mm";
  if (grade.empty())
    line += "，未指定等级，不作检核";
  else if (f.totalErrorLimit == 0.0)
    line += "，" + grade + "水准没有 M_W 的限值";
  else if (!f.totalErrorJudged)
    line += "，闭合差不足 " + count(kTotalErrorMinimumCount) + " 个，规范不作检核，仅供参考（" + limit + "）";
  else
    line += f.totalErrorPassed ? "，不超过" + limit + "：合格" : "，超过" + limit + "：超限";
  add(out, line);
}

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

// The observation's number in the file the report is of.
int fileNumber(const CheckFindings& f, int k) { return f.observationNumbers.empty() ? k : f.observationNumbers[k]; }

std::vector<int> fileNumbers(const CheckFindings& f, const std::vector<int>& ks) {
  std::vector<int> numbers;
  for (int k : ks) numbers.push_back(fileNumber(f, k));
  return numbers;
}

// "0.1 mm" or "0.1 至 1 mm": the resolution of the observed differences' texts.
std::string resolutionText(const LevelingNetwork& net) {
  int finest = -100, coarsest = 100;
  for (int k = 1; k <= net.observationCount; ++k) {
    finest = std::max<int>(finest, net.differenceDecimals[k]);
    coarsest = std::min<int>(coarsest, net.differenceDecimals[k]);
  }
  auto mm = [](int decimals) { return numberText(1000.0 * std::pow(10.0, -decimals)) + " mm"; };
  return finest == coarsest ? mm(finest) : mm(finest) + " 至 " + mm(coarsest);
}

// Section 三: the blunder search, every observation's MDB and external
// reliability.
void writeResiduals(ReportPieces& out, const LevelingNetwork& net, const CheckFindings& f,
                    const CheckOptions& options) {
  const ResidualAnalysis& a = f.residuals;
  const bool hasGrade = f.toleranceCoefficient > 0.0;
  const bool tau = a.test == BlunderTest::popeTau;
  const bool aPriori = a.test == BlunderTest::baardaW;
  add(out, "");
  add(out, "三、粗差探测与可靠性（v 为未经凑整的改正数；后验单位权中误差 s = " + fixed(a.s, 3) + " mm）");
  if (a.test == BlunderTest::none) {
    if (a.tested == 0)
      add(out, "  无法检核：所有观测值的 r 都小于 " + fixed(kUncheckedRedundancy, 2) + "，任何粗差都无法发现");
    else
      add(out, "  无法检核：多余观测只有 " + count(a.dof) +
                   " 个，未给出先验单位权中误差时 |τ| 恒等于 1，任何粗差都无法发现；给出先验每公里高差中误差"
                   "即可检核（w 检验只需 1 个多余观测）");
  } else {
    const std::string levels[] = {
        "  参加检验的观测值 " + count(a.tested) + " 个（r ≥ " + fixed(kUncheckedRedundancy, 2) +
            "，或与其他观测值不可区分），改正数完全相关（|ρ| = 1，同一闭合环或两个结点之间的一串测段）的算一个检验，"
            "共 n' = " +
            count(a.testGroups) + " 个检验",
        "  全网的总显著水平 α = 5%，每个检验的显著水平 α0 = 1 − (1 − α)^(1/n') = " + significant(a.alpha0, 3) +
            "（Šidák）"};
    if (aPriori) {
      add(out, "  Baarda 的 w 检验：w = v / (σ0 √qvv)，σ0 = " + fixed(a.scale, 3) + " mm 为先验单位权中误差");
      for (const std::string& line : levels) add(out, line);
      add(out, "  临界值 k = z(1 − α0/2) = " + fixed(a.critical, 3) + "：|w| 最大且大于 k 者为可疑粗差");
    } else {
      add(out, "  Pope 的 τ 检验（未给出先验单位权中误差）：τ = v / (s √qvv)，自由度 f = n − t = " + count(a.dof));
      if (a.dof <= kUnreliableTauDof)
        add(out, "  无法可靠检核：多余观测只有 " + count(a.dof) + " 个（≤ " + count(kUnreliableTauDof) +
                     "），s 由这几个改正数估计，τ 检验误报率高，其结果仅供参考，不单独判定检核不通过；"
                     "给出先验每公里高差中误差即可用 w 检验");
      for (const std::string& line : levels) add(out, line);
      add(out, "  临界值 τc = √f·t / √(f − 1 + t²) = " + fixed(a.critical, 3) + "，t = t(" + count(a.dof - 1) +
                   ", 1 − α0/2) = " + fixed(a.student, 3) + "：|τ| 最大且大于 τc 者为可疑粗差");
    }
    add(out, std::string("  可发现的最小粗差 MDB = ") + (aPriori ? "σ0" : "s") +
                 " √(λ0 / (p·r))，λ0 = (z(1 − α0/2) + z(0.80))² = " + fixed(a.lambda0, 2) + "（检验功效 80%" +
                 (aPriori ? "" : "，以 s 代替 σ0") + "）");
    add(out,
        "  外部可靠性 ∇h：大小为 MDB 而未被发现的粗差使平差高程改变的最大值 |p·MDB·Q·aᵀ|，在影响最大的点上；"
        "BNR = √(λ0 (1 − r) / r)");
    if (hasGrade)
      add(out, "  点位限差 = ±" + numberText(f.toleranceCoefficient) +
                   "√L mm，L 为影响最大的点到最近已知点的最短路线长度（km）：" + options.grade +
                   "水准一条该长度的路线的限差");
  }
  if (a.resolutionKnown) {
    add(out, "  观测高差的取位为 " + resolutionText(net) + "；仅由取位的舍入产生的单位权中误差约为 " +
                 fixed(a.roundingS, 3) + " mm" +
                 (a.sFromRounding ? "：s 与之相当，反映的是数据的取位而不是观测精度" +
                                        std::string(tau ? "，τ 检验不单独判定检核不通过" : "")
                                  : ""));
  }
  std::vector<Column> columns = {numberColumn("序号", 4, 0),     numberColumn("v(mm)", 11),
                                 numberColumn("r", 8),           numberColumn(tau ? "学生化残差" : "标准化残差", 12),
                                 numberColumn("MDB(mm)", 10),    numberColumn("∇h(mm)", 10),
                                 textColumn("影响最大的点", 12), numberColumn("BNR", 8)};
  if (hasGrade) columns.push_back(numberColumn("点位限差(mm)", 13));
  columns.push_back(textColumn("说明", 8));
  columns.push_back(textColumn("起点→终点", 0));
  const bool tied = a.suspected.size() > 1;
  bool anyWithinRounding = false;
  for (int k = 1; k <= net.observationCount; ++k) anyWithinRounding = anyWithinRounding || a.rows[k].withinRounding;
  const auto names = std::make_shared<const PackedNames>(net.pointName, "→");
  out.table(std::move(columns), 1, net.observationCount,
            [&net, names, &f, hasGrade, tied](int k, RowCells& row, bool measuring) {
              const ResidualAnalysis& a = f.residuals;
              const Residual& r = a.rows[k];
              const bool tested = a.test != BlunderTest::none && !r.unchecked;
              const bool effect = tested && r.affectedPoint != 0;
              row.count(fileNumber(f, k));
              row.signedFixed(r.v, 2);
              row.fixed(r.redundancy, 3);
              if (r.standardised && a.test != BlunderTest::none)
                row.signedFixed(r.w, 3);
              else
                row.text("—");
              if (tested)
                row.fixed(r.mdb, 1);
              else
                row.text("—");
              if (effect) {
                row.fixed(r.externalEffect, 1);
                row.appendPacked(names->name(r.affectedPoint));
                row.end();
              } else {
                row.text("—");
                row.text("—");
              }
              if (tested)
                row.fixed(r.biasToNoise, 2);
              else
                row.text("—");
              if (hasGrade) {
                if (effect) {
                  row.append("±");
                  row.fixed(f.pointAccuracy[k], 1);
                } else {
                  row.text("—");
                }
              }
              // The note: what the test says, then the attention reasons.
              const std::string_view said = r.withinRounding ? "在取位误差内"
                                            : r.suspected ? (tied ? "可疑粗差（不可区分）" : "可疑粗差")
                                            : r.unchecked ? "无法检核"
                                                          : "";
              row.append(said);
              bool any = !said.empty();
              if (!r.unchecked && (f.attention[k] & kLowRedundancy)) {
                row.append(any ? "，检核弱" : "检核弱");
                any = true;
              }
              if (f.attention[k] & kBeyondPointAccuracy) row.append(any ? "，影响超限" : "影响超限");
              row.end();
              if (measuring) return;  // the observation, last, is never padded
              row.appendPacked(names->name(net.fromPoint[k]));
              row.appendPacked(names->withSeparator(net.toPoint[k]));
              row.end();
            });
  if (a.test != BlunderTest::none)
    add(out,
        "  qvv = 1/p − aQaᵀ，r = p·qvv；改正数完全相关（由 Q_vv 算得 |ρ| = 1）的观测值是一个检验，一并列为可疑粗差："
        "同一闭合环或两个结点之间的一串测段，粗差在其中之一，无法区分。");
  add(out,
      "  不与其他观测值完全相关且 r < " + fixed(kUncheckedRedundancy, 2) + " 的观测值不参加检验，含粗差也无法发现。");
  if (anyWithinRounding)
    add(out,
        "  在取位误差内：统计量大于临界值，但改正数不超过观测高差取位的舍入所能产生的 Σ|R_kj|·d_j/2"
        "（R = Q_vv·P，d_j 为第 j 个高差的取位），不作为粗差的证据。");
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
