// The model's domain at each of its edges: the input named, just inside and
// just outside, with the amplitude where one is given.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "case.h"
#include "domain.h"

namespace {

using quorix::Case;
using quorix::NormalisedCase;

TEST(Domain, NamesTheFirstInputOutsideEachEdge) {
  constexpr double inf = std::numeric_limits<double>::infinity(), below0 = -std::numeric_limits<double>::denorm_min();
  const Case base = NormalisedCase(2.0, 0.9, 0.1, 2.86, 0.111);
  struct Row {
    Case c;
    std::optional<double> amplitude;
    std::string input;  // "" inside the domain
  };
  auto with = [&](auto edit) {
    Case c = base;
    edit(c);
    return c;
  };
  const std::vector<Row> rows = {
      {base, 1.0, ""},
      {base, 0.0, ""},
      {base, std::nullopt, ""},
      {base, below0, "Umax/Uy"},
      {base, inf, "Umax/Uy"},
      {with([](Case& c) { c.n = 1e-300; }), 1.0, ""},
      {with([](Case& c) { c.n = 0.0; }), 1.0, "n"},
      {NormalisedCase(2.0, 0.0, 0.1, 2.86, 0.111), 1.0, ""},
      {NormalisedCase(2.0, below0, 0.1, 2.86, 0.111), 1.0, "gamma"},
      {with([](Case& c) { c.beta = 1.5; c.gamma = 0.5; }), 1.0, ""},  // β − γ = 1 exactly
      {with([](Case& c) { c.beta = 1.5; c.gamma = 0.4; }), 1.0, "beta"},
      {with([](Case& c) { c.alpha = 0.0; }), 1.0, ""},
      {with([](Case& c) { c.alpha = std::nextafter(1.0, 0.0); }), 1.0, ""},
      {with([](Case& c) { c.alpha = 1.0; }), 1.0, "alpha"},
      {with([](Case& c) { c.alpha = below0; }), 1.0, "alpha"},
      {with([](Case& c) { c.Fy = 0.0; }), 1.0, "Fy"},
      {with([](Case& c) { c.Uy = -1.0; }), 1.0, "Uy"},
      {with([](Case& c) { c.Uy = std::nan(""); }), 1.0, "Uy"},
  };
  for (const Row& row : rows) {
    const auto breach = quorix::FindDomainBreach(row.c, row.amplitude);
    EXPECT_EQ(breach ? breach->input : "", row.input)
        << row.c.n << " " << row.c.beta << " " << row.c.gamma << " " << row.c.alpha << " " << row.c.Fy << " "
        << row.c.Uy << " " << row.amplitude.value_or(-1);
  }
}

}  // namespace
