// The corrections of 一、二等 leveling applied to each run of a section
// before the runs are combined: the rod scale (标尺长度改正), the rod
// temperature (尺温改正), the non-parallelism of the normal level surfaces
// (正常水准面不平行改正) and the gravity anomaly (重力异常改正). Each is
// optional; a section gets the ones its inputs allow, and the report shows
// each with its size.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fieldbook/field_file.h"

namespace levelnet::fieldbook {

// What the points file beside the book gives of a point (degrees, m, mGal).
struct PointGeodesy {
  std::optional<double> latitude;        // degrees, north positive
  std::optional<double> elevation;       // m, approximate
  std::optional<double> gravityAnomaly;  // mGal: g − γ at the point
};

struct CorrectionInputs {
  std::optional<double> rodMetreError;   // mm per m, the mean of the rod pair: + the rods are too long
  std::optional<double> rodExpansion;    // mm per m and ℃, the rods' expansion coefficient
  double calibrationTemperature = 20.0;  // ℃, at which the rods' length holds
  // A run's mean rod temperature (℃) by its ends as observed (from, to),
  // for files whose stations carry none.
  std::map<std::pair<std::string, std::string>, double> runTemperatures;
  std::map<std::string, PointGeodesy> points;  // by point name
  bool any() const { return rodMetreError || rodExpansion || !points.empty(); }
};

// The corrections of one run of a section, mm; nothing where not applied.
struct SectionCorrections {
  std::optional<double> scale, temperature, normal, gravity;
  double total() const {
    return scale.value_or(0) + temperature.value_or(0) + normal.value_or(0) + gravity.value_or(0);
  }
};

// The points file: a header naming the columns 点名 and either 纬度
// (decimal degrees) or the Gauss-Krüger plane coordinates X and Y (m, CGCS2000,
// Y with its 500 km false easting and an optional zone number in front),
// optionally 近似高程 (m) and 重力异常 (mGal), in any order; one point a
// line, "#" starts a comment. Throws InputError naming the file, the line
// and the text of anything else.
std::map<std::string, PointGeodesy> readPointsFile(const FieldText& text);

// The run temperatures file: the columns 起点, 终点 and 尺温 (℃).
std::map<std::pair<std::string, std::string>, double> readRunTemperatures(const FieldText& text);

// The length of the meridian arc of CGCS2000 from the equator to latitude
// B (degrees), m: a(1 − e²)(A₀B − A₂/2 sin 2B + A₄/4 sin 4B − A₆/6 sin 6B).
double meridianArc(double latitudeDegrees);

// The latitude (degrees) of a point of the Gauss-Krüger plane, x north and
// y from the central meridian (m): the footpoint latitude B_f of x, less
// t_f / (2 M_f N_f) · y² (enough for the corrections: 0.1″ at 150 km).
double gaussKrugerLatitude(double x, double y);

// δ = f · h: f the rod pair's mean metre error (mm per m), h in m.
double rodScaleCorrection(double heightMm, double metreError);

// δ = α (t − t₀) h: α mm per m and ℃, h in m.
double rodTemperatureCorrection(double heightMm, double expansion, double temperature, double calibration);

// Normal gravity on the ellipsoid, mGal: γ₀ = 978032.7 (1 + 0.0053024 sin²φ
// − 0.0000058 sin²2φ).
double normalGravity(double latitudeDegrees);

// The mean normal gravity along the normal line of a point at height H (m)
// above the ellipsoid: γ_m = γ₀(φ) − 0.1543 H mGal.
double meanNormalGravity(double latitudeDegrees, double heightM);

// ε = −(γ_B − γ_A) / γ_m · H_m, mm: γ_A, γ_B the normal gravity of the ends,
// γ_m at their mean latitude and half the mean height, H_m the ends' mean
// approximate elevation (m).
double normalSurfaceCorrection(double latitudeA, double latitudeB, double meanElevationM);

// λ = (g − γ)_m / γ_m · h, mm: (g − γ)_m the mean of the ends' gravity
// anomalies (mGal), h the measured height difference (mm).
double gravityAnomalyCorrection(double heightMm, double anomalyA, double anomalyB, double latitudeA, double latitudeB,
                                double meanElevationM);

}  // namespace levelnet::fieldbook
