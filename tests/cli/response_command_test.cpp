// quorix-cli response end to end: the same numbers as the library's
// response, from a file or standard input, and refusals that write nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_process.h"
#include "decimal.h"
#include "response.h"

namespace {

using namespace quorix::testing;

using ResponseCommand = TempFolderTest;

double Number(const std::string& text) {
  double v = 0.0;
  quorix::decimal::ReadDouble(text, v);
  return v;
}

const std::vector<double> kU{0.0, 0.05, 0.12, 0.2, 0.2, 0.07, -0.15, -0.3, -0.1, 0.25};

// Each row u, F, z, F_measured as the library's response gives them, to the
// bit, whether the history comes from a file or from standard input.
TEST_F(ResponseCommand, RowsAreTheLibrarysResponse) {
  std::string twoColumns = "u;F\n", oneColumn;
  for (std::size_t k = 0; k < kU.size(); ++k) {
    twoColumns += std::to_string(kU[k]) + ";" + std::to_string(10.0 * k) + "\n";
    oneColumn += std::to_string(kU[k]) + "\n";
  }
  Write("record.csv", twoColumns);
  const quorix::Case p = quorix::NormalisedCase(3.0, 0.6, 0.05, 2.0, 0.1);
  const Args options{"--n", "3", "--gamma", "0.6", "--alpha", "0.05", "--fy", "2", "--uy", "0.1", "--z0", "-0.2"};
  Args fromFile{"response", "record.csv"}, fromInput{"response", "-"};
  fromFile.insert(fromFile.end(), options.begin(), options.end());
  fromInput.insert(fromInput.end(), options.begin(), options.end());
  const CliRun file = Cli(fromFile);
  Write("in", oneColumn);
  const CliRun fed = Cli(fromInput, "in");
  ASSERT_EQ(file.status, 0) << file.err;
  ASSERT_EQ(fed.status, 0) << fed.err;
  std::vector<double> u;
  for (std::size_t k = 0; k < kU.size(); ++k) u.push_back(Number(std::to_string(kU[k])));
  const quorix::response::History h = quorix::response::RespondAlong(u, p, -0.2);
  const std::vector<std::string> rows = Split(file.out, "\n"), fedRows = Split(fed.out, "\n");
  ASSERT_EQ(rows.size(), u.size() + 1);
  ASSERT_EQ(fedRows.size(), u.size() + 1);
  EXPECT_EQ(rows[0], "u\tF\tz\tF_measured");
  EXPECT_EQ(fedRows[0], "u\tF\tz");
  for (std::size_t k = 0; k < u.size(); ++k) {
    const std::vector<std::string> cells = Split(rows[k + 1] + "\t", "\t");
    ASSERT_EQ(cells.size(), 4u) << rows[k + 1];
    EXPECT_EQ(Number(cells[1]), h.F[k]) << k;
    EXPECT_EQ(Number(cells[2]), h.z[k]) << k;
    EXPECT_EQ(Number(cells[3]), 10.0 * static_cast<double>(k)) << k;
    EXPECT_EQ(fedRows[k + 1], rows[k + 1].substr(0, rows[k + 1].rfind('\t'))) << k;
  }
  // The stretches: 0.2 (twice) is the first reversal, −0.3 the second.
  Args stretches = fromFile;
  stretches.push_back("--stretches");
  const std::vector<std::string> table = Split(Cli(stretches).out, "\n");
  ASSERT_EQ(table.size(), 4u);
  EXPECT_EQ(table[1].substr(0, 6), "1\t1\t5\t");
  EXPECT_EQ(table[2].substr(0, 6), "2\t5\t8\t");
  EXPECT_EQ(table[3].substr(0, 7), "3\t8\t10\t");
  Args json = fromFile;
  json.push_back("--json");
  const std::string object = Cli(json).out;
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
      {"0\n1\n", {"--uy", "0"}, "Uy must be positive: 0"},
      {"0\n", {}, "at least two samples, not 1"},
      {"2\n2\n2\n", {}, "the displacement never moves: every sample is 2"},
      {"0\ninf\n", {}, "line 2: the displacement \"inf\" is not a finite number"},
      {"0;1\n1\n", {}, "line 2: one column"},
  };
  for (const auto& c : cases) {
    Write("h.txt", c.text);
    Args args{"response", "h.txt"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 1) << c.message;
    EXPECT_TRUE(Has(run.err, c.message)) << run.err;
    EXPECT_EQ(run.out, "") << c.message;
  }
  EXPECT_EQ(Cli({"response", "h.txt", "--n", "two"}).status, 2);
}

}  // namespace
