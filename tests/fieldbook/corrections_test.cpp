// The corrections of precise leveling: each formula recomputed here in
// another form (the textbooks' first-order series for the normal surfaces,
// GRS80's published normal gravity), the points and temperature files
// refused with file, line and text, and an import whose network holds the
// corrected differences with every correction in its report.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "fieldbook/corrections.h"
#include "fieldbook/field_file.h"
#include "fieldbook/import.h"
#include "network/errors.h"

namespace levelnet::fieldbook {
namespace {

const std::string kLine = LEVELNET_CASES_DIR "/fieldbook/line_bffb.gsi";

// Rod scale and rod temperature: proportional to the height difference in
// metres, either sign.
TEST(Corrections, RodScaleAndTemperature) {
  struct Case {
    double heightMm, metreError, expansion, temperature, scale, heat;
  };
  const Case cases[] = {
      // 25 m up, rods 0.05 mm/m long: +1.25 mm; invar 0.001 mm/(m·℃) at 30 ℃: +0.25 mm.
      {25000.0, 0.05, 0.001, 30.0, 1.25, 0.25},
      // 12.5 m down, rods 0.02 mm/m short, 10 ℃ below the calibration: +0.25 and +0.125 mm.
      {-12500.0, -0.02, 0.001, 10.0, 0.25, 0.125},
      {0.0, 0.05, 0.001, 35.0, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.heightMm);
    EXPECT_NEAR(rodScaleCorrection(c.heightMm, c.metreError), c.scale, 1e-12);
    EXPECT_NEAR(rodTemperatureCorrection(c.heightMm, c.expansion, c.temperature, 20.0), c.heat, 1e-12);
  }
}

// Normal gravity against GRS80's published values: 978032.67715 mGal at
// the equator, 983218.63685 at the poles, 980619.92 at 45° (Moritz, Geodetic
// Reference System 1980); the series of four decimals keeps within 0.3 mGal.
TEST(Corrections, NormalGravityAgreesWithGrs80) {
  EXPECT_NEAR(normalGravity(0.0), 978032.67715, 0.05);
  EXPECT_NEAR(normalGravity(90.0), 983218.63685, 0.3);
  EXPECT_NEAR(normalGravity(-90.0), 983218.63685, 0.3);
  EXPECT_NEAR(normalGravity(45.0), 980619.92, 0.3);
  // Along the normal line gravity falls by 0.3086 mGal a metre: the mean to
  // 1000 m is 154.3 mGal below γ₀.
  EXPECT_NEAR(meanNormalGravity(45.0, 1000.0), normalGravity(45.0) - 154.3, 1e-9);
}

// The meridian arc against the published quarter meridian of GRS80 (whose
// a and f CGCS2000 shares), 10,001,965.729 m; the latitude of Gauss-Krüger
// coordinates against the forward projection's series to the fourth order,
// up to 2° from the central meridian.
TEST(Corrections, LatitudeFromPlaneCoordinates) {
  EXPECT_NEAR(meridianArc(90.0), 10001965.729, 0.001);
  EXPECT_NEAR(meridianArc(-45.0), -meridianArc(45.0), 1e-6);
  const double a = 6378137.0, f = 1.0 / 298.257222101, e2 = f * (2 - f), ep2 = e2 / (1 - e2);
  for (const double lat : {20.0, 35.0, 47.5}) {
    for (const double lon : {0.0, 0.7, -1.5, 2.0}) {
      SCOPED_TRACE(std::to_string(lat) + " " + std::to_string(lon));
      const double b = lat * std::numbers::pi / 180, l = lon * std::numbers::pi / 180;
      const double n = a / std::sqrt(1 - e2 * std::sin(b) * std::sin(b)), t = std::tan(b),
                   eta2 = ep2 * std::cos(b) * std::cos(b), c = std::cos(b);
      const double x = meridianArc(lat) + n / 2 * t * c * c * l * l +
                       n / 24 * t * std::pow(c, 4) * (5 - t * t + 9 * eta2) * std::pow(l, 4);
      const double y = n * c * l + n / 6 * std::pow(c, 3) * (1 - t * t + eta2) * std::pow(l, 3);
      EXPECT_NEAR(gaussKrugerLatitude(x, y), lat, 1e-5);  // 0.04″
    }
  }
  // A points file in plane coordinates: Y with the zone number 38 and the
  // 500 km false easting.
  const double x = meridianArc(35.0);
  char file[200];
  std::snprintf(file, sizeof file, "点名,X,Y\nA,%.3f,38500000\nB,%.3f,38512000.5\n", x, x);
  const auto points = readPointsFile(decodeFieldBytes(file, "xy.csv"));
  EXPECT_NEAR(*points.at("A").latitude, 35.0, 1e-8);  // x to the mm
  EXPECT_NEAR(*points.at("B").latitude, gaussKrugerLatitude(x, 12000.5), 1e-8);
  EXPECT_LT(*points.at("B").latitude, 35.0);
}

// ε against the textbooks' form −A·H_m·Δφ′, A = β sin 2φ / ρ′ (β of the
// normal gravity formula, ρ′ = 3437.75′ a radian), which drops the sin²2φ
// term and the ratio γe/γm: they agree to 0.5 % over short sections; ε
// changes sign with the direction and vanishes on a parallel.
TEST(Corrections, NormalSurfacesAgainstTheFirstOrderForm) {
  struct Case {
    double latA, latB, heightM;
  };
  const Case cases[] = {{35.0, 35.0 + 1.0 / 60.0, 1000.0},
                        {35.0, 35.5, 1000.0},
                        {20.0, 19.9, 3500.0},
                        {-30.0, -30.2, 800.0},
                        {60.0, 60.1, 200.0}};
  const double beta = 0.0053024, rhoMinutes = 180.0 * 60.0 / std::numbers::pi;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.latA) + " → " + std::to_string(c.latB));
    const double phiM = (c.latA + c.latB) / 2.0 * std::numbers::pi / 180.0;
    const double deltaMinutes = (c.latB - c.latA) * 60.0;
    const double firstOrder = -beta * std::sin(2.0 * phiM) / rhoMinutes * c.heightM * deltaMinutes * 1000.0;
    const double e = normalSurfaceCorrection(c.latA, c.latB, c.heightM);
    EXPECT_NEAR(e, firstOrder, 0.005 * std::fabs(firstOrder));
    // The constant geodesy textbooks print for the same form, with γe/γm
    // folded in: ε = −0.0000015395·H_m·Δφ′·sin 2φ_m (m, ′).
    const double printed = -0.0000015395 * c.heightM * deltaMinutes * std::sin(2.0 * phiM) * 1000.0;
    EXPECT_NEAR(e, printed, 0.005 * std::fabs(printed));
    EXPECT_DOUBLE_EQ(normalSurfaceCorrection(c.latB, c.latA, c.heightM), -e);
  }
  // 1′ north at 35° and 1000 m: about −1.45 mm.
  EXPECT_NEAR(normalSurfaceCorrection(35.0, 35.0 + 1.0 / 60.0, 1000.0), -1.45, 0.01);
  EXPECT_EQ(normalSurfaceCorrection(40.0, 40.0, 1500.0), 0.0);
}

// λ = (g − γ)_m / γ_m · h: a mean anomaly of 40 mGal over 100 m is 40 /
// 979,6xx of 100 m, about 4.08 mm; it follows the height difference's sign.
TEST(Corrections, GravityAnomaly) {
  const double gammaM = normalGravity(30.05) - 0.1543 * 500.0;
  EXPECT_NEAR(gravityAnomalyCorrection(100000.0, 50.0, 30.0, 30.0, 30.1, 500.0), 40.0 / gammaM * 100000.0, 1e-12);
  EXPECT_NEAR(gravityAnomalyCorrection(100000.0, 50.0, 30.0, 30.0, 30.1, 500.0), 4.08, 0.01);
  EXPECT_DOUBLE_EQ(gravityAnomalyCorrection(-100000.0, 50.0, 30.0, 30.0, 30.1, 500.0),
                   -gravityAnomalyCorrection(100000.0, 50.0, 30.0, 30.0, 30.1, 500.0));
}

TEST(Corrections, FilesRefusedWithFileLineAndText) {
  struct Case {
    const char* name;
    std::string bytes;
    bool temperatures;
    const char* place;
    const char* reason;
  };
  const Case cases[] = {
      {"latitude beyond 90", "点名,纬度\nBM1,91\n", false, "第 2 行", "“纬度”“91”超出合理范围"},
      {"latitude not a number", "点名,纬度\nBM1,北纬30\n", false, "第 2 行", "“北纬30”不是数"},
      {"empty latitude", "点名,纬度,近似高程\nBM1,,12\n", false, "第 2 行", "“纬度”为空"},
      {"point twice", "点名,纬度\nBM1,30\nBM1,31\n", false, "第 3 行", "出现了两次"},
      {"unknown column", "点名,纬度,经度\n", false, "第 1 行", "未知的列名“经度”"},
      {"no latitude column", "点名,近似高程\nBM1,3\n", false, "第 2 行", "“纬度”为空（或给出高斯坐标 X、Y）"},
      {"Y without its false easting", "点名,X,Y\nBM1,3300000,38000\n", false, "第 2 行", "离中央子午线超过 400 km"},
      {"more cells than the header", "点名,纬度\nBM1,30,5\n", false, "第 2 行", "列数多于表头"},
      {"gravity anomaly", "点名,纬度,重力异常\nBM1,30,inf\n", false, "第 2 行", "不是数"},
      {"temperature", "起点,终点,尺温\nA,B,120\n", true, "第 2 行", "“尺温”“120”超出合理范围"},
      {"temperature without ends", "起点,终点,尺温\n,B,20\n", true, "第 2 行", "为空"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      const FieldText text = decodeFieldBytes(c.bytes, "p.csv");
      if (c.temperatures)
        readRunTemperatures(text);
      else
        readPointsFile(text);
      ADD_FAILURE() << "accepted";
    } catch (const InputError& e) {
      const std::string m = e.what();
      EXPECT_NE(m.find("文件“p.csv”"), std::string::npos) << m;
      EXPECT_NE(m.find(c.place), std::string::npos) << m;
      EXPECT_NE(m.find(c.reason), std::string::npos) << m;
    }
  }
  const auto points =
      readPointsFile(decodeFieldBytes("# 点位\n重力异常,纬度,点名\n12.5,30.25,BM1\n,30.5,P2\n", "p.csv"));
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(*points.at("BM1").latitude, 30.25);
  EXPECT_EQ(*points.at("BM1").gravityAnomaly, 12.5);
  EXPECT_FALSE(points.at("P2").gravityAnomaly);
}

// The GSI line BM1 – 1001 – P2 (h = 1011.025 mm) imported at 二等 with the
// rods 0.02 mm/m long, rod temperatures of the run, and latitudes: the .pc
// holds the corrected difference and the report lists each correction.
TEST(Corrections, ImportHoldsTheCorrectedDifference) {
  ImportOptions options;
  options.grade = "二等";
  options.known = {{"BM1", "50"}};
  const FieldImport plain = importFieldFiles({kLine}, options);
  EXPECT_EQ(plain.project.observations[0][2], "1.0110");
  EXPECT_EQ(plain.report.find("测段改正"), std::string::npos);

  options.corrections.rodMetreError = 0.02;
  options.corrections.rodExpansion = 0.001;
  options.corrections.runTemperatures = {{{"BM1", "P2"}, 32.0}};
  options.corrections.points = readPointsFile(decodeFieldBytes("点名,纬度,重力异常\nBM1,30,20\nP2,29.5,40\n", "p.csv"));
  const FieldImport corrected = importFieldFiles({kLine}, options);
  const double h = 1011.025;
  const double scale = 0.02 * 1.011025, heat = 0.001 * 12.0 * 1.011025;
  const double mean = 50.0 + 1.011025 / 2.0;
  const double eps = normalSurfaceCorrection(30.0, 29.5, mean);
  EXPECT_NEAR(eps, 2.0, 0.05);  // half a degree south at 50 m: about +2.0 mm
  const double lambda = 30.0 / (normalGravity(29.75) - 0.1543 * mean) * h;
  char expected[32];
  std::snprintf(expected, sizeof expected, "%.4f", std::round((h + scale + heat + eps + lambda) * 10.0) / 10000.0);
  EXPECT_EQ(corrected.project.observations[0][2], expected) << corrected.report;
  for (const char* shown : {"测段改正", "尺长改正 δ = f·h，f = 0.02 mm/m", "t₀ = 20 ℃", "合计"})
    EXPECT_NE(corrected.report.find(shown), std::string::npos) << shown << "\n" << corrected.report;

  // A point without a latitude, or one no elevation reaches, is refused.
  options.corrections.points = readPointsFile(decodeFieldBytes("点名,纬度\nBM1,30\n", "p.csv"));
  EXPECT_THROW(importFieldFiles({kLine}, options), InputError);
  options.corrections.points = readPointsFile(decodeFieldBytes("点名,纬度\nBM1,30\nP2,30.1\n", "p.csv"));
  options.known.clear();
  try {
    importFieldFiles({kLine}, options);
    ADD_FAILURE() << "accepted";
  } catch (const InputError& e) {
    EXPECT_NE(std::string(e.what()).find("没有近似高程"), std::string::npos) << e.what();
  }
}

// A loop A → B → C → A of three handbook sections: the normal-surface
// corrections do not sum to zero around it, so the misclosure after them is
// the one before plus their sum, per station temperatures from the 尺温
// column give the sum over the stations.
TEST(Corrections, LoopMisclosureAfterTheCorrections) {
  const std::string book =
      "后视点,前视点,后视距,前视距,后视黑面,后视红面,前视黑面,前视红面,尺温\n"
      "A,B,20,20,1800,6487,1300,6087,25\n"
      "B,C,20,20,1600,6387,1400,6087,30\n"
      "C,A,20,20,1100,5787,1803,6590,35\n";
  ImportOptions options;
  options.grade = "四等";
  options.known = {{"A", "1000"}};
  options.corrections.rodExpansion = 0.001;
  options.corrections.points = readPointsFile(decodeFieldBytes("点名,纬度\nA,36.0\nB,36.5\nC,36.2\n", "p.csv"));
  const FieldImport imported = importFieldTexts({decodeFieldBytes(book, "loop.csv")}, options);
  // Observed: +500, +200, −703 mm: W = −3.0 mm before.
  const double hA = 1000.0, hB = 1000.5, hC = 1000.7;
  const double e1 = normalSurfaceCorrection(36.0, 36.5, (hA + hB) / 2),
               e2 = normalSurfaceCorrection(36.5, 36.2, (hB + hC) / 2),
               e3 = normalSurfaceCorrection(36.2, 36.0, (hC + hA) / 2);
  const double t = 0.001 * (5.0 * 0.5 + 10.0 * 0.2 + 15.0 * -0.703);
  const double after = -3.0 + e1 + e2 + e3 + t;
  char shown[64];
  std::snprintf(shown, sizeof shown, "   1%10.2f%10.2f     0.120  B—C—A—B", -3.0, std::round(after * 100.0) / 100.0);
  EXPECT_NE(imported.report.find("环闭合差"), std::string::npos) << imported.report;
  EXPECT_NE(imported.report.find(shown), std::string::npos) << shown << "\n" << imported.report;
}

}  // namespace
}  // namespace levelnet::fieldbook
