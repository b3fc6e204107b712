// The design report (精度预估): the points' expected errors, every route's
// reliability as the check gives it, the routes without a check.
#include <cmath>

#include "check/check_report.h"
#include "check/network_design.h"
#include "check/report_text.h"

namespace levelnet {

using namespace report_text;

std::string writeDesignReport(const LevelingNetwork& net, const DesignFindings& f, const DesignOptions& options,
                              const std::string& fileName) {
  Lines out;
  const int n = net.observationCount, t = net.parameterCount;
  const ResidualAnalysis& a = f.residuals;
  out.add("水准网精度预估（未观测，由路线长度、已知点与每公里高差中误差计算）");
  out.add("文件：" + fileName);
  out.add("观测值 " + count(n) + " 个（观测高差未填写的 " + count(static_cast<int>(net.plannedRows.size())) +
          " 个），待定点 " + count(t) + " 个，多余观测 " + count(f.dof) + " 个");
  for (const DuplicateName& d : net.duplicateNames) out.add("点名重复：" + duplicateNameWarning(d));
  out.add("每公里高差中误差 σ = " + fixed(options.sigmaKm, 3) +
          " mm/√km，单位权中误差 σ0 = σ × √(单位权长度) = " + fixed(f.sigma0, 3) + " mm");
  if (f.toleranceCoefficient > 0.0)
    out.add("等级：" + options.grade + "；测段闭合差限差 ±" + numberText(f.toleranceCoefficient) + "√L mm");
  out.add("");
  out.add("一、待定点高程的预估中误差 M = σ0 √Q(i,i)（相对于已知点）");
  {
    ReportTable table({numberColumn("序号", 4, 0), textColumn("点号", 8), numberColumn("M(mm)", 10)});
    for (int i = 1; i <= t; ++i) table.add({count(i), net.pointName[net.knownCount + i], fixed(f.pointErrors[i], 2)});
    table.writeTo(out);
  }
  if (f.weakestPoint != 0)
    out.add("  最弱点：" + net.pointName[f.weakestPoint] + "，M = " + fixed(f.weakestError, 2) + " mm");
  if (f.pointLimit > 0.0)
    out.add("  最弱点高程中误差限值 " + fixed(f.pointLimit, 1) + " mm：" + (f.pointLimitMet ? "满足" : "不满足"));
  out.add("");
  out.add("二、可靠性（与检核的 w 检验相同：σ0 为先验单位权中误差）");
  if (a.test == BlunderTest::none) {
    out.add("  无法检核：没有 r ≥ " + fixed(kUncheckedRedundancy, 2) + " 的观测值，任何粗差都无法发现");
  } else {
    out.add("  参加检验的观测值 " + count(a.tested) + " 个，共 n' = " + count(a.testGroups) +
            " 个检验；全网的总显著水平 α = 5%，α0 = " + significant(a.alpha0, 3) +
            "（Šidák），临界值 k = " + fixed(a.critical, 3));
    out.add("  可发现的最小粗差 MDB = σ0 √(λ0 / (p·r))，λ0 = (z(1 − α0/2) + z(0.80))² = " + fixed(a.lambda0, 2) +
            "（检验功效 80%）");
    out.add(
        "  外部可靠性 ∇h：大小为 MDB 而未被发现的粗差使平差高程改变的最大值 |p·MDB·Q·aᵀ|，在影响最大的点上；"
        "BNR = √(λ0 (1 − r) / r)");
  }
  {
    const bool hasGrade = f.toleranceCoefficient > 0.0;
    std::vector<Column> columns = {
        numberColumn("序号", 4, 0), numberColumn("L(km)", 9),       numberColumn("r", 8),  numberColumn("MDB(mm)", 10),
        numberColumn("∇h(mm)", 10), textColumn("影响最大的点", 12), numberColumn("BNR", 8)};
    if (hasGrade) columns.push_back(numberColumn("点位限差(mm)", 13));
    columns.push_back(textColumn("说明", 8));
    columns.push_back(textColumn("起点→终点", 0));
    ReportTable table(std::move(columns));
    for (int k = 1; k <= n; ++k) {
      const Residual& r = a.rows[k];
      const bool tested = a.test != BlunderTest::none && !r.unchecked;
      const bool effect = tested && r.affectedPoint != 0;
      std::vector<std::string> row = {count(k),
                                      numberText(net.routeLength[k]),
                                      fixed(r.redundancy, 3),
                                      tested ? fixed(r.mdb, 1) : "—",
                                      effect ? fixed(r.externalEffect, 1) : "—",
                                      effect ? net.pointName[r.affectedPoint] : "—",
                                      tested ? fixed(r.biasToNoise, 2) : "—"};
      if (hasGrade) row.push_back(effect ? "±" + fixed(f.pointAccuracy[k], 1) : "—");
      row.push_back(!tested ? "无法检核" : attentionText(f.attention[k], false, false));
      row.push_back(observationName(net, k));
      table.add(std::move(row));
    }
    table.writeTo(out);
  }
  out.add("");
  out.add("三、没有检核的路线");
  if (f.uncheckedRoutes.empty())
    out.add("  没有：每条路线都在闭合环或附合路线中");
  else
    out.add("  " + observationNumbers(f.uncheckedRoutes) + "观测值（r < " + fixed(kUncheckedRedundancy, 2) +
            "，支线或没有多余观测）：其中的粗差无法发现，应加测使其构成闭合环或附合路线");
  out.add("");
  std::string verdict = "结论：";
  if (f.weakestPoint != 0)
    verdict += "最弱点 " + net.pointName[f.weakestPoint] + "，M = " + fixed(f.weakestError, 2) + " mm";
  else
    verdict += "没有待定点";
  if (f.pointLimit > 0.0) verdict += f.pointLimitMet ? "，满足限值 " : "，超过限值 ";
  if (f.pointLimit > 0.0) verdict += fixed(f.pointLimit, 1) + " mm";
  verdict += "；" + (f.uncheckedRoutes.empty() ? std::string("每条路线都有检核")
                                               : count(static_cast<int>(f.uncheckedRoutes.size())) + " 条路线无法检核");
  if (f.attentionCount > 0) verdict += "；须注意的路线 " + count(f.attentionCount) + " 条（无检核、检核弱或影响超限）";
  out.add(verdict);
  return out.take();
}

}  // namespace levelnet
