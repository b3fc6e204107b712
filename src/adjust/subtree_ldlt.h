// The numerical factorisation of the sparse path: Eigen's simplicial LDL^T
// (its ordering, its pattern, its factor's layout) with the rows of L made
// task by task of the elimination tree, on the machine's cores.
#pragma once

#include <Eigen/OrderingMethods>
#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>
#include <cstddef>
#include <vector>

#include "adjust/elimination_tasks.h"

namespace levelnet {

using SparseMatrix = Eigen::SparseMatrix<double, Eigen::ColMajor, int>;

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

}  // namespace levelnet
