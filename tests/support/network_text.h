// Building entered networks for tests from a few lines of text.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "network/text_table.h"

namespace levelnet::testing {

// Fields and tables as a user would type them: points as {name, elevation},
// observations as {from, to, difference, length}. Column 0 is numbered.
inline NetworkText enteredNetwork(ParameterFields fields, const std::vector<std::vector<std::string>>& points,
                                  const std::vector<std::vector<std::string>>& observations) {
  NetworkText net;
  net.fields = std::move(fields);
  net.points.setRows(static_cast<int>(points.size()) + 1);
  for (std::size_t i = 0; i < points.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    net.points.setText(row, 0, std::to_string(row));
    for (std::size_t c = 0; c < points[i].size(); ++c) net.points.setText(row, static_cast<int>(c) + 1, points[i][c]);
  }
  net.observations.setRows(static_cast<int>(observations.size()) + 1);
  for (std::size_t j = 0; j < observations.size(); ++j) {
    const int row = static_cast<int>(j) + 1;
    net.observations.setText(row, 0, std::to_string(row));
    for (std::size_t c = 0; c < observations[j].size(); ++c)
      net.observations.setText(row, static_cast<int>(c) + 1, observations[j][c]);
  }
  return net;
}

}  // namespace levelnet::testing
