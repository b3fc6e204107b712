#include "support/network_generator.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "network/number_text.h"

namespace levelnet::testing {

namespace {

void setCounts(NetworkText& net, int known, int unknown, int observations, const std::string& unitLength) {
  net.fields = {std::to_string(known), std::to_string(unknown), std::to_string(observations), unitLength};
  net.points.setRows(known + unknown + 1);
  net.observations.setRows(observations + 1);
  for (int i = 1; i <= known + unknown; ++i) net.points.setText(i, 0, std::to_string(i));
  for (int j = 1; j <= observations; ++j) net.observations.setText(j, 0, std::to_string(j));
}

struct Obs {
  int from, to;
  double length;
};

void writeObservations(NetworkText& net, const std::vector<Obs>& obs, const std::vector<std::string>& names,
                       const std::vector<double>& truth, std::mt19937& rng) {
  std::normal_distribution<double> noise(0.0, 0.0012);
  for (std::size_t j = 0; j < obs.size(); ++j) {
    const Obs& o = obs[j];
    const int row = static_cast<int>(j) + 1;
    const double diff = truth[o.to] - truth[o.from] + noise(rng) * std::sqrt(o.length);
    net.observations.setText(row, 1, names[o.from]);
    net.observations.setText(row, 2, names[o.to]);
    net.observations.setText(row, 3, fixedText(diff, 4));
    net.observations.setText(row, 4, fixedText(o.length, 1));
  }
}

}  // namespace

NetworkText gridNetwork(int rows, int cols, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> height(40.0, 60.0), length(0.5, 3.0);
  const int known = 4, unknown = rows * cols;
  std::vector<std::string> names(known + unknown + 1);
  std::vector<double> truth(known + unknown + 1);
  for (int i = 1; i <= known; ++i) names[i] = std::string("BM").append(std::to_string(i));
  for (int i = 1; i <= unknown; ++i) names[known + i] = std::string("P").append(std::to_string(i));
  for (auto& h : truth) h = height(rng);
  auto at = [&](int r, int c) { return known + 1 + r * cols + c; };
  std::vector<Obs> obs;
  obs.push_back({1, at(0, 0), length(rng)});
  obs.push_back({2, at(0, cols - 1), length(rng)});
  obs.push_back({at(rows - 1, 0), 3, length(rng)});
  obs.push_back({at(rows - 1, cols - 1), 4, length(rng)});
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      if (c + 1 < cols) obs.push_back({at(r, c), at(r, c + 1), length(rng)});
      if (r + 1 < rows) obs.push_back({at(r, c), at(r + 1, c), length(rng)});
    }
  NetworkText net;
  setCounts(net, known, unknown, static_cast<int>(obs.size()), "1");
  for (int i = 1; i <= known + unknown; ++i) {
    net.points.setText(i, 1, names[i]);
    if (i <= known) net.points.setText(i, 2, fixedText(truth[i], 3));
  }
  writeObservations(net, obs, names, truth, rng);
  return net;
}

NetworkText randomNetwork(std::uint32_t seed, int maxUnknown) {
  std::mt19937 rng(seed);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::uniform_real_distribution<double> height(-20.0, 900.0), length(0.1, 9.0), coin(0.0, 1.0);
  const int known = uniform(1, 4);
  int unknown = uniform(0, maxUnknown);
  if (known == 1 && unknown == 0) unknown = 1;  // at least two points to level between
  const int points = known + unknown;
  static const char* const kStems[] = {"BM", "P", "水准点", "桥", "Q", "007", "点"};
  std::vector<std::string> names(points + 1);
  for (int i = 1; i <= points; ++i) names[i] = std::string(kStems[uniform(0, 6)]) + std::to_string(i);
  std::vector<double> truth(points + 1);
  for (auto& h : truth) h = height(rng);

  // A spanning tree over all points (so every unknown point is tied), then
  // extra observations, some of them between known points.
  std::vector<Obs> obs;
  for (int p = 2; p <= points; ++p) obs.push_back({uniform(1, p - 1), p, length(rng)});
  const int extra = uniform(1, std::max(2, points));
  for (int e = 0; e < extra; ++e) {
    int a = uniform(1, points), b = uniform(1, points);
    if (a == b) b = a % points + 1;
    if (a == b) continue;
    obs.push_back({a, b, length(rng)});
  }
  for (auto& o : obs)
    if (coin(rng) < 0.5) std::swap(o.from, o.to);
  std::shuffle(obs.begin(), obs.end(), rng);

  NetworkText net;
  setCounts(net, known, unknown, static_cast<int>(obs.size()), coin(rng) < 0.5 ? "1" : fixedText(length(rng), 1));
  for (int i = 1; i <= points; ++i) {
    net.points.setText(i, 1, names[i]);
    if (i <= known || coin(rng) < 0.3) net.points.setText(i, 2, fixedText(truth[i] + (i > known ? 0.3 : 0.0), 3));
  }
  writeObservations(net, obs, names, truth, rng);
  return net;
}

}  // namespace levelnet::testing
