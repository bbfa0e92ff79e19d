// A count of the evaluator's steps on the calling thread, for the fuzzing
// build's check that no input makes a computation run away.
//
// Only the loops whose number of passes depends on the data are counted:
// series and root-search iterations, and one step for each digamma series
// summed (its own length is a constant, at most 100000 terms). A harness
// resets the count, makes one call and compares the count with the bound
// that the loops' own limits give.
//
// The count exists only when QUORIX_COUNT_STEPS is defined, as the fuzzing
// build does; otherwise Count() is an empty inline function and the code is
// exactly what it was. The count never reads or changes a number, so it
// cannot alter a result either way.
#pragma once

#include <cstdint>

namespace quorix::steps {

#ifdef QUORIX_COUNT_STEPS
inline thread_local std::uint64_t tTaken = 0;
inline void Count() { ++tTaken; }
inline void Reset() { tTaken = 0; }
inline std::uint64_t Taken() { return tTaken; }
inline constexpr bool kCounted = true;
#else
inline void Count() {}
inline void Reset() {}
inline std::uint64_t Taken() { return 0; }
inline constexpr bool kCounted = false;
#endif

}  // namespace quorix::steps
