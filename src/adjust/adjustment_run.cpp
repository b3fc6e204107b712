#include "adjust/adjustment_run.h"

#include <new>

#include "adjust/adjusted_values.h"
#include "adjust/approximate_elevations.h"
#include "adjust/error_equations.h"
#include "adjust/normal_equations.h"
#include "adjust/precision.h"
#include "adjust/report_format.h"
#include "adjust/solution.h"
#include "network/input_error.h"

namespace levelnet {

namespace {

// A generous guess of the report's length. Reserved memory that is never
// written costs no physical memory, and the guess spares the large sections
// the copies of a growing text.
std::size_t reportSizeGuess(const LevelingNetwork& net) {
  const std::size_t n = static_cast<std::size_t>(net.observationCount);
  const std::size_t t = static_cast<std::size_t>(net.parameterCount);
  const std::size_t p = static_cast<std::size_t>(net.pointCount);
  return 1024 + p * 64 + n * (6 * t + 96) + 2 * t * (12 * t + 32) + t * 48;
}

}  // namespace

std::string AdjustmentRun::execute() {
  AdjustmentReport report;
  report.reserve(reportSizeGuess(net));
  pvv = 0.0;
  unitWeightError = 0.0;
  approximateElevations(*this, report);
  formErrorEquations(*this, report);
  formNormalEquations(*this, report);
  invertNormalMatrix(*this);
  solveNormalEquations(*this, report);
  adjustObservations(*this, report);
  assessPrecision(*this, report);
  return report.take();
}

AdjustmentOutcome adjustNetwork(const ParameterFields& fields, TextTable& points, const TextTable& observations) {
  AdjustmentOutcome outcome;
  if (fields.known.empty()) return outcome;
  AdjustmentRun run(gatherNetwork(fields, points, observations));
  try {
    outcome.report = run.execute();
  } catch (const std::bad_alloc&) {
    // Sections 3 and 4 list all t x t elements of N and Q: a network of
    // tens of thousands of unknown points needs more memory than there is.
    throw InputError("内存不足：待定点 " + std::to_string(run.net.parameterCount) +
                     " 个，法方程与平差报告需要的内存超出本机可用内存");
  }
  // Only a run that went through leaves its mark on the table.
  fillEmptyElevations(points, run.net.pointCount);
  outcome.duplicateNames = run.net.duplicateNames;
  return outcome;
}

std::string runAdjustment(const ParameterFields& fields, TextTable& points, const TextTable& observations) {
  return adjustNetwork(fields, points, observations).report;
}

}  // namespace levelnet
