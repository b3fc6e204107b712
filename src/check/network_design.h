// The precision of a network before it is leveled (精度预估): from the route
// lengths, the known points and the expected standard error per km alone,
// the expected standard error of every unknown point, and for every route
// its redundancy number r, MDB and external reliability, with the check's
// own figures (the same normal matrix, selected inverse and tests as
// `levelnet check --sigma-km`). None of them depends on observed values.
#pragma once

#include <string>
#include <vector>

#include "check/statistics.h"
#include "network/leveling_network.h"

namespace levelnet {

struct DesignOptions {
  double sigmaKm = 0.0;   // expected standard error per km of leveling, mm (> 0)
  std::string grade;      // "" or a grade of the check: tolerances of the routes, the point limit
  std::string terrain;    // as for the check
  double pointLimit = 0;  // the largest standard error a point may have, mm; 0: none
};

// The standard error of the weakest point (relative to the known points)
// that a first-order height control network may have: 2 cm (城市测量规范
// CJJ/T 8). A design with a grade is judged against it unless another limit
// is given.
inline constexpr double kWeakestPointLimitMm = 20.0;

struct DesignFindings {
  double sigma0 = 0.0;              // sigmaKm x sqrt(unit-weight length), mm
  std::vector<double> pointErrors;  // expected M = sigma0 sqrt(Q(i, i)), mm, by parameter 1..t
  int weakestPoint = 0;             // point number of the largest M; 0 without unknown points
  double weakestError = 0.0;        // mm
  int dof = 0;                      // n - t
  // The check's reliability figures with sigma0: r, groups, n', alpha0, k,
  // lambda0 and MDB (corrections and w are not the design's).
  ResidualAnalysis residuals;
  // External reliability of every tested observation as the check gives it
  // (residuals.rows[k].externalEffect, affectedPoint, biasToNoise).
  std::vector<int> uncheckedRoutes;  // observations no test can check, ascending
  double toleranceCoefficient = 0.0;
  // The check's list of observations to look at (AttentionReason masks,
  // 1..n), the point accuracy of each with a grade, and how many.
  std::vector<unsigned char> attention;
  std::vector<double> pointAccuracy;
  int attentionCount = 0;
  double pointLimit = 0.0;  // mm; 0: not judged
  bool pointLimitMet = true;
};

// Designs a gathered network (GatherMode::plannedNetwork: observed
// differences may be empty, redundancy may be none). Throws InputError for
// bad options and as the adjustment for a network without a unique solution.
DesignFindings designNetwork(const LevelingNetwork& net, const DesignOptions& options);

// The design report: the points' expected errors with the weakest point,
// every route's reliability, the routes with no check and the verdict.
std::string writeDesignReport(const LevelingNetwork& net, const DesignFindings& f, const DesignOptions& options,
                              const std::string& fileName);

}  // namespace levelnet
