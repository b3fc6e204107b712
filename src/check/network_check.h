// The data checks a surveyor runs before trusting an adjustment: misclosures
// against the tolerances of the leveling grade and the total standard error
// per km M_W, the chi-square test of the variance factor, the search for a
// blunder in the residuals and the smallest blunder each observation would
// show (MDB).
#pragma once

#include <string>
#include <vector>

#include "check/misclosures.h"
#include "check/statistics.h"
#include "network/leveling_network.h"

namespace levelnet {

struct AdjustmentResults;
struct ResultsTable;

struct CheckOptions {
  std::string grade;    // "", "二等", "三等", "四等", "等外" or "工程二等" … "工程五等"
  std::string terrain;  // "", "平原" or "山区" (for 三等 and 四等; plains when empty)
  bool sigmaGiven = false;
  double sigmaKm = 0.0;  // a-priori standard error per km, mm: an expected value
};

// Tolerance coefficient c of +-c sqrt(L) mm (L in km) for a grade and
// terrain; 0 for no grade. Throws InputError for an unknown grade or terrain.
double toleranceCoefficient(const std::string& grade, const std::string& terrain);

// Whether a misclosure (mm) lies within +-coefficient sqrt(L) mm. The
// misclosure and the tolerance are compared as the report shows them, to
// 0.1 mm.
bool withinTolerance(double misclosureMm, double lengthKm, double coefficient);

// The largest standard error per km (mm) a grade allows, the limit of M_W:
// 二等 2.0, 三等 6.0, 四等 10.0, 工程二等 … 工程五等 2, 6, 10, 15; 0 where the grade has none.
double gradeErrorLimitKm(const std::string& grade);

// What the check found, before any text is written.
struct CheckFindings {
  std::vector<Misclosure> misclosures;
  double toleranceCoefficient = 0.0;   // 0: no grade, no tolerances
  std::vector<int> failedMisclosures;  // 1-based positions in `misclosures` beyond the tolerance

  double totalError = 0.0;        // M_W, mm
  double totalErrorLimit = 0.0;   // the grade's limit, mm; 0 for none
  bool totalErrorJudged = false;  // a limit and at least kTotalErrorMinimumCount misclosures
  bool totalErrorPassed = true;   // M_W, as shown to 0.01 mm, within the limit (or not judged)

  bool globalTestDone = false;  // a sigma0, from --sigma-km or the grade
  GlobalTest global;

  ResidualAnalysis residuals;  // w-test with --sigma-km, tau test otherwise
  // With a grade: tested observations whose MDB exceeds the tolerance of
  // their own route length, by observation 1..n (element 0 unused).
  std::vector<char> weaklyChecked;
  int weaklyCheckedCount = 0;

  // Every tolerance and test passed, a blunder could have been found and
  // none is suspected, no point name is duplicated.
  bool passed = true;
};

// Judges an executed adjustment of the gathered network, with the network's
// misclosures (findMisclosures). Throws InputError for bad options.
CheckFindings assessNetwork(const AdjustmentResults& run, std::vector<Misclosure> misclosures,
                            const CheckOptions& options);

struct CheckOutcome {
  std::string report;          // UTF-8, lines end in "\r\n"
  bool passed = true;          // CheckFindings::passed
  ResidualAnalysis residuals;  // r, w and MDB of every observation
};

// Checks a gathered network (the same network Adjust would run): adjusts
// it, without writing the adjustment's report, and writes the check report.
// Throws InputError for bad options or a network the adjustment refuses.
CheckOutcome checkNetwork(const LevelingNetwork& net, const CheckOptions& options, const std::string& fileName);

}  // namespace levelnet
