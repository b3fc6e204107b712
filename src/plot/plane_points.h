// Approximate plane coordinates of the points, from the points file a survey
// office keeps beside the network: CSV lines `点名,X,Y`, or `点名,编码,Y,X,H`
// as field software writes its coordinate files. X is northing, Y easting
// (the surveyor's axes), in metres.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "network/gbk.h"
#include "network/leveling_network.h"

namespace levelnet::plot {

struct PlanePoint {
  std::string name;
  double north = 0.0;  // X, m
  double east = 0.0;   // Y, m
  int line = 0;        // of the file
};

struct PlanePointsFile {
  std::string name;  // as messages name the file
  FileEncoding encoding = FileEncoding::gbk;
  std::vector<PlanePoint> points;
};

// Reads a points file of at most 16 MiB, in GBK or UTF-8 (decided as for a
// .pc file). Empty lines are skipped, and so is a first line whose
// coordinates are not numbers (a header such as 点名,X,Y). Throws InputError
// naming the file, the line and the text for a line that is neither form,
// a coordinate that is not a number or beyond ±1e8 m, and a name given twice.
PlanePointsFile readPlanePoints(const std::string& path);
PlanePointsFile parsePlanePoints(std::string_view bytes, const std::string& name);

// Where each point of the network lies: east and north by point 1..pointCount
// (element 0 unused).
struct PointPlacement {
  std::vector<double> east;
  std::vector<double> north;
};

// The coordinates of every point of the network by name. Throws InputError
// listing the points without coordinates (up to 20 names). `extra` receives
// the names of the file that are no point of the network, with their lines.
PointPlacement placeByCoordinates(const LevelingNetwork& net, const PlanePointsFile& file,
                                  std::vector<std::string>* extra = nullptr);

}  // namespace levelnet::plot
