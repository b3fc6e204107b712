// The results mode and the sparse path under it: sections 1, 5, 6 and 7
// byte for byte as in the full report, the selected inverse against the
// textbook solver's Q, and the fall-back to the textbook solver where a
// figure lies on a rounding edge.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "adjust/adjustment_run.h"
#include "adjust/pipeline.h"
#include "adjust/results_export.h"
#include "adjust/results_mode.h"
#include "adjust/results_table.h"
#include "adjust/sparse_normal.h"
#include "network/errors.h"
#include "network/project_file.h"
#include "support/network_generator.h"
#include "support/network_text.h"

namespace levelnet {
namespace {

std::string fullReport(const AdjustmentResults& r) {
  StringSink sink;
  writeReport(r, sink);
  return sink.text;
}

std::string resultsSections(const AdjustmentResults& r) {
  StringSink sink;
  writeResultsSections(r, sink);
  return sink.text;
}

// The full report without sections 2, 3 and 4 (each after an empty line).
std::string withoutMatrices(const std::string& report) {
  std::vector<std::string> sections;
  std::size_t start = 0;
  for (;;) {
    const std::size_t gap = report.find("\r\n\r\n", start);
    if (gap == std::string::npos) {
      sections.push_back(report.substr(start));
      break;
    }
    sections.push_back(report.substr(start, gap + 2 - start));
    start = gap + 4;
  }
  EXPECT_EQ(sections.size(), 7u);
  std::string out = sections[0];
  for (std::size_t s = 4; s < sections.size(); ++s) out += "\r\n" + sections[s];
  return out;
}

LevelingNetwork gathered(const NetworkText& text) { return gatherNetwork(text.fields, text.points, text.observations); }

NetworkText opened(const std::string& path) {
  NetworkText net;
  applyProject(readProjectFile(path), net.fields, net.points, net.observations);
  return net;
}

TEST(ResultsMode, SectionsAreThoseOfTheFullReportOnExamplesRandomNetworksAndGrids) {
  std::vector<std::pair<std::string, NetworkText>> networks;
  for (const char* example : {"two_benchmarks", "loop_a_b", "one_unknown", "city_network"})
    networks.emplace_back(example, opened(std::string(LEVELNET_EXAMPLES_DIR) + "/" + example + ".pc"));
  networks.emplace_back("city_blunder", opened(std::string(LEVELNET_CASES_DIR) + "/city_blunder.pc"));
  for (std::uint32_t seed = 1; seed <= 200; ++seed)
    networks.emplace_back("seed " + std::to_string(seed), testing::randomNetwork(seed, seed % 3 == 0 ? 40 : 12));
  for (auto [rows, cols] : {std::pair{1, 1}, {3, 7}, {10, 20}, {40, 25}})
    networks.emplace_back("grid " + std::to_string(rows) + "x" + std::to_string(cols),
                          testing::gridNetwork(rows, cols, static_cast<std::uint32_t>(rows * cols)));
  int sparseOnly = 0;
  for (const auto& [name, text] : networks) {
    const std::string expected = withoutMatrices(fullReport(computeAdjustment(gathered(text))));
    EXPECT_EQ(resultsSections(computeResults(gathered(text))), expected) << name;
    // The sparse path alone prints the same wherever it claims to.
    const AdjustmentResults sparse = computeSparseAdjustment(gathered(text));
    if (printedFiguresCertain(sparse)) {
      ++sparseOnly;
      EXPECT_EQ(resultsSections(sparse), expected) << name << " (sparse path)";
    }
  }
  EXPECT_GT(sparseOnly, static_cast<int>(networks.size()) * 9 / 10) << "the sparse path is hardly ever used";
}

TEST(ResultsMode, SelectedInverseEqualsTheDenseInverseOnItsPattern) {
  for (std::uint32_t seed = 1; seed <= 100; ++seed) {
    const LevelingNetwork net = gathered(testing::randomNetwork(seed, 30));
    const AdjustmentResults dense = computeAdjustment(net);
    SparseNormalSolver solver(dense);
    solver.invertSelected();
    const Cofactors& Q = dense.cofactors;
    auto close = [](double a, double b) { return std::fabs(a - b) <= 1e-12 * std::fabs(b); };
    for (int i = 1; i <= net.parameterCount; ++i)
      EXPECT_PRED2(close, solver.diagonalCofactor(i), Q(i, i)) << "seed " << seed << " Q(" << i << "," << i << ")";
    for (int k = 1; k <= net.observationCount; ++k) {
      const int i = dense.errorEquations[k].toParameter, j = dense.errorEquations[k].fromParameter;
      if (i == 0 || j == 0) continue;
      EXPECT_PRED2(close, solver.cofactor(i, j), Q(i, j)) << "seed " << seed << " Q(" << i << "," << j << ")";
    }
    // And the solve: x = -Q W.
    const std::vector<double> x = solver.solve(dense.normalConstants);
    for (int i = 1; i <= net.parameterCount; ++i)
      EXPECT_NEAR(-x[i], dense.parameterCorrections[i], 1e-12 * (1 + std::fabs(dense.parameterCorrections[i])));
    if (::testing::Test::HasFailure()) break;
  }
}

TEST(ResultsMode, FigureOnARoundingEdgeIsLeftToTheTextbookSolver) {
  // P is levelled twice from BM, 0.3 mm apart over equal routes: its
  // corrections are exactly -0.15 and +0.15 mm, on the edge of the 0.1 mm
  // rounding, where the last bits of x decide.
  const NetworkText text = testing::enteredNetwork({"1", "1", "2", "1"}, {{"BM", "10"}, {"P", ""}},
                                                   {{"BM", "P", "1.2345", "1"}, {"BM", "P", "1.2342", "1"}});
  const AdjustmentResults sparse = computeSparseAdjustment(gathered(text));
  EXPECT_FALSE(printedFiguresCertain(sparse));
  const AdjustmentResults chosen = computeResults(gathered(text));
  EXPECT_GT(chosen.cofactors.size(), 0) << "the textbook solver was not used";
  EXPECT_EQ(resultsSections(chosen), withoutMatrices(fullReport(computeAdjustment(gathered(text)))));
}

TEST(ResultsMode, ResultsTableOfTheSparsePathIsTheTextbooksInEveryRoundedFormat) {
  for (auto [rows, cols] : {std::pair{6, 9}, {40, 25}}) {
    const NetworkText text = testing::gridNetwork(rows, cols, static_cast<std::uint32_t>(rows + cols));
    const AdjustmentResults sparse = computeSparseAdjustment(gathered(text));
    ASSERT_TRUE(printedFiguresCertain(sparse));
    const ResultsTable fromSparse = makeResultsTable(sparse);
    const ResultsTable fromTextbook = makeResultsTable(computeAdjustment(gathered(text)));
    EXPECT_EQ(resultsText(fromSparse, ResultsEncoding::utf8), resultsText(fromTextbook, ResultsEncoding::utf8));
    EXPECT_EQ(resultsCsv(fromSparse, ResultsEncoding::utf8), resultsCsv(fromTextbook, ResultsEncoding::utf8));
  }
}

// The refusals a count meets under the limits of a use, "" for none.
std::string refusalOf(const NetworkText& text, NetworkLimits limits) {
  try {
    gatherNetwork(text.fields, text.points, text.observations, limits);
  } catch (const InputError& e) {
    return e.what();
  }
  return "";
}

TEST(ResultsMode, LargeNetworkLimitsGoBeyondTheReportsButNotWithoutEnd) {
  // A chain of 32,800 unknown points from one benchmark, closed back to it.
  const int unknown = 32800;
  std::vector<std::vector<std::string>> points{{"BM", "10"}}, observations;
  for (int i = 1; i <= unknown; ++i) {
    points.push_back({"P" + std::to_string(i), ""});
    observations.push_back({i == 1 ? "BM" : "P" + std::to_string(i - 1), "P" + std::to_string(i), "0.0010", "1"});
  }
  observations.push_back({"P" + std::to_string(unknown), "BM", "-32.8000", "1"});
  NetworkText text =
      testing::enteredNetwork({"1", std::to_string(unknown), std::to_string(unknown + 1), "1"}, points, observations);
  EXPECT_NE(refusalOf(text, kReportLimits).find("共 32801 个，超过 32767 个"), std::string::npos);
  EXPECT_EQ(refusalOf(text, kLargeNetworkLimits), "");
  text.fields.observations = std::to_string(kLargeNetworkLimits.observations + 1);
  EXPECT_NE(refusalOf(text, kLargeNetworkLimits).find("超过 2097152 个"), std::string::npos);
}

}  // namespace
}  // namespace levelnet
