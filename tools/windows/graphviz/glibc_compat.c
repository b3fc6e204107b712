/* The random numbers and the sort of GNU libc, for the Windows build of
 * Graphviz (see glibc_compat.h): the same sequences from the same seeds,
 * the same order of equal elements. */
#include <stdint.h>
#include <string.h>

#include "glibc_compat.h"

/* rand(): glibc's TYPE_3 generator, 31 words of state, the feedback word
 * 3 places ahead; srand(seed) fills the state with the Park-Miller
 * sequence from the seed and throws the first 310 results away. Without
 * srand() it is seeded with 1, as glibc's. */
enum { kDegree = 31, kSeparation = 3 };
static int32_t state[kDegree];
static int front, rear; /* glibc's fptr and rptr, as indices */
static int seeded;

static int32_t next_random(void) {
  const uint32_t value = (uint32_t)state[front] + (uint32_t)state[rear];
  state[front] = (int32_t)value;
  if (++front >= kDegree) {
    front = 0;
    ++rear;
  } else if (++rear >= kDegree) {
    rear = 0;
  }
  return (int32_t)(value >> 1);
}

void levelnet_gv_srand(unsigned int seed) {
  if (seed == 0) seed = 1;
  state[0] = (int32_t)seed;
  int32_t word = (int32_t)seed;
  for (int i = 1; i < kDegree; ++i) {
    const int32_t hi = word / 127773;
    const int32_t lo = word % 127773;
    word = 16807 * lo - 2836 * hi;
    if (word < 0) word += 2147483647;
    state[i] = word;
  }
  front = kSeparation;
  rear = 0;
  for (int i = 0; i < 10 * kDegree; ++i) (void)next_random();
  seeded = 1;
}

int levelnet_gv_rand(void) {
  if (!seeded) levelnet_gv_srand(1);
  return next_random();
}

/* drand48(): x = (0x5DEECE66D x + 0xB) mod 2^48, the result x / 2^48
 * (exact: 48 bits fit a double); srand48(seed) sets x to the low 32 bits
 * of the seed above 0x330E. Unseeded, x starts at 0 as in glibc. */
static uint64_t x48;

double levelnet_gv_drand48(void) {
  x48 = (x48 * UINT64_C(0x5DEECE66D) + 0xB) & ((UINT64_C(1) << 48) - 1);
  return (double)x48 * 0x1p-48;
}

void levelnet_gv_srand48(long seed) { x48 = ((uint64_t)(uint32_t)seed << 16) | 0x330E; }

/* qsort(): glibc's merge sort (msort_with_tmp): the first half of n is n/2
 * elements, both halves sorted, then merged taking from the first half
 * while its element is not greater. Stable, so the result depends only on
 * the comparison. */
static void merge_sort(char* base, size_t count, size_t size, int (*compare)(const void*, const void*), char* tmp) {
  if (count <= 1) return;
  const size_t n1 = count / 2;
  const size_t n2 = count - n1;
  char* b1 = base;
  char* b2 = base + n1 * size;
  merge_sort(b1, n1, size, compare, tmp);
  merge_sort(b2, n2, size, compare, tmp);
  size_t left = n1, right = n2;
  char* out = tmp;
  while (left > 0 && right > 0) {
    if (compare(b1, b2) <= 0) {
      memcpy(out, b1, size);
      b1 += size;
      --left;
    } else {
      memcpy(out, b2, size);
      b2 += size;
      --right;
    }
    out += size;
  }
  if (left > 0) memcpy(out, b1, left * size);
  memcpy(base, tmp, (count - right) * size);
}

void levelnet_gv_qsort(void* base, size_t count, size_t size, int (*compare)(const void*, const void*)) {
  if (count <= 1 || size == 0) return;
  char small[1024];
  char* tmp = count * size <= sizeof small ? small : malloc(count * size);
  if (tmp == NULL) {
    /* No memory for the merge: an insertion sort in place, as stable. */
    char* base_bytes = base;
    char item[256];
    for (size_t i = 1; i < count; ++i) {
      for (size_t j = i; j > 0 && compare(base_bytes + (j - 1) * size, base_bytes + j * size) > 0; --j) {
        char* a = base_bytes + (j - 1) * size;
        char* b = base_bytes + j * size;
        for (size_t k = 0; k < size; k += sizeof item) {
          const size_t part = size - k < sizeof item ? size - k : sizeof item;
          memcpy(item, a + k, part);
          memcpy(a + k, b + k, part);
          memcpy(b + k, item, part);
        }
      }
    }
    return;
  }
  merge_sort(base, count, size, compare, tmp);
  if (tmp != small) free(tmp);
}
