#include "ui/table_rows.h"

#include <cfenv>
#include <cmath>

namespace levelnet::ui {

TableRowCount tableRowsFor(double count) {
  // nearbyint rounds in the current mode, which is to nearest, ties to even,
  // unless someone changed it; make sure of it here.
  const int mode = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const double rounded = std::nearbyint(count + 1.0);
  std::fesetround(mode);
  if (!(rounded >= 1.0)) return {TableRows::tooFew, 0};
  if (rounded > kMaxTableRows) return {TableRows::tooMany, 0};
  return {TableRows::ok, static_cast<int>(rounded)};
}

}  // namespace levelnet::ui
