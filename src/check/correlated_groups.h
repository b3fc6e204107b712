// Observations whose corrections are perfectly correlated, |rho(v_i, v_j)| = 1:
// the sections of a chain between two junctions, the parallel observations
// of a loop of two. No data can tell them apart, so the blunder search
// takes each such group as one test.
#pragma once

#include <memory>
#include <vector>

#include "adjust/adjustment_results.h"
#include "check/statistics.h"

namespace levelnet {

// The group of every observation 1..n (0 where tied to none; element 0
// unused), numbered 1, 2, ... in the order they are found. Only rows that
// are standardised take part.
//
// The decision is made pair by pair from Q_vv: candidates have equal
// p^2 qvv (within 1e-3, the sorted keys chained), and a pair is tied when
// |rho| = |a_i Q a_j^T| / sqrt(qvv_i qvv_j) >= 1 - tol, tol set by the
// rounding error of Q (eps times the condition number of N, amplified
// where qvv is a small difference, between 1e-10 and 1e-4). A candidate is
// visited in the order of the sorted keys, and every pair of an
// observation not yet tied with a later one not yet tied, in that order.
//
// Computing rho for every candidate pair would cost a solve per observation
// and a multiplication per pair, n solves and n^2 products where the keys
// of a large network run into one another. Most pairs are decided without
// rho by a cycle of the network (below, in the .cpp): only the pairs that
// cycle cannot decide get rho, computed as it always is, so the groups are
// those of every pair's rho.
// The searches for cycles are shared among `workers` threads (workerCount()
// by default); the groups are the same for every count.
std::vector<int> perfectlyCorrelatedGroups(const AdjustmentResults& run, const std::vector<Residual>& rows);
std::vector<int> perfectlyCorrelatedGroups(const AdjustmentResults& run, const std::vector<Residual>& rows,
                                           int workers);

// The factorisation of the adjustment's own sparse path (the results keep
// it), or for results of the textbook solver a new one of the same N.
std::shared_ptr<const SparseNormalSolver> solverOf(const AdjustmentResults& run);

// ||N|| ||N^-1|| in the maximum-row-sum norm, as the sparse path computes it.
double conditionWith(const AdjustmentResults& run, const SparseNormalSolver& solver);

// The largest tolerance of the test above: |rho| >= 1 - tol ties a pair.
inline constexpr double kMaxTieTolerance = 1e-4;

// The tolerance of the pair (i, j), as the test uses it.
double tieTolerance(double condition, double redundancyI, double redundancyJ);

}  // namespace levelnet
