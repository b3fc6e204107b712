#include "adjust/adjustment_run.h"
#include "adjust/pipeline.h"

#include <new>

#include "network/errors.h"

namespace levelnet {

AdjustmentOutcome adjustNetwork(const ParameterFields& fields, const TextTable& points, const TextTable& observations,
                                TextSink& report) {
  AdjustmentOutcome outcome;
  if (fields.known.empty()) return outcome;
  auto results =
      std::make_shared<const AdjustmentResults>(computeAdjustment(gatherNetwork(fields, points, observations)));
  try {
    writeReport(*results, report);
  } catch (const std::bad_alloc&) {
    throw OutOfMemoryError("内存不足：待定点 " + std::to_string(results->net.parameterCount) +
                           " 个，平差报告需要的内存超出本机可用内存");
  }
  outcome.duplicateNames = results->net.duplicateNames;
  outcome.emptyElevationRows = results->net.emptyElevationRows;
  outcome.results = std::move(results);
  return outcome;
}

std::string runAdjustment(const ParameterFields& fields, const TextTable& points, const TextTable& observations) {
  StringSink sink;
  adjustNetwork(fields, points, observations, sink);
  return std::move(sink.text);
}

}  // namespace levelnet
