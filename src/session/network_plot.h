// The 网图 as both shells make it: the network gathered (a planned network
// with empty observed differences too), placed by its points file or laid
// out from its graph, adjusted where it can be, checked when asked, and
// drawn; then written as SVG or DXF.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "check/network_check.h"
#include "network/leveling_network.h"
#include "network/text_table.h"
#include "plot/network_drawing.h"

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

enum class PlotFormat { svg, dxf, png, pdf };

// The format a file name's suffix names (.svg, .dxf, .png, .pdf, any case).
std::optional<PlotFormat> plotFormatOf(const std::string& path);

// The bytes of an SVG or DXF file of the drawing. Throws InputError for a
// text the DXF's code page cannot hold.
std::string plotFileBytes(const plot::NetworkDrawing& drawing, PlotFormat format);

}  // namespace levelnet::session
