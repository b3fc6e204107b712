// The 网图 as both shells make it: the network gathered (a planned network
// with empty observed differences too), placed by its points file or laid
// out from its graph, adjusted where it can be, checked when asked, and
// drawn; then written as SVG or DXF.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "adjust/adjustment_results.h"
#include "check/network_check.h"
#include "check/network_design.h"
#include "network/leveling_network.h"
#include "network/text_table.h"
#include "plot/network_drawing.h"
#include "session/data_check.h"

namespace levelnet::session {

struct PlotSettings {
  std::string coordinatesFile;  // a points file (点名,X,Y or 点名,编码,Y,X,H); empty: the layout
  bool withCheck = false;       // routes coloured by the check's findings
  CheckOptions check;
  std::string title;  // of the drawing
};

struct PlotOutcome {
  plot::NetworkDrawing drawing;
  bool adjusted = false;  // the adjusted elevations and M are drawn
  // Names of the points file that are no point of the network, with their lines.
  std::vector<std::string> extraCoordinates;
  std::string encodingNote;  // when the points file was read as UTF-8
  std::vector<DuplicateName> duplicateNames;
};

// Draws the network. A network whose every observed difference is given is
// adjusted (its adjusted elevations and M are drawn) and, with withCheck,
// checked as `levelnet check` checks it: flagged, unchecked and weakly
// checked routes are marked, loops of a failed misclosure outlined. Throws
// InputError for the network, the points file (naming its points without
// coordinates) or the settings (a check of a network not yet leveled), and
// as the adjustment.
PlotOutcome plotNetwork(const NetworkText& network, const PlotSettings& settings,
                        NetworkLimits limits = kLargeNetworkLimits);

// The drawing's marks from a check's findings: by observation 1..n.
plot::DrawingFacts checkFacts(const LevelingNetwork& net, const CheckFindings& findings);
// The same from a check run of the network (checkNetwork): an observation
// the iteration removed is marked as flagged.
plot::DrawingFacts checkFacts(const LevelingNetwork& net, const CheckRun& check);

// What is known of a network to draw it with; each part optional, and each
// must be of the network drawn (the session's current outcomes).
struct DrawingSources {
  const AdjustmentResults* adjusted = nullptr;  // adjusted elevations and M
  const CheckRun* check = nullptr;              // routes coloured by the check
  const DesignFindings* design = nullptr;       // expected M (circles scaled), unchecked routes marked
};

// The 网图 of a gathered network laid out from its graph, with what
// `sources` give. Throws as drawNetwork.
plot::NetworkDrawing drawGathered(const LevelingNetwork& net, const DrawingSources& sources, const std::string& title);

// The 网图 of the network as the tables hold it (the window's tab): gathered
// as planned (observed differences may be empty). Throws InputError naming
// the table, row and column of what cannot be gathered.
plot::NetworkDrawing drawNetworkText(const NetworkText& network, const DrawingSources& sources,
                                     const std::string& title, NetworkLimits limits = kLargeNetworkLimits);

enum class PlotFormat { svg, dxf, png, pdf };

// The format a file name's suffix names (.svg, .dxf, .png, .pdf, any case).
std::optional<PlotFormat> plotFormatOf(const std::string& path);

// The bytes of an SVG or DXF file of the drawing. Throws InputError for a
// text the DXF's code page cannot hold.
std::string plotFileBytes(const plot::NetworkDrawing& drawing, PlotFormat format);

}  // namespace levelnet::session
