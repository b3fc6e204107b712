#include "check/network_check.h"

#include <cmath>

#include "adjust/adjustment_results.h"
#include "check/misclosures.h"
#include "check/statistics.h"
#include "network/gbk.h"
#include "network/input_error.h"
#include "network/number_text.h"

namespace levelnet {

namespace {

// Columns on a terminal or in a fixed-width font: a Chinese character (or
// any other non-ASCII one) takes two cells, an ASCII character one.
std::size_t displayWidth(const std::string& text) {
  std::size_t width = 0;
  for (unsigned char c : text) {
    if (c < 0x80)
      width += 1;
    else if ((c & 0xC0) != 0x80)
      width += 2;
  }
  return width;
}

std::string right(const std::string& text, std::size_t width) {
  const std::size_t n = displayWidth(text);
  return n >= width ? text : std::string(width - n, ' ') + text;
}

std::string left(const std::string& text, std::size_t width) {
  const std::size_t n = displayWidth(text);
  return n >= width ? text : text + std::string(width - n, ' ');
}

// Numbers of the check report; one that is not finite refuses the check
// rather than show "inf" or "nan".
std::string fixed(double v, int decimals) {
  if (!std::isfinite(v))
    throw InputError("检核未完成：计算中出现了超出数值范围的结果（无穷大或非数），请检查高程、观测高差与路线长度");
  return fixedText(v, decimals);
}

std::string signedFixed(double v, int decimals) {
  std::string t = fixed(v, decimals);
  return t[0] == '-' ? t : "+" + t;
}

class Lines {
 public:
  void add(const std::string& line) { text_ += line + "\r\n"; }
  std::string take() { return std::move(text_); }

 private:
  std::string text_;
};

}  // namespace

double toleranceCoefficient(const std::string& grade, const std::string& terrain) {
  if (terrain != "" && terrain != "平原" && terrain != "山区")
    throw InputError("地形“" + terrain + "”不是“平原”或“山区”");
  const bool mountains = terrain == "山区";
  if (grade.empty()) return 0.0;
  if (grade == "二等") return 4.0;
  if (grade == "三等") return mountains ? 15.0 : 12.0;
  if (grade == "四等") return mountains ? 25.0 : 20.0;
  if (grade == "等外") return 40.0;
  throw InputError("等级“" + grade + "”不是“二等”、“三等”、“四等”或“等外”");
}

bool withinTolerance(double misclosureMm, double lengthKm, double coefficient) {
  return roundHalfUp(std::fabs(misclosureMm), 1) <= coefficient * std::sqrt(lengthKm);
}

double defaultSigmaKm(const std::string& grade) {
  if (grade == "二等") return 2.0;
  if (grade == "三等") return 6.0;
  if (grade == "四等") return 10.0;
  return 0.0;
}

CheckOutcome checkNetwork(const LevelingNetwork& net, const CheckOptions& options, const std::string& fileName) {
  const double coefficient = toleranceCoefficient(options.grade, options.terrain);
  if (options.sigmaGiven && !(options.sigmaKm > 0.0 && std::isfinite(options.sigmaKm)))
    throw InputError("--sigma-km 必须是大于 0 的数");
  const std::vector<Misclosure> misclosures = findMisclosures(net);
  const AdjustmentResults run = computeAdjustment(net);
  const double sigmaKm = options.sigmaGiven ? options.sigmaKm : defaultSigmaKm(options.grade);
  const double sigma0 = sigmaKm * std::sqrt(net.unitWeightLength);  // 0 when unknown
  const ResidualAnalysis residuals = analyseResiduals(run, sigma0);
  const int n = net.observationCount, t = net.parameterCount;
  const bool hasGrade = coefficient > 0.0;
  const std::string terrain = options.terrain.empty() ? "平原" : options.terrain;
  const bool terrainMatters = options.grade == "三等" || options.grade == "四等";

  CheckOutcome outcome;
  Lines out;
  out.add("水准网观测数据检核");
  out.add("文件：" + fileName);
  out.add("观测值 " + std::to_string(n) + " 个，待定点 " + std::to_string(t) + " 个，多余观测 " +
          std::to_string(n - t) + " 个");
  // Duplicate names: every observation refers to the first row, so a point
  // typed twice (a benchmark with two elevations) silently loses one row.
  for (const DuplicateName& d : net.duplicateNames) out.add("点名重复：" + duplicateNameWarning(d));
  if (hasGrade)
    out.add("等级：" + options.grade + (terrainMatters ? "，" + terrain : "") + "；闭合差限差 ±" +
            numberText(coefficient) + "√L mm（L 以 km 计）");
  else
    out.add("等级：未指定；闭合差只列出 W 与 W/√L，不作限差检核");

  // 1. Misclosures.
  out.add("");
  out.add("一、闭合差（W = 观测高差之和 − 已知高程之差，闭合环为观测高差之和）");
  out.add(right("序号", 4) + "  " + left("类型", 8) + right("L(km)", 9) + right("W(mm)", 10) + right("W/√L", 10) +
          (hasGrade ? right("限差(mm)", 11) + "  " + left("结果", 4) : "") + "  经过的点");
  std::vector<int> failed;
  for (std::size_t i = 0; i < misclosures.size(); ++i) {
    const Misclosure& m = misclosures[i];
    std::string route;
    for (std::size_t s = 0; s < m.points.size(); ++s) route += (s ? "-" : "") + net.pointName[m.points[s]];
    std::string line = right(std::to_string(i + 1), 4) + "  " + left(m.route ? "附合路线" : "闭合环", 8) +
                       right(fixed(m.lengthKm, 3), 9) + right(signedFixed(m.misclosureMm, 1), 10) +
                       right(signedFixed(m.misclosureMm / std::sqrt(m.lengthKm), 1), 10);
    if (hasGrade) {
      const double tolerance = coefficient * std::sqrt(m.lengthKm);
      const bool ok = withinTolerance(m.misclosureMm, m.lengthKm, coefficient);
      if (!ok) failed.push_back(static_cast<int>(i) + 1);
      line += right("±" + fixed(tolerance, 1), 11) + "  " + (ok ? "合格" : "超限");
    }
    out.add(line + "  " + route);
  }
  if (misclosures.empty()) out.add("  （没有多余观测，无闭合差）");

  // 2. Global test.
  out.add("");
  out.add("二、单位权方差的χ²检验（双侧，显著水平 5%）");
  bool chiDone = false, chiPassed = true;
  if (sigma0 > 0.0) {
    const GlobalTest g = globalTest(run, sigma0);
    chiDone = true;
    chiPassed = g.passed;
    out.add("  先验单位权中误差 σ0 = " + fixed(sigmaKm, 3) + " mm/√km × √" + numberText(net.unitWeightLength) +
            " km = " + fixed(sigma0, 3) + " mm" + (options.sigmaGiven ? "（--sigma-km）" : "（按等级）"));
    out.add("  [pvv] = " + fixed(g.pvv, 3) + " mm²（由未凑整的改正数计算）");
    out.add("  自由度 f = n − t = " + std::to_string(g.dof));
    out.add("  统计量 [pvv]/σ0² = " + fixed(g.statistic, 3));
    out.add("  接受区间 [χ²(0.025), χ²(0.975)] = [" + fixed(g.lower, 3) + ", " + fixed(g.upper, 3) + "]");
    out.add(std::string("  结果：") + (g.passed                ? "通过"
                                       : g.statistic > g.upper ? "未通过（偏大：观测精度不及先验值，或含粗差）"
                                                               : "未通过（偏小：先验值偏于保守）"));
  } else {
    out.add(std::string("  未做：") + (options.grade == "等外"
                                           ? "等外水准没有先验值，请用 --sigma-km 给出每公里高差中误差"
                                           : "未指定等级，也未用 --sigma-km 给出每公里高差中误差"));
  }

  // 3. Residuals.
  out.add("");
  out.add("三、残差分析（v 为未经凑整的改正数；后验单位权中误差 s = " + fixed(residuals.s, 3) + " mm）");
  if (residuals.aPriori) {
    out.add("  标准化残差 w = v / (σ0 √qvv)，σ0 = " + fixed(sigma0, 3) + " mm 为先验单位权中误差");
  } else {
    out.add("  标准化残差 w = v / (s √qvv)，未给出先验单位权中误差，用后验的 s");
    if (std::sqrt(static_cast<double>(n - t)) <= kBlunderLimit)
      out.add("  注意：用 s 时 |w| 不会超过 √(n − t) = " + fixed(std::sqrt(static_cast<double>(n - t)), 2) +
              "，不到 3.29，粗差无法由此发现；请用 --grade 或 --sigma-km 给出先验值");
  }
  out.add(right("序号", 4) + right("v(mm)", 11) + right("r", 8) + right("标准化残差", 12) + "  " + left("说明", 8) +
          "  起点→终点");
  int unchecked = 0;
  for (int k = 1; k <= n; ++k) {
    const Residual& r = residuals.rows[k];
    if (r.unchecked) ++unchecked;
    std::string note = r.suspected ? "可疑粗差" : r.unchecked ? "无法检核" : "";
    out.add(right(std::to_string(k), 4) + right(signedFixed(r.v, 2), 11) + right(fixed(r.redundancy, 3), 8) +
            right(r.standardised ? signedFixed(r.w, 2) : "—", 12) + "  " + left(note, 8) + "  " +
            net.pointName[net.fromPoint[k]] + "→" + net.pointName[net.toPoint[k]]);
  }
  out.add("  qvv = 1/p − aQaᵀ，r = p·qvv；|w| 最大且大于 3.29 者为可疑粗差；r < 0.01 的观测值含粗差也无法发现。");

  // 4. Verdict.
  std::string verdict = "结论：";
  if (!hasGrade)
    verdict += "闭合差未作限差检核（未指定等级）";
  else if (failed.empty())
    verdict += "闭合差 " + std::to_string(misclosures.size()) + " 个全部合格";
  else {
    verdict += "闭合差超限 " + std::to_string(failed.size()) + " 个（第";
    for (std::size_t i = 0; i < failed.size(); ++i) verdict += (i ? "、" : " ") + std::to_string(failed[i]);
    verdict += " 个）";
  }
  verdict += chiDone ? (chiPassed ? "；χ²检验通过" : "；χ²检验未通过") : "；χ²检验未做";
  if (residuals.suspected != 0) {
    const int k = residuals.suspected;
    verdict += "；第 " + std::to_string(k) + " 个观测值（" + net.pointName[net.fromPoint[k]] + "→" +
               net.pointName[net.toPoint[k]] + "）可疑粗差";
  } else {
    verdict += "；未发现可疑粗差";
  }
  if (unchecked > 0) verdict += "；" + std::to_string(unchecked) + " 个观测值无法检核";
  if (!net.duplicateNames.empty()) verdict += "；点名重复 " + std::to_string(net.duplicateNames.size()) + " 处";
  out.add("");
  out.add(verdict);
  outcome.passed = failed.empty() && chiPassed && residuals.suspected == 0 && net.duplicateNames.empty();
  outcome.report = out.take();
  return outcome;
}

}  // namespace levelnet
