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
#include "network/errors.h"

namespace levelnet {

using SparseMatrix = Eigen::SparseMatrix<double, Eigen::ColMajor, int>;
using Vector = Eigen::VectorXd;

// Eigen's simplicial LDL^T (its ordering, its pattern, its factor's layout)
// with the numerical factorisation done subtree by subtree: the same rows
// by the same operations as Eigen's own up-looking loop, so the same bits.
class SubtreeLDLT : public Eigen::SimplicialLDLT<SparseMatrix, Eigen::Lower, Eigen::AMDOrdering<int>> {
 public:
  TaskTree compute(const SparseMatrix& a, int workers) {
    CholMatrixType permuted(a.rows(), a.cols());
    ConstCholMatrixPtr ap = nullptr;
    ordering(a, ap, permuted);
    analyzePattern_preordered(*ap, true);
    const int t = static_cast<int>(a.rows());
    TaskTree tree = taskTreeOf(m_parent.data(), m_nonZerosPerCol.data(), t, workers);
    m_diag.resize(t);
    // Each worker's own work spaces, indexed by row: one for each row of a
    // pair.
    struct Space {
      std::vector<double> y;
      std::vector<int> pattern, tags;
      void prepare(int size) {
        if (!y.empty()) return;
        y.assign(static_cast<std::size_t>(size), 0.0);
        pattern.assign(static_cast<std::size_t>(size), 0);
        tags.assign(static_cast<std::size_t>(size), -1);
      }
    };
    std::vector<Space> first(static_cast<std::size_t>(tree.workers)), second(first.size());
    const bool fine = runTaskTree(tree, true, [&](int q, int worker) {
      Space& a = first[worker];
      Space& b = second[worker];
      a.prepare(t);
      // A task's rows two at a time: see factorizeRows.
      int n = tree.start[q];
      for (; n + 1 < tree.start[q + 1]; n += 2) {
        b.prepare(t);
        if (!factorizeRows(*ap, tree.nodes[n], tree.nodes[n + 1], a, b)) return false;
      }
      if (n < tree.start[q + 1] && !factorizeRow(*ap, tree.nodes[n], a)) return false;
      return true;
    });
    m_info = fine ? Eigen::Success : Eigen::NumericalIssue;
    m_factorizationIsOk = true;
    return tree;
  }

 private:
  template <class Space>
  struct Row {
    int k;
    double* y;
    int* pattern;
    int* tags;
    int top;
    double d;
    Row(int row, Space& space) : k(row), y(space.y.data()), pattern(space.pattern.data()), tags(space.tags.data()) {}
  };

  // The start of row k as Eigen's up-looking step makes it: column k of the
  // permuted N scattered into y, the columns the row needs (its row subtree,
  // each before its parent) into pattern[top .. size), and d = N(k, k).
  template <class Space>
  void startRow(const CholMatrixType& ap, Row<Space>& r) {
    const int size = static_cast<int>(ap.rows());
    const int k = r.k;
    r.y[k] = 0.0;
    r.top = size;
    r.tags[k] = k;
    m_nonZerosPerCol[k] = 0;
    for (CholMatrixType::InnerIterator it(ap, k); it; ++it) {
      int i = it.index();
      if (i <= k) {
        r.y[i] += it.value();
        int len = 0;
        for (; r.tags[i] != k; i = m_parent[i]) {
          r.pattern[len++] = i;
          r.tags[i] = k;
        }
        while (len > 0) r.pattern[--r.top] = r.pattern[--len];
      }
    }
    r.d = r.y[k] * m_shiftScale + m_shiftOffset;
    r.y[k] = 0.0;
  }

  // Column i's step of row k: L(k, i), the updates of y along column i's
  // rows so far, and the entry appended to column i.
  template <class Space>
  void step(Row<Space>& r, int i) {
    const int* Lp = m_matrix.outerIndexPtr();
    int* Li = m_matrix.innerIndexPtr();
    double* Lx = m_matrix.valuePtr();
    const double yi = r.y[i];
    r.y[i] = 0.0;
    const double lki = yi / m_diag[i];
    const int p2 = Lp[i] + m_nonZerosPerCol[i];
    int p = Lp[i];
    double* y = r.y;
    for (; p < p2; ++p) y[Li[p]] -= Lx[p] * yi;
    r.d -= lki * yi;
    Li[p] = r.k;
    Lx[p] = lki;
    ++m_nonZerosPerCol[i];
  }

  // Row k of L and D(k): Eigen's up-looking step as Eigen writes it
  // (shiftScale 1 and shiftOffset 0 applied as it applies them); false at
  // a zero pivot.
  template <class Space>
  bool factorizeRow(const CholMatrixType& ap, int k, Space& space) {
    Row<Space> r(k, space);
    startRow(ap, r);
    const int size = static_cast<int>(ap.rows());
    for (int top = r.top; top < size; ++top) step(r, r.pattern[top]);
    m_diag[k] = r.d;
    return r.d != 0.0;
  }

  // Rows k1 < k2 of one task, next to each other in its order, with every
  // element computed as factorizeRow computes it, one row after the other:
  // each row takes its columns in its own order, and row k2 takes column i
  // after row k1 has (so it finds L(k1, i) there, as it would). No row
  // between the two touches a column of either (an ancestor of k1 lies in
  // k1's task or above it). Where both rows need column i, the two take it
  // in one pass, so its rows and values are read once for both: in the
  // dense top of the tree the rows of a chain need nearly the same columns
  // in nearly the same order, and those reads bound the time.
  template <class Space>
  bool factorizeRows(const CholMatrixType& ap, int k1, int k2, Space& space1, Space& space2) {
    const int* Lp = m_matrix.outerIndexPtr();
    int* Li = m_matrix.innerIndexPtr();
    double* Lx = m_matrix.valuePtr();
    const int size = static_cast<int>(ap.rows());
    Row<Space> r1(k1, space1), r2(k2, space2);
    startRow(ap, r1);
    startRow(ap, r2);
    // Row k1 has yet to take column i while tags1[i] == k1; once taken,
    // its tag becomes -1 - k1, which no later row's stamp (>= 0) equals.
    int a = r1.top;
    bool firstDone = false;
    auto stepFirst = [&] {
      const int i = r1.pattern[a++];
      step(r1, i);
      r1.tags[i] = -1 - k1;
    };
    auto finishFirst = [&] {
      while (a < size) stepFirst();
      m_diag[k1] = r1.d;
      firstDone = true;
      return r1.d != 0.0;
    };
    for (int b = r2.top; b < size; ++b) {
      const int i = r2.pattern[b];
      if (i == k1) {
        // L(k2, k1) needs D(k1): the whole of row k1 first.
        if (!firstDone && !finishFirst()) return false;
        step(r2, i);
      } else if (!firstDone && r1.tags[i] == k1) {
        while (r1.pattern[a] != i) stepFirst();
        ++a;
        r1.tags[i] = -1 - k1;
        // Column i for both rows at once: row k1's step, then row k2's over
        // the same rows and the entry row k1 has just appended.
        double* __restrict y1 = r1.y;
        double* __restrict y2 = r2.y;
        const double y1i = y1[i], y2i = y2[i];
        y1[i] = 0.0;
        y2[i] = 0.0;
        const double l1 = y1i / m_diag[i];
        const double l2 = y2i / m_diag[i];
        const int p2 = Lp[i] + m_nonZerosPerCol[i];
        for (int p = Lp[i]; p < p2; ++p) {
          const int row = Li[p];
          const double x = Lx[p];
          y1[row] -= x * y1i;
          y2[row] -= x * y2i;
        }
        r1.d -= l1 * y1i;
        Li[p2] = k1;
        Lx[p2] = l1;
        y2[k1] -= l1 * y2i;
        r2.d -= l2 * y2i;
        Li[p2 + 1] = k2;
        Lx[p2 + 1] = l2;
        m_nonZerosPerCol[i] += 2;
      } else {
        step(r2, i);
      }
    }
    if (!firstDone && !finishFirst()) return false;
    m_diag[k2] = r2.d;
    return r2.d != 0.0;
  }
};

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
        while (row[p0] < k1) ++p0;
        const double z10 = f.below[p0];  // Z(k1, k0)
        while (row[p0] < k2) ++p0;
        const double z20 = f.below[p0];  // Z(k2, k0)
        while (row[p0] < k3) ++p0;
        const double z30 = f.below[p0];  // Z(k3, k0)
        while (row[p1] < k2) ++p1;
        const double z21 = f.below[p1];  // Z(k2, k1)
        while (row[p1] < k3) ++p1;
        const double z31 = f.below[p1];  // Z(k3, k1)
        while (row[p2] < k3) ++p2;
        const double z32 = f.below[p2];  // Z(k3, k2)
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
