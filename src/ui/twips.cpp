#include "ui/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace levelnet::ui {

namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kDefaultTwipsPerPixel = 15.0;  // 96 dots per inch

double twipsPerPixel(bool horizontal) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return kDefaultTwipsPerPixel;
  const double dpi = horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
  return dpi > 0.0 ? kTwipsPerInch / dpi : kDefaultTwipsPerPixel;
}

int toPixels(int twips, double perPixel) { return static_cast<int>(std::lround(twips / perPixel)); }
int toTwips(int pixels, double perPixel) { return static_cast<int>(std::lround(pixels * perPixel)); }

}  // namespace

double twipsPerPixelX() { return twipsPerPixel(true); }
double twipsPerPixelY() { return twipsPerPixel(false); }

int pixelsX(int twips) { return toPixels(twips, twipsPerPixelX()); }
int pixelsY(int twips) { return toPixels(twips, twipsPerPixelY()); }
int twipsX(int pixels) { return toTwips(pixels, twipsPerPixelX()); }
int twipsY(int pixels) { return toTwips(pixels, twipsPerPixelY()); }

}  // namespace levelnet::ui
