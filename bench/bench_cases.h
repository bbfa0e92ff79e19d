// The case the benchmarks solve: the window's initial inputs at exponent n.
#pragma once

#include "bouc_wen_case.h"

namespace quorix::bench {

inline BoucWenCase DefaultCase(double n, bool complementary) {
  BoucWenCase bw;
  bw.Nee = n;
  bw.BetaSmall = 0.1;
  bw.GammaSmall = 0.9;
  bw.AlphaSmall = 0.10;
  bw.Fy = 2.86;
  bw.Uy = 0.111;
  bw.UmaxOverUy = 1.0;
  bw.Complementary = complementary;
  return bw;
}

}  // namespace quorix::bench
