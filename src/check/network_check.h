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
class TextSink;
struct ResultsTable;

inline constexpr double kDefaultMinRedundancy = 0.1;

struct CheckOptions {
  std::string grade;    // "", "二等", "三等", "四等", "等外" or "工程二等" … "工程五等"
  std::string terrain;  // "", "平原" or "山区" (for 三等 and 四等; plains when empty)
  bool sigmaGiven = false;
  double sigmaKm = 0.0;  // a-priori standard error per km, mm: an expected value
  // Observations whose test has a smaller redundancy are listed as weakly
  // checked: the usual classification of controllability calls r < 0.1
  // poor (0.01 <= r < 0.1) and r < 0.01 none.
  double minRedundancy = kDefaultMinRedundancy;
  // Iterative data snooping: remove the flagged observation (or tied group),
  // adjust and test again until nothing is flagged.
  bool iterate = false;
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

// Why an observation is on the list of those to look at.
enum AttentionReason : unsigned char {
  kNoCheck = 1,              // r < kUncheckedRedundancy and tied to none: no blunder there can show
  kLowRedundancy = 2,        // tested, the redundancy of its test below CheckOptions::minRedundancy
  kBeyondPointAccuracy = 4,  // with a grade: its external reliability exceeds the point's accuracy
};

// One round of iterative data snooping: the observation removed (number of
// the file), for a tied group the whole group it was one of, the statistic
// that flagged it, and s before and after.
struct IterationRound {
  std::vector<int> removed;
  std::vector<std::string> removedNames;  // "起点→终点" of each
  std::vector<int> group;                 // the tied group's numbers; empty for a single observation
  double statistic = 0.0;
  double sBefore = 0.0, sAfter = 0.0;
  int dofAfter = 0;
};

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
  // The observations a surveyor must look at, by observation 1..n (element
  // 0 unused): a mask of AttentionReason. With a grade, pointAccuracy is
  // the accuracy the grade gives the point an observation's blunder moves
  // most: the tolerance c sqrt(L) mm of a line of the grade from the nearest
  // known point, L its shortest route length (km).
  std::vector<unsigned char> attention;
  std::vector<double> pointAccuracy;
  int attentionCount = 0;
  // The tau test on rounding noise or on f <= kUnreliableTauDof does not
  // decide the check alone.
  bool blunderTestDecides = true;

  // Iterative data snooping (CheckOptions::iterate): the rounds that removed
  // an observation or a tied group, and why the iteration stopped where
  // something is still flagged. The findings are those of the last round's
  // network, whose observation k is observationNumbers[k] of the file
  // (empty: the same numbers).
  std::vector<IterationRound> rounds;
  std::string iterationStop;
  std::vector<int> observationNumbers;

  // Every tolerance and test passed, a blunder could have been found and
  // none is suspected, no point name is duplicated.
  bool passed = true;
};

// Observation k's number in the file the findings are of (observationNumbers),
// and the numbers of several.
inline int fileNumber(const CheckFindings& f, int k) {
  return f.observationNumbers.empty() ? k : f.observationNumbers[k];
}
std::vector<int> fileNumbers(const CheckFindings& f, const std::vector<int>& ks);

// Fills f.attention, f.pointAccuracy and f.attentionCount from f.residuals
// and f.toleranceCoefficient: the observations a surveyor must look at.
void listObservationsToLookAt(const LevelingNetwork& net, const CheckOptions& options, CheckFindings& f);

// Judges an executed adjustment of the gathered network, with the network's
// misclosures (findMisclosures). Throws InputError for bad options.
CheckFindings assessNetwork(const AdjustmentResults& run, std::vector<Misclosure> misclosures,
                            const CheckOptions& options);

struct CheckOutcome {
  std::string report;  // UTF-8, lines end in "\r\n"
  bool passed = true;  // CheckFindings::passed
  // r, w and MDB of every observation of the file (after iteration, a
  // removed one has none: not standardised, untested), and what its row of
  // the 成果表 says about it (attentionText, 1..n).
  ResidualAnalysis residuals;
  std::vector<std::string> attentionText;
  // The attention mask of every observation of the file (1..n; 0 for one
  // the iteration removed), and the point numbers of every loop whose
  // misclosure is beyond the tolerance: what the 网图 marks.
  std::vector<unsigned char> attention;
  std::vector<std::vector<int>> failedLoops;
  std::vector<int> removed;  // observations the iteration removed, ascending
};

// The short text of an observation's attention mask and state for the
// 成果表: "可疑粗差", "无检核", "检核弱", "影响超限", "已剔除", joined by "、";
// "" for none.
std::string attentionText(unsigned char attention, bool suspected, bool removed);

// Checks a gathered network (the same network Adjust would run): adjusts
// it, without writing the adjustment's report, and writes the check report.
// Throws InputError for bad options or a network the adjustment refuses.
CheckOutcome checkNetwork(const LevelingNetwork& net, const CheckOptions& options, const std::string& fileName);

// The same check with its report streamed to `report` as it is written
// (writeCheckReport) instead of kept, and nothing else of the outcome: what
// the command line needs. Returns CheckFindings::passed; throws as the check
// and what a write throws.
bool checkNetwork(LevelingNetwork net, const CheckOptions& options, const std::string& fileName, TextSink& report);

}  // namespace levelnet
