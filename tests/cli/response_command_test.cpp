// quorix-cli response end to end: the same numbers as the library's response, and refusals that write nothing
// (the refusals' texts are tests/response's).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_process.h"
#include "decimal.h"
#include "response.h"

namespace {

using namespace quorix::testing;
using quorix::decimal::ShortestText;

using ResponseCommand = TempFolderTest;

double Number(const std::string& text) {
  double v = 0.0;
  quorix::decimal::ReadDouble(text, v);
  return v;
}

// Each row u, F, z, F_measured as the library's response gives them, to the bit; of one column, no F_measured.
TEST_F(ResponseCommand, RowsAreTheLibrarysResponse) {
  const std::vector<double> u{0.0, 0.05, 0.12, 0.2, 0.2, 0.07, -0.15, -0.3, -0.1, 0.25};
  std::string twoColumns = "u;F\n", oneColumn;
  for (std::size_t k = 0; k < u.size(); ++k) {
    twoColumns += ShortestText(u[k]) + ";" + std::to_string(10 * k) + "\n";
    oneColumn += ShortestText(u[k]) + "\n";
  }
  Write("record.csv", twoColumns);
  Write("history.txt", oneColumn);
  const Args options{"--n", "3", "--gamma", "0.6", "--alpha", "0.05", "--fy", "2", "--uy", "0.1", "--z0", "-0.2"};
  Args args{"response", "record.csv"};
  args.insert(args.end(), options.begin(), options.end());
  const CliRun file = Cli(args);
  ASSERT_EQ(file.status, 0) << file.err;
  const quorix::response::History h =
      quorix::response::RespondAlong(u, quorix::NormalisedCase(3.0, 0.6, 0.05, 2.0, 0.1), -0.2);
  const std::vector<std::string> rows = Split(file.out, "\n");
  ASSERT_EQ(rows.size(), u.size() + 1);
  EXPECT_EQ(rows[0], "u\tF\tz\tF_measured");
  for (std::size_t k = 0; k < u.size(); ++k) {
    const std::vector<std::string> cells = Split(rows[k + 1] + "\t", "\t");
    ASSERT_EQ(cells.size(), 4u) << rows[k + 1];
    EXPECT_EQ(std::tuple(Number(cells[1]), Number(cells[2]), Number(cells[3])),
              std::tuple(h.F[k], h.z[k], 10.0 * static_cast<double>(k))) << k;
  }
  args[1] = "history.txt";
  EXPECT_EQ(Split(Cli(args).out, "\n").at(0), "u\tF\tz");
  // The stretches: 0.2 (twice) is the first reversal, −0.3 the second.
  args[1] = "record.csv";
  args.push_back("--stretches");
  const std::vector<std::string> table = Split(Cli(args).out, "\n");
  ASSERT_EQ(table.size(), 4u);
  EXPECT_EQ(std::tuple(table[1].substr(0, 6), table[2].substr(0, 6), table[3].substr(0, 7)),
            std::tuple("1\t1\t5\t", "2\t5\t8\t", "3\t8\t10\t"));
  args.back() = "--json";
  const std::string object = Cli(args).out;
  const std::string total = object.substr(object.rfind("\"work\": "));  // after the stretches' "work"
  EXPECT_NEAR(JsonNumber(total, "work"), h.stretches[0].work + h.stretches[1].work + h.stretches[2].work, 1e-15);
}

TEST_F(ResponseCommand, RefusesWhatItCannotAnswerAndWritesNothing) {
  const struct {
    const char* text;
    Args extra;
    const char* message;
  } cases[] = {
      {"0\n1\n", {"--gamma", "-0.5"}, "gamma must not be negative"},
      {"0\ninf\n", {}, "line 2: the displacement \"inf\" is not a finite number"},
  };
  for (const auto& c : cases) {
    Write("h.txt", c.text);
    Args args{"response", "h.txt"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const CliRun run = Cli(args);
    EXPECT_EQ(std::tuple(run.status, Has(run.err, c.message), run.out), std::tuple(1, true, std::string())) << run.err;
  }
  EXPECT_EQ(Cli({"response", "h.txt", "--n", "two"}).status, 2);
}

}  // namespace
