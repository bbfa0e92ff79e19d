/* A double's two 32-bit halves, read and written through its bit pattern (memcpy, which the
   compiler turns into register moves). */
#ifndef QUORIX_LIBM_MATH_PRIVATE_H
#define QUORIX_LIBM_MATH_PRIVATE_H
#include <stdint.h>
#include <string.h>
#include "endian.h"
static inline uint64_t quorix_bits_of(double d) {
  uint64_t u;
  memcpy(&u, &d, sizeof u);
  return u;
}
static inline double quorix_double_of(uint64_t u) {
  double d;
  memcpy(&d, &u, sizeof d);
  return d;
}
#define EXTRACT_WORDS(hi, lo, d) \
  do { uint64_t w_ = quorix_bits_of(d); (hi) = (int32_t)(w_ >> 32); (lo) = (uint32_t)w_; } while (0)
#define GET_HIGH_WORD(hi, d) do { (hi) = (int32_t)(quorix_bits_of(d) >> 32); } while (0)
#define GET_LOW_WORD(lo, d) do { (lo) = (uint32_t)quorix_bits_of(d); } while (0)
#define EXTRACT_WORDS64(i, d) do { (i) = (int64_t)quorix_bits_of(d); } while (0)
#define INSERT_WORDS(d, hi, lo) \
  do { (d) = quorix_double_of(((uint64_t)(uint32_t)(hi) << 32) | (uint32_t)(lo)); } while (0)
#define INSERT_WORDS64(d, i) do { (d) = quorix_double_of((uint64_t)(i)); } while (0)
#define SET_HIGH_WORD(d, hi) \
  do { (d) = quorix_double_of(((uint64_t)(uint32_t)(hi) << 32) | (uint32_t)quorix_bits_of(d)); } while (0)
#define SET_LOW_WORD(d, lo) \
  do { (d) = quorix_double_of((quorix_bits_of(d) & 0xffffffff00000000ull) | (uint32_t)(lo)); } while (0)
#endif
