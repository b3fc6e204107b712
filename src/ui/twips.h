// Lengths in twips (1/1440 inch), the unit of every position and size in the
// window's layout, and their conversion to the screen's pixels. This is the
// only place where twips meet pixels.
#pragma once

namespace levelnet::ui {

// Twips per pixel of the primary screen, from its logical resolution:
// 15 at 96 dots per inch. Falls back to 15 when there is no screen.
double twipsPerPixelX();
double twipsPerPixelY();

// Twips to whole pixels (rounded to nearest) and back.
int pixelsX(int twips);
int pixelsY(int twips);
int twipsX(int pixels);
int twipsY(int pixels);

}  // namespace levelnet::ui
