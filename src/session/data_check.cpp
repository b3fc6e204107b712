#include "session/data_check.h"

#include <cmath>
#include <optional>
#include <utility>

#include "check/check_report.h"
#include "network/errors.h"
#include "network/number_text.h"

namespace levelnet::session {

namespace {

// Beyond this a per-km standard error is a typing slip, not a precision.
constexpr double kMaxSigmaKm = 1000.0;

}  // namespace

CheckOptions checkOptions(const std::string& grade, const std::string& terrain, const std::string& sigmaKm,
                          const std::string& minRedundancy, bool iterate) {
  CheckOptions options;
  options.iterate = iterate;
  if (!minRedundancy.empty()) {
    const std::optional<double> r = parseNumber(minRedundancy);
    if (!r || !(*r >= 0.0 && *r < 1.0))
      throw InputError("多余观测分量 r 的下限“" + minRedundancy + "”不是 0 到 1 之间（不含 1）的数");
    options.minRedundancy = *r;
  }
  options.grade = grade;
  options.terrain = terrain;
  if (!sigmaKm.empty()) {
    const std::optional<double> sigma = parseNumber(sigmaKm);
    if (!sigma || !(*sigma > 0.0) || !(*sigma <= kMaxSigmaKm))
      throw InputError("每公里高差中误差 σ“" + sigmaKm + "”不是大于 0、不超过 1000 的毫米数", Remedy::sigmaPerKm);
    options.sigmaGiven = true;
    options.sigmaKm = *sigma;
  }
  toleranceCoefficient(options.grade, options.terrain);  // refuses an unknown grade or terrain
  return options;
}

CheckRun checkNetwork(const NetworkText& network, const CheckOptions& options, const std::string& fileName,
                      NetworkLimits limits, const std::vector<FieldBook>* books,
                      const fieldbook::CorrectionInputs& corrections) {
  const CheckOutcome outcome = levelnet::checkNetwork(
      gatherNetwork(network.fields, network.points, network.observations, limits), options, fileName);
  CheckRun run;
  run.report = outcome.report;
  run.passed = outcome.passed;
  run.residuals = outcome.residuals;
  run.attentionText = outcome.attentionText;
  run.attention = outcome.attention;
  run.failedLoops = outcome.failedLoops;
  run.removed = outcome.removed;
  run.options = options;
  if (books != nullptr && !books->empty()) {
    const RecordsCheck records = checkFieldRecords(network, *books, options.grade, options.terrain, corrections);
    run.report += records.text;
    run.passed = run.passed && records.passed;
  }
  return run;
}

bool checkNetworkInto(NetworkText network, const CheckOptions& options, const std::string& fileName, TextSink& sink,
                      NetworkLimits limits, const std::vector<FieldBook>* books,
                      const fieldbook::CorrectionInputs& corrections) {
  LevelingNetwork gathered = gatherNetwork(network.fields, network.points, network.observations, limits);
  // The books are checked before any of the report is written: a refusal
  // leaves nothing of this network's report behind.
  std::optional<RecordsCheck> records;
  if (books != nullptr && !books->empty())
    records = checkFieldRecords(network, *books, options.grade, options.terrain, corrections);
  { const NetworkText released = std::move(network); }
  bool passed = levelnet::checkNetwork(std::move(gathered), options, fileName, sink);
  if (records) {
    sink.write(records->text);
    passed = passed && records->passed;
  }
  return passed;
}

ResultsTable withCheckFigures(const ResultsTable& table, const CheckRun& check) {
  ResultsTable checked = table;
  try {
    addCheckFigures(checked, check.residuals, check.attentionText);
  } catch (const InputError&) {
    return table;  // not the same observations
  }
  return checked;
}

}  // namespace levelnet::session
