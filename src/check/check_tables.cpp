// The check report's tables of every loop (section 一) and of every
// observation (section 三), streamed row by row (report_text.h).
#include <algorithm>
#include <cmath>
#include <memory>

#include "check/report_pieces.h"
#include "network/errors.h"
#include "network/number_text.h"

namespace levelnet::check_report {

namespace {

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

}  // namespace

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

}  // namespace levelnet::check_report
