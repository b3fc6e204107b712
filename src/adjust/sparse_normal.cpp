#include "adjust/sparse_normal.h"

#include <Eigen/OrderingMethods>
#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>
#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "adjust/adjustment_results.h"
#include "adjust/elimination_tasks.h"
#include "adjust/phases.h"
#include "adjust/subtree_ldlt.h"
#include "network/errors.h"

namespace levelnet {

using Vector = Eigen::VectorXd;

struct SparseNormalSolver::Factor {
  int t = 0;
  SparseMatrix lower;  // N, its lower triangle with the diagonal, in the points' order
  SubtreeLDLT ldlt;
  TaskTree tasks;
  std::vector<int> position;  // position[i - 1]: where parameter i stands in the factor's order
  // The selected inverse Z = P Q P^T on the pattern of L: below the diagonal
  // in L's own layout (column by column), and its diagonal.
  std::vector<double> below;
  std::vector<double> diagonal;
};

SparseNormalSolver::SparseNormalSolver(const AdjustmentResults& r) : factor_(std::make_unique<Factor>()) {
  Factor& f = *factor_;
  const LevelingNetwork& net = r.net;
  f.t = net.parameterCount;
  std::vector<Eigen::Triplet<double, int>> terms;
  terms.reserve(static_cast<std::size_t>(net.observationCount) * 3);
  // Element (j, i), j >= i, of the lower triangle: the textbook solver's
  // terms in its order; setFromTriplets adds duplicates as they come.
  forEachNormalTerm(r, [&terms](int i, int j, double term) { terms.emplace_back(j - 1, i - 1, term); });
  f.lower.resize(f.t, f.t);
  f.lower.setFromTriplets(terms.begin(), terms.end());
  terms.clear();
  terms.shrink_to_fit();

  f.tasks = f.ldlt.compute(f.lower, workerCount());
  const Vector& d = f.ldlt.vectorD();
  if (f.ldlt.info() != Eigen::Success) throw AdjustmentError("法方程没有唯一解：分解法方程时主元为零或不是有限数");
  const auto& order = f.ldlt.permutationP().indices();
  f.position.assign(static_cast<std::size_t>(f.t), 0);
  for (int i = 0; i < f.t; ++i) f.position[i] = order[i];
  for (int q = 0; q < f.t; ++q) {
    // A positive definite matrix has positive pivots; a subnormal one has
    // lost its digits.
    if (!std::isnormal(d[q]) || d[q] < 0.0) {
      int parameter = 0;
      for (int i = 0; i < f.t; ++i)
        if (f.position[i] == q) parameter = i + 1;
      throw AdjustmentError("法方程没有唯一解：分解到待定点“" + net.pointName[net.knownCount + parameter] +
                            "”时主元为零或不是有限数");
    }
  }
}

SparseNormalSolver::~SparseNormalSolver() = default;

int SparseNormalSolver::size() const { return factor_->t; }

std::vector<double> SparseNormalSolver::solve(const std::vector<double>& b) const {
  const int t = factor_->t;
  Vector rhs(t);
  for (int i = 0; i < t; ++i) rhs[i] = b[i + 1];
  const Vector x = factor_->ldlt.solve(rhs);
  std::vector<double> out(static_cast<std::size_t>(t) + 1, 0.0);
  for (int i = 0; i < t; ++i) out[i + 1] = x[i];
  return out;
}

std::vector<double> SparseNormalSolver::multiply(const std::vector<double>& v) const {
  const int t = factor_->t;
  Vector in(t);
  for (int i = 0; i < t; ++i) in[i] = v[i + 1];
  const Vector product = factor_->lower.selfadjointView<Eigen::Lower>() * in;
  std::vector<double> out(static_cast<std::size_t>(t) + 1, 0.0);
  for (int i = 0; i < t; ++i) out[i + 1] = product[i];
  return out;
}

std::vector<double> SparseNormalSolver::multiplyAbsolute(const std::vector<double>& v) const {
  const int t = factor_->t;
  const SparseMatrix absolute = factor_->lower.cwiseAbs();
  Vector in(t);
  for (int i = 0; i < t; ++i) in[i] = v[i + 1];
  const Vector product = absolute.selfadjointView<Eigen::Lower>() * in;
  std::vector<double> out(static_cast<std::size_t>(t) + 1, 0.0);
  for (int i = 0; i < t; ++i) out[i + 1] = product[i];
  return out;
}

// The Takahashi equations, column by column from the last: with
// N' = P N P^T = L D L^T (L unit lower triangular) and Z = N'^-1,
//   Z(i, j) = -sum_{k > j, L(k, j) != 0} Z(i, k) L(k, j)      for i > j, L(i, j) != 0
//   Z(j, j) = 1 / D(j) - sum_{k > j, L(k, j) != 0} L(k, j) Z(k, j).
// The rows of column j of L form a clique of the factor's graph, so every
// Z(i, k) needed lies on L's pattern: for i > k in column k, whose rows
// beyond k include all rows of column j beyond k.
void SparseNormalSolver::invertSelected() {
  Factor& f = *factor_;
  const SparseMatrix& L = f.ldlt.matrixL().nestedExpression();
  const Vector& d = f.ldlt.vectorD();
  const int* start = L.outerIndexPtr();
  const int* row = L.innerIndexPtr();
  const double* value = L.valuePtr();
  const int t = f.t;
  f.below.assign(static_cast<std::size_t>(start[t]), 0.0);
  f.diagonal.assign(static_cast<std::size_t>(t), 0.0);
  // The columns of a task from the last to the first; every column's
  // ancestors are done before it.
  std::vector<std::vector<double>> sums(static_cast<std::size_t>(f.tasks.workers));
  auto invertColumns = [&](int q, int worker) {
    std::vector<double>& sum = sums[worker];
    for (int n = f.tasks.start[q + 1] - 1; n >= f.tasks.start[q]; --n) {
      const int j = f.tasks.nodes[n];
      const int begin = start[j], count = start[j + 1] - begin;
      const int* rowsJ = row + begin;
      const double* lj = value + begin;
      sum.assign(static_cast<std::size_t>(count), 0.0);
      double* s = sum.data();
      // Element a of `sum` receives Z(i_a, k) L(k, j) for the rows k of
      // column j in ascending order, and the diagonal term at its own row.
      // Rows b to b + 3 are taken together, then b and b + 1, then one: each
      // element still gets its terms in that order, while the sums along
      // the column, s[b] to s[b + 3], are added up side by side instead of
      // one after the other, and the rest of the column is read once for
      // the four.
      int b = 0;
      for (; b + 3 < count; b += 4) {
        const int k0 = rowsJ[b], k1 = rowsJ[b + 1], k2 = rowsJ[b + 2], k3 = rowsJ[b + 3];
        const double l0 = lj[b], l1 = lj[b + 1], l2 = lj[b + 2], l3 = lj[b + 3];
        int p0 = start[k0], p1 = start[k1], p2 = start[k2], p3 = start[k3];
        // Z(i, k) of the column whose place p has reached: p moves on to row i.
        auto at = [&](int& p, int i) {
          while (row[p] < i) ++p;
          return f.below[p];
        };
        const double z10 = at(p0, k1), z20 = at(p0, k2), z30 = at(p0, k3);  // Z(k1..k3, k0)
        const double z21 = at(p1, k2), z31 = at(p1, k3);                    // Z(k2..k3, k1)
        const double z32 = at(p2, k3);                                      // Z(k3, k2)
        s[b] += f.diagonal[k0] * l0;
        s[b] += z10 * l1;
        s[b] += z20 * l2;
        s[b] += z30 * l3;
        s[b + 1] += z10 * l0;
        s[b + 1] += f.diagonal[k1] * l1;
        s[b + 1] += z21 * l2;
        s[b + 1] += z31 * l3;
        s[b + 2] += z20 * l0;
        s[b + 2] += z21 * l1;
        s[b + 2] += f.diagonal[k2] * l2;
        s[b + 2] += z32 * l3;
        s[b + 3] += z30 * l0;
        s[b + 3] += z31 * l1;
        s[b + 3] += z32 * l2;
        s[b + 3] += f.diagonal[k3] * l3;
        double s0 = s[b], s1 = s[b + 1], s2 = s[b + 2], s3 = s[b + 3];
        for (int a = b + 4; a < count; ++a) {
          const int i = rowsJ[a];
          while (row[p0] < i) ++p0;
          while (row[p1] < i) ++p1;
          while (row[p2] < i) ++p2;
          while (row[p3] < i) ++p3;
          const double z0 = f.below[p0], z1 = f.below[p1], z2 = f.below[p2], z3 = f.below[p3];
          const double la = lj[a];
          double sa = s[a];
          sa += z0 * l0;
          sa += z1 * l1;
          sa += z2 * l2;
          sa += z3 * l3;
          s[a] = sa;
          s0 += z0 * la;
          s1 += z1 * la;
          s2 += z2 * la;
          s3 += z3 * la;
        }
        s[b] = s0;
        s[b + 1] = s1;
        s[b + 2] = s2;
        s[b + 3] = s3;
      }
      for (; b + 1 < count; b += 2) {
        const int k0 = rowsJ[b], k1 = rowsJ[b + 1];
        const double l0 = lj[b], l1 = lj[b + 1];
        s[b] += f.diagonal[k0] * l0;  // Z(k0, k0) L(k0, j)
        int p0 = start[k0];
        while (row[p0] < k1) ++p0;
        const double z01 = f.below[p0];  // Z(k1, k0)
        s[b + 1] += z01 * l0;
        s[b] += z01 * lj[b + 1];
        s[b + 1] += f.diagonal[k1] * l1;  // Z(k1, k1) L(k1, j)
        int p1 = start[k1];
        for (int a = b + 2; a < count; ++a) {
          const int i = rowsJ[a];
          while (row[p0] < i) ++p0;
          while (row[p1] < i) ++p1;
          const double z0 = f.below[p0], z1 = f.below[p1];  // Z(i, k0), Z(i, k1)
          s[a] += z0 * l0;
          s[a] += z1 * l1;
          s[b] += z0 * lj[a];
          s[b + 1] += z1 * lj[a];
        }
      }
      for (; b < count; ++b) {
        const int k = rowsJ[b];
        const double lkj = lj[b];
        s[b] += f.diagonal[k] * lkj;  // Z(k, k) L(k, j)
        // Rows i > k of column j, found along column k (both ascending).
        int p = start[k];
        for (int a = b + 1; a < count; ++a) {
          const int i = rowsJ[a];
          while (row[p] < i) ++p;
          const double zik = f.below[p];
          s[a] += zik * lkj;    // Z(i, k) L(k, j)
          s[b] += zik * lj[a];  // Z(k, i) L(i, j)
        }
      }
      double diagonal = 1.0 / d[j];
      for (int a = 0; a < count; ++a) {
        f.below[begin + a] = -sum[a];
        diagonal += value[begin + a] * sum[a];
      }
      f.diagonal[j] = diagonal;
    }
    return true;
  };
  runTaskTree(f.tasks, false, invertColumns);
}

double SparseNormalSolver::diagonalCofactor(int i) const { return factor_->diagonal[factor_->position[i - 1]]; }

double SparseNormalSolver::cofactor(int i, int j) const {
  const Factor& f = *factor_;
  const int a = f.position[i - 1], b = f.position[j - 1];
  const int column = std::min(a, b), target = std::max(a, b);
  const SparseMatrix& L = f.ldlt.matrixL().nestedExpression();
  const int* row = L.innerIndexPtr();
  const int* first = row + L.outerIndexPtr()[column];
  const int* last = row + L.outerIndexPtr()[column + 1];
  const int* found = std::lower_bound(first, last, target);
  if (found == last || *found != target) throw std::logic_error("cofactor asked for off the factor's pattern");
  return f.below[static_cast<std::size_t>(found - row)];
}

void SparseNormalSolver::releaseSelectedInverse() {
  std::vector<double>().swap(factor_->below);
  std::vector<double>().swap(factor_->diagonal);
}

std::size_t SparseNormalSolver::factorNonZeros() const {
  return static_cast<std::size_t>(factor_->ldlt.matrixL().nestedExpression().nonZeros());
}

}  // namespace levelnet
