// End-to-end runs of the built quorix-cli.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "numbertext.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quorix-cli-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs quorix-cli with the arguments, standard output and error captured
  // in files.
  CliRun Cli(const std::vector<std::string>& args) {
    const std::string outPath = (dir_ / "stdout").string();
    const std::string errPath = (dir_ / "stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv{const_cast<char*>(QUORIX_CLI)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    CliRun run;
    const int error = posix_spawn(&pid, QUORIX_CLI, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return run;
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadAll(outPath);
    run.err = ReadAll(errPath);
    return run;
  }

  fs::path dir_;
};

// The number after "key": in a one-line JSON text, and where it was found.
double JsonNumber(const std::string& json, const std::string& key, std::size_t* at = nullptr) {
  const std::string marker = "\"" + key + "\": ";
  const std::size_t pos = json.find(marker);
  if (at != nullptr) *at = pos;
  if (pos == std::string::npos) return -999.0;
  double value = -999.0;
  const char* begin = json.data() + pos + marker.size();
  std::from_chars(begin, json.data() + json.size(), value);
  return value;
}

// The numbers of the array after "key": in a one-line JSON text.
std::vector<double> JsonNumbers(const std::string& json, const std::string& key) {
  std::vector<double> values;
  const std::string marker = "\"" + key + "\": [";
  std::size_t pos = json.find(marker);
  if (pos == std::string::npos) return values;
  pos += marker.size();
  const std::size_t end = json.find(']', pos);
  while (pos < end) {
    double value = 0.0;
    const auto result = std::from_chars(json.data() + pos, json.data() + end, value);
    if (result.ec != std::errc()) break;
    values.push_back(value);
    pos = static_cast<std::size_t>(result.ptr - json.data()) + 2;  // past ", "
  }
  return values;
}

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
    // The derived quantities last, against mpmath's values (tests/solver/data/make_views_reference.py).
    std::size_t derivedAt = 0;
    EXPECT_NEAR(JsonNumber(run.out, "XiEq", &derivedAt), 0.12075432259318535, 1e-8 * 0.12075432259318535);
    EXPECT_GT(derivedAt, run.out.find("\"derived\": {"));
    EXPECT_GT(run.out.find("\"derived\": {"), run.out.find("\"texts\""));
    EXPECT_NEAR(JsonNumber(run.out, "Ksec"), 22.379923050837825, 1e-8 * 22.379923050837825);
    EXPECT_NEAR(JsonNumber(run.out, "KsecOverK0"), 0.86859141910594355, 1e-8 * 0.86859141910594355);
  }
}

TEST_F(CliTest, SolveDerivedQuantitiesAreNaNAtZeroAmplitude) {
  CliRun run = Cli({"solve", "--u", "0", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"derived\": {\"XiEq\": \"nan\", \"Ksec\": \"nan\", \"KsecOverK0\": \"nan\"}}"),
            std::string::npos)
      << run.out;
  run = Cli({"solve", "--u", "0"});
  EXPECT_NE(run.out.find("      XiEq : NaN\n      Ksec : NaN\n   Ksec/K0 : NaN\n"), std::string::npos) << run.out;
}

TEST_F(CliTest, SolveTextShowsCaptionsAndValues) {
  const CliRun run = Cli({"solve", "--u", "100"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 12);
  EXPECT_NE(run.out.find("Za : 1.000000000\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Kcd* : "), std::string::npos) << run.out;
  // The derived quantities after the nine results.
  const CliRun initial = Cli({"solve"});
  EXPECT_NE(initial.out.find("        DE : 0.209212246\n      XiEq : 0.120754323\n      Ksec : 22.379923051\n"
                             "   Ksec/K0 : 0.868591419\n"),
            std::string::npos)
      << initial.out;
}

TEST_F(CliTest, LoopPrintsTheClosedPolygonAsTsvAndJson) {
  const CliRun solve = Cli({"solve", "--n", "5", "--u", "9", "--json"});
  const double fa = JsonNumber(solve.out, "Fa");
  const double de = JsonNumber(solve.out, "DE");

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

  const CliRun json = Cli({"loop", "--n", "5", "--u", "9", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  const std::vector<double> u = JsonNumbers(json.out, "u");
  const std::vector<double> f = JsonNumbers(json.out, "F");
  const std::vector<double> z = JsonNumbers(json.out, "z");
  ASSERT_EQ(u.size(), 4000u);
  ASSERT_EQ(f.size(), 4000u);
  ASSERT_EQ(z.size(), 4000u);
  EXPECT_EQ(u[2000], 0.999);
  EXPECT_EQ(f[2000], fa);
  EXPECT_EQ(JsonNumber(json.out, "DE"), de);
  EXPECT_NEAR(JsonNumber(json.out, "area"), de, 1e-5 * de);

  EXPECT_EQ(SplitLines(Cli({"loop", "--points", "3"}).out, "\n").size(), 5u);
  EXPECT_EQ(Cli({"loop", "--points", "2"}).status, 2);
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
  std::size_t crlf = 0;
  for (std::size_t pos = 0; (pos = run.out.find("\r\n", pos)) != std::string::npos; pos += 2) ++crlf;
  EXPECT_EQ(crlf, 101u);
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 101) << "every LF follows a CR";
  EXPECT_EQ(run.out.substr(run.out.size() - 2), "\r\n");
  EXPECT_NE(run.out.find("\r\n10.00\t"), std::string::npos);

  // The same bytes through -o FILE.
  const fs::path file = dir_ / "results.out";
  ASSERT_EQ(Cli({"sweep", "-o", file.string()}).status, 0);
  EXPECT_EQ(ReadAll(file), run.out);
}

TEST_F(CliTest, SweepJsonLinesHoldTheTableRowsInFull) {
  const std::vector<std::string> args = {"sweep", "--n", "3", "--from", "0", "--to", "8", "--step", "0.25"};
  const CliRun table = Cli(args);
  std::vector<std::string> jsonArgs = args;
  jsonArgs.push_back("--jsonl");
  const CliRun json = Cli(jsonArgs);
  ASSERT_EQ(table.status, 0) << table.err;
  ASSERT_EQ(json.status, 0) << json.err;
  const std::vector<std::string> rows = SplitLines(table.out, "\r\n");
  const std::vector<std::string> objects = SplitLines(json.out, "\n");
  ASSERT_EQ(objects.size(), 33u);
  ASSERT_EQ(rows.size(), objects.size() + 1) << "the table has a header";

  const std::vector<std::string> keys = {"UmaxOverUy", "Za",  "Fha",        "Fela",       "Fa",
                                         "Kcd",        "Kda", "DEOverFyUy", "DEOverFhUy", "DE"};
  for (std::size_t r = 0; r < objects.size(); ++r) {
    SCOPED_TRACE(objects[r]);
    // Each column of the table is the JSON value rounded to its decimals.
    std::vector<std::string> columns;
    std::istringstream line(rows[r + 1]);
    for (std::string column; std::getline(line, column, '\t');) columns.push_back(column);
    ASSERT_EQ(columns.size(), keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
      std::size_t at = 0;
      const double value = JsonNumber(objects[r], keys[k], &at);
      ASSERT_NE(at, std::string::npos) << keys[k];
      EXPECT_EQ(quorix::FormatFixed(value, k == 0 ? 2 : 9), columns[k]) << keys[k];
    }
    // The derived quantities close the object.
    std::size_t previous = objects[r].find("\"DE\": ");
    for (const char* key : {"\"XiEq\": ", "\"Ksec\": ", "\"KsecOverK0\": "}) {
      const std::size_t at = objects[r].find(key);
      ASSERT_NE(at, std::string::npos) << key;
      EXPECT_GT(at, previous) << key;
      previous = at;
    }
    EXPECT_EQ(objects[r].back(), '}');
  }
  // In full: the row of U = 0.25·4 = 1 holds solve's own numbers.
  const CliRun solve = Cli({"solve", "--n", "3", "--u", "1", "--json"});
  const std::size_t from = solve.out.find("\"Za\"");
  const std::string members = solve.out.substr(from, solve.out.find('}') - from);
  EXPECT_EQ(objects[4].substr(0, 20 + members.size()), "{\"UmaxOverUy\": 1, " + members + ", ") << members;

  EXPECT_EQ(Cli({"sweep", "--jsonl", "-o", (dir_ / "x").string()}).status, 2);
}

TEST_F(CliTest, SweepJsonLinesFailureKeepsCompleteLinesOnly) {
  const CliRun run = Cli({"sweep", "--jsonl", "--from", "1e308", "--to", "1.7e308", "--step", "1e308"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("row 1"), std::string::npos) << run.err;
  ASSERT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << "row 0 only";
  EXPECT_EQ(run.out.front(), '{');
  EXPECT_EQ(run.out.substr(run.out.size() - 2), "}\n");
  EXPECT_EQ(JsonNumber(run.out, "UmaxOverUy"), 1e308);
}

TEST_F(CliTest, SweepFailureBeforeTheFirstRowLeavesTheFileAlone) {
  const fs::path file = dir_ / "results.out";
  std::ofstream(file, std::ios::binary) << "previous table\r\n";
  const CliRun run = Cli({"sweep", "--step", "0", "-o", file.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("step count"), std::string::npos) << run.err;
  EXPECT_EQ(ReadAll(file), "previous table\r\n");
}

TEST_F(CliTest, SweepFailureInsideTheLoopKeepsTheRowsBeforeIt) {
  const CliRun run = Cli({"sweep", "--from", "1e308", "--to", "1.7e308", "--step", "1e308"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("row 1"), std::string::npos) << run.err;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2) << "header and row 0";
}

TEST_F(CliTest, ExitStatusOneForFailuresTwoForBadCommandLines) {
  const CliRun range = Cli({"solve", "--fy", "1e999"});
  EXPECT_EQ(range.status, 1);
  EXPECT_EQ(range.err, "quorix-cli: --fy: number beyond the range of a double: 1e999\n");
  EXPECT_EQ(Cli({"parse", "-1e309"}).status, 1);
  EXPECT_EQ(Cli({"sweep", "-o", (dir_ / "no folder" / "x").string()}).status, 1);

  EXPECT_EQ(Cli({}).status, 2);
  EXPECT_EQ(Cli({"solve", "--no-such-option"}).status, 2);
  EXPECT_EQ(Cli({"solve", "--direct", "--complementary"}).status, 2);
  EXPECT_EQ(Cli({"eval", "hyp2f1", "1", "2"}).status, 2);
  EXPECT_EQ(Cli({"format-fixed", "1", "x"}).status, 2);
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
  run = Cli({"eval", "gamma", "171.7", "--json"});
  EXPECT_EQ(JsonNumber(run.out, "status"), 0.0) << run.out;

  // Pfaff region: (1 − z)^(−a) = (1 + 1e300)^400 overflows inside the
  // evaluator's own arithmetic, which it lets escape.
  run = Cli({"eval", "hyp2f1", "-400", "1", "2", "-1e300", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"raised\": true"), std::string::npos) << run.out;
  run = Cli({"eval", "hyp2f1", "-400", "1", "2", "-1e300"});
  EXPECT_NE(run.out.find("(arithmetic fault raised)"), std::string::npos) << run.out;
}

TEST_F(CliTest, NumberTextCommands) {
  EXPECT_EQ(Cli({"parse", " 2 . 5"}).out, "2.5\n");
  EXPECT_EQ(Cli({"parse", "1e-999"}).out, "0\n");
  EXPECT_EQ(Cli({"format-fixed", "2.675", "2"}).out, "2.67\n");
  EXPECT_EQ(Cli({"format-plain", "0.00001"}).out, "1E-05\n");
}

}  // namespace

// --accurate: the exact model. For the window's initial texts (n = 2,
// w = 0.1 − 0.9 as doubles) mpmath gives Za = 0.85399046567327061688 and
// DE = 0.20921224550833950883 (the root of ½(atan(√−w·x)/√−w + atanh x) = 1
// and 2·∫₀^Za z·(1/(1 − z²) − 1/(1 − w·z²)) dz·(1 − α)·Fy·Uy).
TEST_F(CliTest, AccurateSolveGivesTheExactValuesAndRefusesOutsideTheDomain) {
  const CliRun run = Cli({"solve", "--accurate", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NEAR(JsonNumber(run.out, "Za"), 0.85399046567327061688, 4e-16);
  EXPECT_NEAR(JsonNumber(run.out, "DE"), 0.20921224550833950883, 2e-16);

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"solve", "--accurate", "--n", "-1"},
        std::vector<std::string>{"sweep", "--accurate", "--from", "1", "--to", "-1", "--step", "-1"},
        std::vector<std::string>{"eval", "hyp2f1", "1", "2", "4", "0.5", "--accurate"}}) {
    const CliRun refused = Cli(args);
    EXPECT_EQ(refused.status, 1) << args[0];
    EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
  }
  // The sweep's rows before the refused one (U = 1, 0) were written.
  const CliRun sweep = Cli({"sweep", "--accurate", "--from", "1", "--to", "-1", "--step", "-1"});
  EXPECT_EQ(std::count(sweep.out.begin(), sweep.out.end(), '\n'), 3);
  EXPECT_NE(Cli({"solve", "--accurate", "--n", "-1"}).err.find("n must be positive"), std::string::npos);
}

TEST_F(CliTest, AccurateLoopEnclosesTheAccurateEnergy) {
  const CliRun run = Cli({"loop", "--accurate", "--n", "3", "--u", "2", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  const double de = JsonNumber(run.out, "DE");
  EXPECT_NEAR(JsonNumber(run.out, "area"), de, 1e-5 * de);
}
