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

// The geometry of a network without its precision: every phase of
// computeSparseAdjustment but the last, so the weights, the cofactors
// (Q(i, i), the observed pairs) and the condition number are those the
// check reads, bit for bit, whatever the observed differences. mu, mu per km
// and M stay 0: a planned network has no measured corrections, and may have
// no redundant observation. Throws as computeAdjustment.
AdjustmentResults computeSparseCofactors(LevelingNetwork network);

}  // namespace levelnet
