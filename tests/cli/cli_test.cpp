// End-to-end runs of the built quorix-cli.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli_process.h"
#include "numbertext.h"

namespace {

using namespace quorix::testing;
using Args = std::vector<std::string>;

std::size_t Count(const std::string& text, char c) { return static_cast<std::size_t>(std::ranges::count(text, c)); }

class CliTest : public TempFolderTest {
 protected:
  // Runs quorix-cli with the arguments (none holds a quote).
  CliRun Cli(const Args& args) {
    std::string arguments;
    for (const std::string& arg : args) arguments += " '" + arg + "'";
    return RunCommand(QUORIX_CLI, arguments);
  }
};

std::string ShortestOf(double value) {
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::vector<std::string> SplitLines(const std::string& text, const std::string& end) {
  std::vector<std::string> lines;
  for (std::size_t pos = 0, next; (next = text.find(end, pos)) != std::string::npos; pos = next + end.size()) {
    lines.push_back(text.substr(pos, next - pos));
  }
  return lines;
}

TEST_F(CliTest, SolveJsonHoldsTheNineResultsInOrder) {
  struct Mode {
    const char* flag;
    double kcd, kda;
  };
  for (const Mode& mode : {Mode{"--direct", -0.287250, 0.653372}, Mode{"--complementary", 1.016538, 0.617340}}) {
    SCOPED_TRACE(mode.flag);
    const CliRun run = Cli({"solve", "--json", mode.flag});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string results = run.out.substr(0, run.out.find("\"texts\""));
    const std::vector<std::pair<std::string, double>> expected = {
        {"Za", 0.853990},  {"Fha", 2.198171},        {"Fela", 0.286000},       {"Fa", 2.484171}, {"Kcd", mode.kcd},
        {"Kda", mode.kda}, {"DEOverFyUy", 0.659019}, {"DEOverFhUy", 0.732244}, {"DE", 0.209212}};
    std::size_t previous = 0;
    for (const auto& [key, value] : expected) {
      std::size_t at = 0;
      EXPECT_NEAR(JsonNumber(results, key, &at), value, 5e-7) << key;
      EXPECT_GT(at, previous) << key << " out of order";
      previous = at;
    }
    EXPECT_NE(run.out.find("\"texts\": {\"Za\": \"0.853990"), std::string::npos) << run.out;
    // The derived quantities after the texts, against mpmath's values (tests/solver/data/make_views_reference.py).
    const std::size_t derivedAt = run.out.find("\"derived\": {", run.out.find("\"texts\""));
    ASSERT_NE(derivedAt, std::string::npos) << run.out;
    const std::string derived = run.out.substr(derivedAt);
    EXPECT_NEAR(JsonNumber(derived, "XiEq"), 0.12075432259318535, 1e-8 * 0.12075432259318535);
    EXPECT_NEAR(JsonNumber(derived, "Ksec"), 22.379923050837825, 1e-8 * 22.379923050837825);
    EXPECT_NEAR(JsonNumber(derived, "KsecOverK0"), 0.86859141910594355, 1e-8 * 0.86859141910594355);
  }
}

TEST_F(CliTest, SolveTextShowsCaptionsAndValuesAndNaNWithoutACycle) {
  CliRun run = Cli({"solve", "--u", "100"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Count(run.out, '\n'), 12u);
  EXPECT_NE(run.out.find("Za : 1.000000000\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Kcd* : "), std::string::npos) << run.out;
  // The derived quantities after the nine results.
  run = Cli({"solve"});
  EXPECT_NE(run.out.find("        DE : 0.209212246\n      XiEq : 0.120754323\n      Ksec : 22.379923051\n"
                         "   Ksec/K0 : 0.868591419\n"),
            std::string::npos)
      << run.out;
  run = Cli({"solve", "--u", "0"});
  EXPECT_NE(run.out.find("      XiEq : NaN\n      Ksec : NaN\n   Ksec/K0 : NaN\n"), std::string::npos) << run.out;
  run = Cli({"solve", "--u", "0", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"derived\": {\"XiEq\": \"nan\", \"Ksec\": \"nan\", \"KsecOverK0\": \"nan\"}}"),
            std::string::npos)
      << run.out;
}

TEST_F(CliTest, LoopPrintsTheClosedPolygonAsTsvAndJson) {
  const CliRun solve = Cli({"solve", "--n", "5", "--u", "9", "--json"});
  const double fa = JsonNumber(solve.out, "Fa"), de = JsonNumber(solve.out, "DE");

  const CliRun tsv = Cli({"loop", "--n", "5", "--u", "9"});
  ASSERT_EQ(tsv.status, 0) << tsv.err;
  EXPECT_EQ(tsv.out.find('\r'), std::string::npos) << "LF line ends";
  const std::vector<std::string> lines = SplitLines(tsv.out, "\n");
  ASSERT_EQ(lines.size(), 1u + 2 * 2001 - 2);
  EXPECT_EQ(lines[0], "u\tF\tz");
  // Loading starts at (−Umax, −Fa) and reaches (Umax, Fa) on row 2001; the
  // first point is not repeated at the end. Umax = 9·0.111, Za = 1.
  EXPECT_EQ(lines[1], "-0.999\t" + ShortestOf(-fa) + "\t-1");
  EXPECT_EQ(lines[2001], "0.999\t" + ShortestOf(fa) + "\t1");

  // The JSON holds the same numbers, column by column, then DE and the enclosed area.
  std::string columns[3];
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> fields = SplitLines(lines[i] + "\t", "\t");
    for (std::size_t c = 0; c < 3; ++c) columns[c] += (i > 1 ? ", " : "") + fields[c];
  }
  const CliRun json = Cli({"loop", "--n", "5", "--u", "9", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_TRUE(json.out.starts_with("{\"u\": [" + columns[0] + "], \"F\": [" + columns[1] + "], \"z\": [" + columns[2] +
                                   "], \"DE\": "));
  EXPECT_EQ(JsonNumber(json.out, "DE"), de);
  EXPECT_NEAR(JsonNumber(json.out, "area"), de, 1e-5 * de);

  EXPECT_EQ(SplitLines(Cli({"loop", "--points", "3"}).out, "\n").size(), 5u);
  // No cycle at U = 0: the header only, exit status 0.
  const CliRun none = Cli({"loop", "--u", "0"});
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.out, "u\tF\tz\n");
}

TEST_F(CliTest, SweepWritesTheResultsTableBytes) {
  const CliRun run = Cli({"sweep"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string header = "Umax/Uy\tZa\tFha\tFela\tFa\tKcd\tKda\tDE/ Fy /Uy\tDE /Fh /Uy\tDE\r\n";
  EXPECT_EQ(run.out.substr(0, header.size() + 5), header + "0.10\t");
  EXPECT_EQ(SplitLines(run.out, "\r\n").size(), 101u);
  EXPECT_EQ(Count(run.out, '\n'), 101u) << "every LF follows a CR";
  EXPECT_EQ(run.out.substr(run.out.size() - 2), "\r\n");
  EXPECT_NE(run.out.find("\r\n10.00\t"), std::string::npos);
  // The same bytes through -o FILE.
  const fs::path file = dir_ / "results.out";
  ASSERT_EQ(Cli({"sweep", "-o", file.string()}).status, 0);
  EXPECT_EQ(ReadAll(file), run.out);
}

TEST_F(CliTest, SweepJsonLinesHoldTheTableRowsInFull) {
  Args args = {"sweep", "--n", "3", "--from", "0", "--to", "8", "--step", "0.25"};
  const CliRun table = Cli(args);
  args.push_back("--jsonl");
  const CliRun json = Cli(args);
  ASSERT_EQ(table.status, 0) << table.err;
  ASSERT_EQ(json.status, 0) << json.err;
  const std::vector<std::string> rows = SplitLines(table.out, "\r\n"), objects = SplitLines(json.out, "\n");
  ASSERT_EQ(objects.size(), 33u);
  ASSERT_EQ(rows.size(), objects.size() + 1) << "the table has a header";

  const Args keys = {"UmaxOverUy", "Za", "Fha", "Fela", "Fa", "Kcd", "Kda", "DEOverFyUy", "DEOverFhUy", "DE"};
  for (std::size_t r = 0; r < objects.size(); ++r) {
    SCOPED_TRACE(objects[r]);
    // Each column of the table is the JSON value rounded to its decimals.
    const std::vector<std::string> columns = SplitLines(rows[r + 1] + "\t", "\t");
    ASSERT_EQ(columns.size(), keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
      std::size_t at = 0;
      const double value = JsonNumber(objects[r], keys[k], &at);
      ASSERT_NE(at, std::string::npos) << keys[k];
      EXPECT_EQ(quorix::FormatFixed(value, k == 0 ? 2 : 9), columns[k]) << keys[k];
    }
    // The derived quantities close the object.
    const std::size_t xi = objects[r].find("\"XiEq\": "), ksec = objects[r].find("\"Ksec\": "),
                      ratio = objects[r].find("\"KsecOverK0\": ");
    EXPECT_TRUE(objects[r].find("\"DE\": ") < xi && xi < ksec && ksec < ratio && ratio != std::string::npos);
    EXPECT_EQ(objects[r].back(), '}');
  }
  // In full: the row of U = 0.25·4 = 1 holds solve's own numbers.
  const CliRun solve = Cli({"solve", "--n", "3", "--u", "1", "--json"});
  const std::size_t from = solve.out.find("\"Za\"");
  const std::string members = solve.out.substr(from, solve.out.find('}') - from);
  EXPECT_EQ(objects[4].substr(0, 20 + members.size()), "{\"UmaxOverUy\": 1, " + members + ", ") << members;
}

// Row 1 (U = 2e308) overflows: the rows before it are kept, complete, in
// the table (after its header) and in the JSON lines alike.
TEST_F(CliTest, SweepFailureInsideTheLoopKeepsTheRowsBeforeIt) {
  Args args = {"sweep", "--from", "1e308", "--to", "1.7e308", "--step", "1e308"};
  for (const std::size_t lines : {2u, 1u}) {
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("row 1"), std::string::npos) << run.err;
    ASSERT_EQ(Count(run.out, '\n'), lines) << "(header and) row 0";
    args.push_back("--jsonl");
    if (lines == 1u) {
      EXPECT_EQ(run.out.front(), '{');
      EXPECT_EQ(run.out.substr(run.out.size() - 2), "}\n");
      EXPECT_EQ(JsonNumber(run.out, "UmaxOverUy"), 1e308);
    }
  }
}

TEST_F(CliTest, SweepFailureBeforeTheFirstRowLeavesTheFileAlone) {
  const fs::path file = dir_ / "results.out";
  std::ofstream(file, std::ios::binary) << "previous table\r\n";
  const CliRun run = Cli({"sweep", "--step", "0", "-o", file.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("step count"), std::string::npos) << run.err;
  EXPECT_EQ(ReadAll(file), "previous table\r\n");
}

TEST_F(CliTest, ExitStatusOneForFailuresTwoForBadCommandLines) {
  const CliRun range = Cli({"solve", "--fy", "1e999"});
  EXPECT_EQ(range.status, 1);
  EXPECT_EQ(range.err, "quorix-cli: --fy: number beyond the range of a double: 1e999\n");
  const std::pair<Args, int> cases[] = {{{"parse", "-1e309"}, 1},
                                        {{"sweep", "-o", (dir_ / "no folder" / "x").string()}, 1},
                                        {{}, 2},
                                        {{"solve", "--no-such-option"}, 2},
                                        {{"solve", "--direct", "--complementary"}, 2},
                                        {{"eval", "hyp2f1", "1", "2"}, 2},
                                        {{"format-fixed", "1", "x"}, 2},
                                        {{"loop", "--points", "2"}, 2},
                                        {{"sweep", "--jsonl", "-o", (dir_ / "x").string()}, 2}};
  for (const auto& [args, status] : cases) {
    EXPECT_EQ(Cli(args).status, status) << (args.empty() ? "(none)" : args[0] + " " + args.back());
  }
  const CliRun help = Cli({"sweep", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--step"), std::string::npos);
}

TEST_F(CliTest, EvalReportsValueStatusAndEscapedFaults) {
  // Γ(−2.5) = −8√π/15, read through a negative positional.
  CliRun run = Cli({"eval", "gamma", "-2.5", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NEAR(JsonNumber(run.out, "value"), -0.94530872048294188, 1e-13);
  EXPECT_EQ(JsonNumber(run.out, "status"), 1.0);
  EXPECT_NE(run.out.find("\"raised\": false"), std::string::npos);
  // Γ(171.7) is beyond the double range: status 0.
  EXPECT_EQ(JsonNumber(Cli({"eval", "gamma", "171.7", "--json"}).out, "status"), 0.0);
  // Pfaff region: (1 − z)^(−a) = (1 + 1e300)^400 overflows inside the
  // evaluator's own arithmetic, which it lets escape.
  run = Cli({"eval", "hyp2f1", "-400", "1", "2", "-1e300", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"raised\": true"), std::string::npos) << run.out;
  run = Cli({"eval", "hyp2f1", "-400", "1", "2", "-1e300"});
  EXPECT_NE(run.out.find("(arithmetic fault raised)"), std::string::npos) << run.out;
}

// Number texts as positionals and option values, also those that begin
// with "-." and would otherwise be read as an option name.
TEST_F(CliTest, NumberTextCommands) {
  const std::pair<Args, std::string> cases[] = {
      {{"parse", " 2 . 5"}, "2.5\n"},
      {{"parse", "-.5"}, "-0.5\n"},
      {{"parse", "-.5e3"}, "-500\n"},
      {{"format-fixed", "2.675", "2"}, "2.67\n"},
      {{"format-fixed", "-.25", "2"}, "-0.25\n"},
      {{"format-plain", "0.00001"}, "1E-05\n"},
      {{"format-plain", "-.5"}, "-.5\n"},
  };
  for (const auto& [args, out] : cases) {
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 0) << args[1] << ": " << run.err;
    EXPECT_EQ(run.out, out) << args[1];
  }
  // Γ(−½) = −2√π.
  EXPECT_NEAR(JsonNumber(Cli({"eval", "gamma", "-.5", "--json"}).out, "value"), -3.5449077018110320546, 1e-12);
  EXPECT_EQ(Cli({"solve", "--gamma", "-.5"}).out, Cli({"solve", "--gamma", "-0.5"}).out);
  // Not numbers: still options, and unknown ones.
  for (const char* text : {"-.", "-.e5", "-inf"}) EXPECT_EQ(Cli({"parse", text}).status, 2) << text;
}

// --accurate: the exact model. For the window's initial texts (n = 2,
// w = 0.1 − 0.9 as doubles) mpmath gives Za = 0.85399046567327061688 and
// DE = 0.20921224550833950883 (the root of ½(atan(√−w·x)/√−w + atanh x) = 1
// and 2·∫₀^Za z·(1/(1 − z²) − 1/(1 − w·z²)) dz·(1 − α)·Fy·Uy).
TEST_F(CliTest, AccurateSolveGivesTheExactValuesAndRefusesOutsideTheDomain) {
  const CliRun run = Cli({"solve", "--accurate", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NEAR(JsonNumber(run.out, "Za"), 0.85399046567327061688, 4e-16);
  EXPECT_NEAR(JsonNumber(run.out, "DE"), 0.20921224550833950883, 2e-16);

  // Refused with one line; the sweep's rows before the refused one (U = 1, 0) were written.
  for (const auto& [args, lines] :
       {std::pair<Args, std::size_t>{{"solve", "--accurate", "--n", "-1"}, 0},
        {{"sweep", "--accurate", "--from", "1", "--to", "-1", "--step", "-1"}, 3},
        {{"eval", "hyp2f1", "1", "2", "4", "0.5", "--accurate"}, 0}}) {
    const CliRun refused = Cli(args);
    EXPECT_EQ(refused.status, 1) << args[0];
    EXPECT_EQ(Count(refused.err, '\n'), 1u) << refused.err;
    EXPECT_EQ(Count(refused.out, '\n'), lines) << refused.out;
    EXPECT_TRUE(args[0] != "solve" || refused.err.find("n must be positive") != std::string::npos) << refused.err;
  }
}

TEST_F(CliTest, AccurateLoopEnclosesTheAccurateEnergy) {
  const CliRun run = Cli({"loop", "--accurate", "--n", "3", "--u", "2", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  const double de = JsonNumber(run.out, "DE");
  EXPECT_NEAR(JsonNumber(run.out, "area"), de, 1e-5 * de);
}

}  // namespace
