// Design before measuring (精度预估) as both shells run it: the settings
// from the texts a user gives, routes added or taken away to try a change,
// the design of the planned network and its report.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "check/network_design.h"
#include "network/leveling_network.h"
#include "network/text_table.h"

namespace levelnet::session {

// The design's settings: σ per km ("" takes the grade's limit of the
// standard error per km, 四等 10 mm), the grade and terrain as for the
// check, the weakest point's limit in mm ("" takes 20 mm with a grade).
// Throws InputError naming what cannot be used (remedy sigmaPerKm when
// neither σ nor a grade with a limit is given).
DesignOptions designOptions(const std::string& grade, const std::string& terrain, const std::string& sigmaKm,
                            const std::string& pointLimit);

// A route to try: from, to and length in km, as `FROM,TO,L` (`，` too).
struct PlannedRoute {
  std::string from, to, length;
};
PlannedRoute parsePlannedRoute(const std::string& text);

struct RouteChanges {
  std::vector<PlannedRoute> added;
  std::vector<int> removed;  // rows of the observation table
  bool empty() const { return added.empty() && removed.empty(); }
};

// The network with the rows `removed` taken out of the observation table and
// the routes `added` appended (observed differences empty), the count field
// changed to match. Throws InputError for a row that is not one of the
// table's observations.
NetworkText withRouteChanges(const NetworkText& network, const RouteChanges& changes);

struct DesignRun {
  std::string report;   // UTF-8, CR LF
  LevelingNetwork net;  // the network designed (after the changes)
  DesignFindings findings;
  // With changes: the weakest point of the network as it was.
  std::optional<DesignFindings> before;
  std::string beforeWeakestName;
  // The row of the observation table of every observation designed (1..n;
  // 0 for a route added).
  std::vector<int> observationRows;
};

// Designs the network (observed differences may be empty; they are not
// used). With changes the report ends with the weakest point before and
// after them. Throws InputError for the network or the changes, and as the
// adjustment.
DesignRun designNetwork(const NetworkText& network, const DesignOptions& options, const RouteChanges& changes,
                        const std::string& fileName, NetworkLimits limits = kLargeNetworkLimits);

}  // namespace levelnet::session
