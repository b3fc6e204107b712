// The adjustment as one call: every phase in order on a gathered network,
// with either solver of the normal equations, and the results checked to be
// finite before anyone reads them.
#pragma once

#include "adjust/adjustment_results.h"

namespace levelnet {

// Runs every phase on a gathered network. Throws AdjustmentError when the
// normal equations have no unique solution or a value comes out non-finite,
// OutOfMemoryError when memory runs out.
AdjustmentResults computeAdjustment(LevelingNetwork network);

// The same results through the sparse factorisation (sparse_normal.h), for
// networks of any size: no Q in full (cofactors stays empty), x from a
// solve, Q(i, i) and the observed pairs from the selected inverse. Every
// value equals the textbook solver's within rounding error; which printed
// digits it gives is results_mode.h's matter. Throws as computeAdjustment.
AdjustmentResults computeSparseAdjustment(LevelingNetwork network);

}  // namespace levelnet
