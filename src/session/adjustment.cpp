#include "session/adjustment.h"

#include <new>
#include <utility>

#include "adjust/pipeline.h"
#include "adjust/results_mode.h"
#include "network/errors.h"

namespace levelnet::session {

namespace {

AdjustmentRun runOf(std::shared_ptr<const AdjustmentResults> results, ResultsTableWanted table) {
  AdjustmentRun run;
  run.duplicateNames = results->net.duplicateNames;
  run.emptyElevationRows = results->net.emptyElevationRows;
  if (table == ResultsTableWanted::yes) run.table = std::make_shared<const ResultsTable>(makeResultsTable(*results));
  run.results = std::move(results);
  return run;
}

LevelingNetwork gathered(const NetworkText& network, NetworkLimits limits) {
  return gatherNetwork(network.fields, network.points, network.observations, limits);
}

}  // namespace

AdjustmentRun adjust(const NetworkText& network, TextSink& report, ResultsTableWanted table) {
  if (network.fields.known.empty()) return {};
  auto results = std::make_shared<const AdjustmentResults>(computeAdjustment(gathered(network, kReportLimits)));
  AdjustmentRun run = runOf(results, table);
  try {
    writeReport(*results, report);
  } catch (const std::bad_alloc&) {
    throw OutOfMemoryError("内存不足：待定点 " + std::to_string(results->net.parameterCount) +
                           " 个，平差报告需要的内存超出本机可用内存");
  }
  return run;
}

AdjustmentRun adjustResultsOnly(NetworkText network, TextSink& report, NetworkLimits limits) {
  LevelingNetwork net = gathered(network, limits);
  { const NetworkText released = std::move(network); }
  auto results = std::make_shared<const AdjustmentResults>(computeResults(std::move(net)));
  writeResultsSections(*results, report);
  return runOf(std::move(results), ResultsTableWanted::no);
}

AdjustmentRun adjustForResultsTable(const NetworkText& network, NetworkLimits limits) {
  LevelingNetwork net = gathered(network, limits);
  const bool textbook = net.pointCount <= kReportLimits.points && net.observationCount <= kReportLimits.observations;
  auto results = std::make_shared<const AdjustmentResults>(textbook ? computeAdjustment(std::move(net))
                                                                    : computeResults(std::move(net)));
  return runOf(std::move(results), ResultsTableWanted::yes);
}

std::string reportText(const AdjustmentResults& results) {
  StringSink report;
  writeReport(results, report);
  return std::move(report.text);
}

}  // namespace levelnet::session
