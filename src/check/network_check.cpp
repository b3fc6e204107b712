#include "check/network_check.h"

#include <cmath>
#include <utility>

#include "adjust/adjustment_results.h"
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
}

}  // namespace

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

  f.weaklyChecked.assign(static_cast<std::size_t>(net.observationCount) + 1, 0);
  if (f.toleranceCoefficient > 0.0 && f.residuals.test != BlunderTest::none)
    for (int k = 1; k <= net.observationCount; ++k) {
      const Residual& r = f.residuals.rows[k];
      if (!r.unchecked && r.mdb > f.toleranceCoefficient * std::sqrt(net.routeLength[k])) {
        f.weaklyChecked[k] = 1;
        ++f.weaklyCheckedCount;
      }
    }

  const bool blunderDecides = !(f.residuals.test == BlunderTest::popeTau && f.residuals.dof <= kUnreliableTauDof);
  f.passed = f.failedMisclosures.empty() && f.totalErrorPassed && (!f.globalTestDone || f.global.passed) &&
             f.residuals.test != BlunderTest::none && (f.residuals.suspected.empty() || !blunderDecides) &&
             net.duplicateNames.empty();
  return f;
}

CheckOutcome checkNetwork(const LevelingNetwork& net, const CheckOptions& options, const std::string& fileName) {
  requireValidOptions(options);
  std::vector<Misclosure> misclosures = findMisclosures(net);
  const AdjustmentResults run = computeSparseAdjustment(net);
  const CheckFindings findings = assessNetwork(run, std::move(misclosures), options);
  CheckOutcome outcome;
  outcome.report = writeCheckReport(run.net, findings, options, fileName);
  outcome.passed = findings.passed;
  outcome.residuals = findings.residuals;
  return outcome;
}

}  // namespace levelnet
