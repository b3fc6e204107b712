// The Windows build of Graphviz draws its layouts' random numbers from
// tools/windows/graphviz/glibc_compat.c instead of the C runtime's, and sorts
// with its qsort(): built here on Linux against glibc itself, whose rand(),
// drand48() and qsort() Debian's Graphviz uses, they must give the same
// numbers and the same order.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

extern "C" {
int levelnet_gv_rand(void);
void levelnet_gv_srand(unsigned int seed);
double levelnet_gv_drand48(void);
void levelnet_gv_srand48(long seed);
void levelnet_gv_qsort(void* base, size_t count, size_t size, int (*compare)(const void*, const void*));
}

namespace {

TEST(GlibcCompat, RandGivesGlibcsSequenceForEverySeed) {
  // Unseeded first (glibc seeds with 1), then the seeds Graphviz and
  // levelnet use (1, 123, sfdp's default), 0 (taken as 1) and seeds past
  // 2^31.
  for (int k = 0; k < 1000; ++k) ASSERT_EQ(levelnet_gv_rand(), std::rand()) << "unseeded, draw " << k;
  for (const unsigned seed : {1u, 0u, 123u, 2u, 4242u, 2147483647u, 2147483648u, 4294967295u}) {
    levelnet_gv_srand(seed);
    std::srand(seed);
    for (int k = 0; k < 5000; ++k) ASSERT_EQ(levelnet_gv_rand(), std::rand()) << "seed " << seed << ", draw " << k;
  }
  EXPECT_EQ(RAND_MAX, 2147483647);
}

TEST(GlibcCompat, Drand48GivesGlibcsSequenceForEverySeed) {
  for (const long seed : {1L, 0L, 123L, -5L, 2147483647L, 4294967297L, -4294967296L}) {
    levelnet_gv_srand48(seed);
    srand48(seed);
    for (int k = 0; k < 5000; ++k) {
      const double ours = levelnet_gv_drand48();
      const double glibc = drand48();
      ASSERT_EQ(ours, glibc) << "seed " << seed << ", draw " << k;
    }
  }
}

struct Item {
  int key;
  int order;  // where it was before the sort
  char padding[20];
};

int byKey(const void* a, const void* b) {
  const int x = static_cast<const Item*>(a)->key;
  const int y = static_cast<const Item*>(b)->key;
  return (x > y) - (x < y);
}

int byKeyInt(const void* a, const void* b) {
  const int x = *static_cast<const int*>(a) / 4;  // ties among different values
  const int y = *static_cast<const int*>(b) / 4;
  return (x > y) - (x < y);
}

TEST(GlibcCompat, QsortPutsEqualElementsInGlibcsOrder) {
  // Few distinct keys, so that most elements compare equal: the order of
  // equal ones is where sorts differ. Small arrays (sorted on the stack by
  // glibc) and large ones (on the heap), records and plain integers.
  std::mt19937 random(5);
  for (const std::size_t n : {0u, 1u, 2u, 3u, 7u, 16u, 31u, 50u, 51u, 257u, 1000u, 4099u, 20000u}) {
    std::vector<Item> items(n);
    std::vector<int> numbers(n);
    for (std::size_t i = 0; i < n; ++i) {
      items[i] = Item{static_cast<int>(random() % 7), static_cast<int>(i), {}};
      numbers[i] = static_cast<int>(random() % 64);
    }
    std::vector<Item> ours = items, glibc = items;
    // qsort takes no null array, even an empty one.
    ours.reserve(1);
    glibc.reserve(1);
    levelnet_gv_qsort(ours.data(), n, sizeof(Item), byKey);
    std::qsort(glibc.data(), n, sizeof(Item), byKey);
    for (std::size_t i = 0; i < n; ++i) {
      ASSERT_EQ(ours[i].key, glibc[i].key) << n << " " << i;
      ASSERT_EQ(ours[i].order, glibc[i].order) << n << " " << i;
    }
    std::vector<int> ourNumbers = numbers, glibcNumbers = numbers;
    ourNumbers.reserve(1);
    glibcNumbers.reserve(1);
    levelnet_gv_qsort(ourNumbers.data(), n, sizeof(int), byKeyInt);
    std::qsort(glibcNumbers.data(), n, sizeof(int), byKeyInt);
    ASSERT_EQ(ourNumbers, glibcNumbers) << n;
  }
}

}  // namespace
