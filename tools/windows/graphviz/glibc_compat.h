/* Included before every source file of the Windows build of Graphviz
 * (-include): the C library's random numbers and qsort() in the layouts
 * become the ones of GNU libc, so that a layout drawn on Windows has the
 * coordinates the Linux build (Debian's Graphviz on glibc) gives.
 *   rand()/srand()/RAND_MAX: glibc's additive feedback generator (TYPE_3)
 *     with RAND_MAX 2^31 - 1; Microsoft's C runtime has a linear
 *     congruential one with RAND_MAX 32767 (sfdp, sparse, fdp, label).
 *   drand48()/srand48(): the 48-bit congruential generator (neato);
 *     Microsoft's runtime has none.
 *   qsort(): glibc sorts with a stable merge sort, Microsoft's runtime with
 *     a quicksort, so elements that compare equal came out in another
 *     order. */
#ifndef LEVELNET_GLIBC_COMPAT_H
#define LEVELNET_GLIBC_COMPAT_H

#include <stddef.h>
#include <stdlib.h>

#ifdef __cplusplus
extern "C" {
#endif
int levelnet_gv_rand(void);
void levelnet_gv_srand(unsigned int seed);
double levelnet_gv_drand48(void);
void levelnet_gv_srand48(long seed);
void levelnet_gv_qsort(void* base, size_t count, size_t size, int (*compare)(const void*, const void*));
#ifdef __cplusplus
}
#endif

#undef RAND_MAX
#define RAND_MAX 2147483647
#define rand levelnet_gv_rand
#define srand levelnet_gv_srand
#define drand48 levelnet_gv_drand48
#define srand48 levelnet_gv_srand48
#define qsort levelnet_gv_qsort
#define HAVE_DRAND48 1
#define HAVE_SRAND48 1

#endif
