#include "support/dense_reference.h"

#include <cmath>

#include "adjust/report_writer.h"

namespace levelnet::testing {

DenseRun denseAdjustment(LevelingNetwork network) {
  DenseRun d;
  d.net = std::move(network);
  LevelingNetwork& net = d.net;
  const int K = net.knownCount, t = net.parameterCount, n = net.observationCount, P = net.pointCount;
  StringSink reportText;
  ReportLines rep(reportText);

  // Approximate elevations: the whole observation table for every point.
  for (int i = 1; i <= net.unknownCount; ++i) {
    const int p = K + i;
    for (int j = 1; j <= n; ++j) {
      if (net.fromPoint[j] == p && net.toPoint[j] < p) {
        net.elevation[p] = net.elevation[net.toPoint[j]] - net.observedDifference[j];
        break;
      } else if (net.toPoint[j] == p && net.fromPoint[j] < p) {
        net.elevation[p] = net.elevation[net.fromPoint[j]] + net.observedDifference[j];
        break;
      }
    }
  }
  rep.title("近拟坐标");
  for (int p = K + 1; p <= P; ++p) {
    rep.appendNumber(p);
    rep.append("   ");
    rep.append(net.pointName[p]);
    rep.append("   ");
    rep.appendNumber(net.elevation[p]);
    rep.endLine();
  }

  // Error equations.
  d.B = DenseMatrix(n, t);
  d.P = DenseMatrix(n, n);
  d.l.assign(n + 1, 0.0);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= t; ++j) d.B(i, j) = 0;
    if (net.toPoint[i] > K) d.B(i, net.toPoint[i] - K) = 1;
    if (net.fromPoint[i] > K) d.B(i, net.fromPoint[i] - K) = -1;
    d.l[i] = ((net.elevation[net.toPoint[i]] - net.elevation[net.fromPoint[i]]) - net.observedDifference[i]) * 1000;
    d.P(i, i) = net.unitWeightLength / net.routeLength[i];
  }
  rep.title("由观测值组成误差方程");
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= t; ++j) rep.appendRightAlignedNumber(d.B(i, j));
    rep.appendRightAlignedNumber(roundHalfUp(d.l[i], 1));
    rep.endLine();
  }

  // Normal equations as full products.
  d.BTP = DenseMatrix(t, n);
  d.N = DenseMatrix(t, 2 * t);
  d.W.assign(t + 1, 0.0);
  for (int i = 1; i <= t; ++i)
    for (int j = 1; j <= n; ++j) {
      double s = 0;
      for (int k = 1; k <= n; ++k) s = s + d.B(k, i) * d.P(k, j);
      d.BTP(i, j) = s;
    }
  for (int i = 1; i <= t; ++i)
    for (int j = 1; j <= t; ++j) {
      double s = 0;
      for (int k = 1; k <= n; ++k) s = s + d.BTP(i, k) * d.B(k, j);
      d.N(i, j) = s;
    }
  for (int i = 1; i <= t; ++i) {
    double s = 0;
    for (int k = 1; k <= n; ++k) s = s + d.BTP(i, k) * d.l[k];
    d.W[i] = s;
  }
  rep.title("由误差方程组成法方程");
  for (int i = 1; i <= t; ++i) {
    for (int j = 1; j <= t; ++j) {
      rep.append("  ");
      rep.appendRightAlignedFixed(d.N(i, j), 4);
      rep.append("  ");
    }
    rep.appendFixed(d.W[i], 1);
    rep.endLine();
  }

  // The solver, row by row on [N | -I].
  d.A = d.N;
  d.R = DenseMatrix(t, 2 * t);
  d.Q = DenseMatrix(t, t);
  DenseMatrix& A = d.A;
  DenseMatrix& R = d.R;
  DenseMatrix& Q = d.Q;
  for (int i = 1; i <= t; ++i) A(i, t + i) = -1;
  for (int j = 1; j <= 2 * t && t >= 1; ++j) R(1, j) = -A(1, j) / A(1, 1);
  for (int i = 2; i <= t; ++i)
    for (int j = i; j <= 2 * t; ++j) {
      for (int k = i - 1; k >= 1; --k) A(i, j) = A(i, j) + R(k, i) * A(k, j);
      R(i, j) = -A(i, j) / A(i, i);
    }
  for (int m = 1; m <= t; ++m)
    for (int i = 1; i <= t; ++i) Q(m, i) = 0;
  for (int m = 1; m <= t; ++m)
    for (int i = t; i >= 1; --i) {
      for (int j = t; j >= i + 1; --j) Q(m, i) = Q(m, i) + Q(m, j) * R(i, j);
      Q(m, i) = Q(m, i) + R(i, t + m);
    }
  d.x.assign(t + 1, 0.0);
  for (int i = 1; i <= t; ++i) {
    d.x[i] = 0;
    for (int j = 1; j <= t; ++j) d.x[i] = d.x[i] - Q(i, j) * d.W[j];
  }
  rep.title("解算法方程  ");
  for (int i = 1; i <= t; ++i) {
    for (int j = 1; j <= t; ++j) {
      rep.append("  ");
      rep.appendRightAlignedFixed(Q(i, j), 4);
      rep.append("  ");
    }
    rep.appendRightAlignedFixed(d.x[i], 4);
    rep.endLine();
  }

  // Adjusted values.
  for (int p = K + 1; p <= K + t; ++p) net.elevation[p] = net.elevation[p] + d.x[p - K] / 1000;
  rep.title("序号   点号   最或然值(m) ");
  for (int p = 1; p <= P; ++p) {
    rep.append("  ");
    rep.appendNumber(p);
    rep.append(" ");
    rep.appendRightAligned(net.pointName[p]);
    rep.append("     ");
    rep.appendRightAlignedFixed(net.elevation[p], 4);
    rep.endLine();
  }
  d.adjustedDiff.assign(n + 1, 0.0);
  d.correction.assign(n + 1, 0.0);
  rep.title("序号  观测值(m)  改正数(mm)  平差值(m)");
  for (int k = 1; k <= n; ++k) {
    d.adjustedDiff[k] = net.elevation[net.toPoint[k]] - net.elevation[net.fromPoint[k]];
    d.correction[k] = d.adjustedDiff[k] - net.observedDifference[k];
    d.correction[k] = std::floor(d.correction[k] * 10000 + 0.5) / 10;
    rep.append("  ");
    rep.appendNumber(k);
    rep.append("    ");
    rep.appendRightAlignedFixed(net.observedDifference[k], 3);
    rep.append("   ");
    rep.appendRightAlignedFixed(d.correction[k], 1);
    rep.append("       ");
    rep.appendRightAlignedFixed(d.adjustedDiff[k], 4);
    rep.endLine();
  }

  // Precision, with the full weight matrix.
  d.pvv = 0;
  for (int k = 1; k <= n; ++k) d.pvv = d.pvv + (d.correction[k] * d.P(k, k)) * d.correction[k];
  d.mu = std::floor(std::sqrt(d.pvv / (n - t)) * 1000 + 0.5) / 1000;
  rep.title("精度评定:");
  rep.append("  1、单位权中误差:μ=±");
  rep.appendFixed(d.mu, 3);
  rep.append("mm\r\n  2、每公里观测高差中误差(相对中误差):1km:M(km)=±");
  rep.appendFixed(d.mu / std::sqrt(net.unitWeightLength), 3);
  rep.append("mm\r\n  3、各所求点高程平差值的中误差:\r\n");
  d.pointError.assign(t + 1, 0.0);
  for (int p = K + 1; p <= K + t; ++p) {
    d.pointError[p - K] = d.mu * std::sqrt(Q(p - K, p - K));
    rep.append("     M(");
    rep.appendNumber(p);
    rep.append(")=±");
    rep.appendFixed(d.pointError[p - K], 3);
    rep.append("mm\r\n");
  }
  rep.finish();
  d.report = std::move(reportText.text);
  return d;
}

}  // namespace levelnet::testing
