// The results mode on large grid networks: time and memory against t, the
// exponent fitted to them, and at the largest size the printed figures
// against an independent solve (conjugate gradients, no factorisation).
//
//   build/bench/levelnet_large_networks            strip grids (40 rows) and square grids
//   build/bench/levelnet_large_networks --largest T
#include <sys/resource.h>

#include <Eigen/IterativeLinearSolvers>
#include <Eigen/SparseCore>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "adjust/phases.h"
#include "adjust/report_writer.h"
#include "adjust/results_mode.h"
#include "network/number_text.h"
#include "support/network_generator.h"

namespace {

using namespace levelnet;

struct CountingSink : TextSink {
  std::size_t bytes = 0;
  void write(std::string_view b) override { bytes += b.size(); }
};

struct TextSinkKeep : TextSink {
  std::string text;
  void write(std::string_view b) override { text.append(b); }
};

double peakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Seconds of one results-mode run (gathering, the sparse path, the four
// sections), the best of three.
double timeResults(const NetworkText& text, bool& certain) {
  double best = 1e30;
  for (int run = 0; run < 3; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const AdjustmentResults r =
        computeResults(gatherNetwork(text.fields, text.points, text.observations, kLargeNetworkLimits));
    CountingSink sink;
    writeResultsSections(r, sink);
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    certain = r.cofactors.size() == 0;
  }
  return best;
}

// The least-squares slope of log(seconds) over log(t).
double fittedExponent(const std::vector<double>& t, const std::vector<double>& seconds) {
  double mx = 0, my = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    mx += std::log(t[i]);
    my += std::log(seconds[i]);
  }
  mx /= t.size();
  my /= t.size();
  double sxy = 0, sxx = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    sxy += (std::log(t[i]) - mx) * (std::log(seconds[i]) - my);
    sxx += (std::log(t[i]) - mx) * (std::log(t[i]) - mx);
  }
  return sxy / sxx;
}

void series(const char* name, const std::vector<std::pair<int, int>>& grids) {
  std::vector<double> ts, seconds;
  std::printf("%s\n%8s %8s %10s %10s %s\n", name, "t", "n", "seconds", "peak MB", "path");
  for (auto [rows, cols] : grids) {
    const NetworkText text = testing::gridNetwork(rows, cols, static_cast<std::uint32_t>(rows * cols));
    bool sparse = true;
    const double s = timeResults(text, sparse);
    ts.push_back(rows * cols);
    seconds.push_back(s);
    std::printf("%8d %8s %10.3f %10.0f %s\n", rows * cols, text.fields.observations.c_str(), s, peakMegabytes(),
                sparse ? "sparse" : "textbook");
    std::fflush(stdout);
  }
  std::printf("fitted exponent: time ~ t^%.2f\n\n", fittedExponent(ts, seconds));
}

// Sections 5 and 6 from x of conjugate gradients on N x = -W (to the last
// digits double gives), against the results mode's; M(p) compared for a
// sample of points, Q(p, p) from N q = e_p.
void independentCheck(int t) {
  const NetworkText text = testing::gridNetwork(40, t / 40, static_cast<std::uint32_t>(t));
  const LevelingNetwork net = gatherNetwork(text.fields, text.points, text.observations, kLargeNetworkLimits);
  const AdjustmentResults mode = computeResults(net);

  AdjustmentResults r(net);
  computeApproximateElevations(r);
  formErrorEquations(r);
  formNormalConstants(r);
  std::vector<Eigen::Triplet<double>> terms;
  for (int k = 1; k <= net.observationCount; ++k) {
    const int i = r.errorEquations[k].toParameter, j = r.errorEquations[k].fromParameter;
    const double p = r.weights[k];
    if (i) terms.emplace_back(i - 1, i - 1, p);
    if (j) terms.emplace_back(j - 1, j - 1, p);
    if (i && j) {
      terms.emplace_back(i - 1, j - 1, -p);
      terms.emplace_back(j - 1, i - 1, -p);
    }
  }
  Eigen::SparseMatrix<double> N(t, t);
  N.setFromTriplets(terms.begin(), terms.end());
  Eigen::ConjugateGradient<Eigen::SparseMatrix<double>, Eigen::Lower | Eigen::Upper> cg(N);
  cg.setTolerance(1e-15);
  cg.setMaxIterations(200000);
  Eigen::VectorXd w(t);
  for (int i = 0; i < t; ++i) w[i] = -r.normalConstants[i + 1];
  const Eigen::VectorXd x = cg.solve(w);
  r.parameterCorrections.assign(static_cast<std::size_t>(t) + 1, 0.0);
  for (int i = 0; i < t; ++i) r.parameterCorrections[i + 1] = x[i];
  r.pointCofactors = mode.pointCofactors;  // M is compared below, point by point
  adjustObservations(r);
  assessPrecision(r);

  TextSinkKeep a, b;
  {
    ReportLines lines(a);
    writeAdjustedValues(mode, lines);
    writePrecision(mode, lines);
    lines.finish();
  }
  {
    ReportLines lines(b);
    writeAdjustedValues(r, lines);
    writePrecision(r, lines);
    lines.finish();
  }
  int differing = 0, total = 0;
  for (std::size_t p = 0, q = 0; p < a.text.size() && q < b.text.size();) {
    const std::size_t pe = a.text.find("\r\n", p), qe = b.text.find("\r\n", q);
    if (a.text.compare(p, pe - p, b.text, q, qe - q) != 0) ++differing;
    ++total;
    p = pe + 2;
    q = qe + 2;
  }
  int mDiffering = 0;
  const int sample = 50;
  for (int s = 0; s < sample; ++s) {
    const int i = 1 + static_cast<int>((static_cast<long long>(s) * 7919) % t);
    Eigen::VectorXd e = Eigen::VectorXd::Zero(t);
    e[i - 1] = 1.0;
    const double qii = cg.solve(e)[i - 1];
    const double m = mode.unitWeightError * std::sqrt(qii);
    if (fixedText(m, 3) != fixedText(mode.pointErrors[i], 3)) ++mDiffering;
  }
  std::printf(
      "t = %d: sections 5 and 6 from conjugate gradients (%ld iterations, residual %.1e): %d of %d lines "
      "differ; M(p) of %d sample points: %d differ\n",
      t, static_cast<long>(cg.iterations()), cg.error(), differing, total, sample, mDiffering);
}

}  // namespace

int main(int argc, char** argv) {
  int largest = 100000;
  if (argc == 3 && std::strcmp(argv[1], "--largest") == 0) largest = std::atoi(argv[2]);
  std::vector<std::pair<int, int>> strips, squares;
  for (int t = 10000; t <= largest; t *= 2) strips.push_back({40, t / 40});
  if (strips.back().first * strips.back().second != largest) strips.push_back({40, largest / 40});
  for (int side : {100, 141, 200, 283, 316})
    if (side * side <= largest * 1.01) squares.push_back({side, side});
  series("strip grids, 40 rows (the benchmark's networks)", strips);
  series("square grids", squares);
  independentCheck(largest);
  return 0;
}
