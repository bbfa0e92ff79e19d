// End-to-end runs of the built quorix-cli (material_options_test.cpp holds the case given as the analysis
// programs write it).
#include <algorithm>
#include <cstdio>
#include <numbers>
#include <sstream>

#include "synthetic.h"
#include "cli_process.h"
#include "decimal.h"
#include "numbertext.h"
#include "response.h"

namespace {

using namespace quorix::testing;
using CliTest = TempFolderTest;
using quorix::decimal::ShortestText;

// `text` from the first `key` on; "" without one.
std::string From(const std::string& text, const std::string& key) {
  const std::size_t at = text.find(key);
  return at == std::string::npos ? "" : text.substr(at);
}

TEST_F(CliTest, SolveJsonHoldsTheResultsInOrderThenTextsAndDerived) {
  for (const auto& [flag, kcd] : {std::pair{"--direct", -0.287250}, std::pair{"--complementary", 1.016538}}) {
    const CliRun run = Cli({"solve", "--json", flag});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Missing(run.out, Args{"Za", "Fha", "Fela", "Fa", "Kcd", "Kda", "DEOverFyUy", "DEOverFhUy", "DE", "texts",
                                    "derived", "XiEq", "Ksec", "KsecOverK0"}), "") << run.out;
    EXPECT_NEAR(JsonNumber(run.out, "Kcd"), kcd, 5e-7) << flag;
    EXPECT_NEAR(JsonNumber(run.out, "DE"), 0.209212, 5e-7) << flag;
    // mpmath's (tests/solver/data/make_views_reference.py).
    EXPECT_NEAR(JsonNumber(From(run.out, "\"derived\": {"), "Ksec"), 22.379923050837825, 1e-7) << flag;
  }
  // The exact model (mpmath): for n = 2, w = 0.1 − 0.9, Za solves ½(atan(√−w·x)/√−w + atanh x) = 1.
  const CliRun accurate = Cli({"solve", "--accurate", "--json"});
  EXPECT_NEAR(JsonNumber(accurate.out, "Za"), 0.85399046567327061688, 4e-16) << accurate.err;
  EXPECT_NEAR(JsonNumber(accurate.out, "DE"), 0.20921224550833950883, 2e-16);
}

// Where the arithmetic loses its digits: one warning naming the results with their exact values, and the
// JSON's flags. Of a nearly elastic loop the exact XiEq ≈ (1 − w)(1 − α)·xⁿ/((n + 2)π).
TEST_F(CliTest, ResultsOffTheExactValuesAreFlagged) {
  EXPECT_TRUE(Has(Cli({"solve", "--json"}).out, "\"flagged\": [], \"check_bound\": 1e-04, \"exact\": {\"Za\": 0.85399"));
  EXPECT_FALSE(Has(Cli({"solve", "--json", "--accurate"}).out, "flagged"));
  const CliRun small = Cli({"solve", "--n", "1", "--gamma", "0.1", "--u", "1e-6", "--json"});
  EXPECT_EQ(small.status, 0);
  EXPECT_TRUE(Has(small.err, "quorix-cli: warning: 4 of the 12 results lie more than 1e-4 (relative)")) << small.err;
  EXPECT_TRUE(Has(small.err, "XiEq -0.206818314 (exactly 1.90986e-08); --accurate computes")) << small.err;
  EXPECT_TRUE(Has(small.out, "\"flagged\": [\"DEOverFyUy\", \"DEOverFhUy\", \"DE\", \"XiEq\"]")) << small.out;
  EXPECT_NEAR(JsonNumber(From(small.out, "\"exact\": {"), "XiEq"), 0.18e-6 / (3 * std::numbers::pi), 2e-12);
  // A sweep warns once, with the count of its rows and the worst; each JSON line flags its own.
  Args sweep = {"sweep", "--n", "3", "--from", "0.0001", "--to", "0.0005", "--step", "0.0001"};
  const CliRun rows = Cli(sweep);
  EXPECT_EQ(Count(rows.err, '\n'), 1u) << rows.err;
  EXPECT_TRUE(Has(rows.err, "warning: in 5 of 5 rows results lie more than 1e-4")) << rows.err;
  EXPECT_TRUE(Has(rows.err, "the worst at Umax/Uy = 4e-04: ")) << "XiEq turns negative there: " << rows.err;
  sweep.push_back("--jsonl");
  const std::vector<std::string> objects = Split(Cli(sweep).out, "\n");
  ASSERT_EQ(objects.size(), 5u);
  const double law = 1.8 * 0.9 * 4e-4 * 4e-4 * 4e-4 / (5 * std::numbers::pi);
  EXPECT_NEAR(JsonNumber(From(From(objects[3], "\"flagged\""), "\"exact\""), "XiEq"), law, 1e-3 * law) << objects[3];
  // Outside the model's domain --as-typed computes, as the window does, and says so.
  const CliRun typed = Cli({"solve", "--as-typed", "--n", "-2"});
  EXPECT_EQ(std::tuple(typed.status, Count(typed.out, '\n')), std::tuple(0, 12u));
  EXPECT_TRUE(Has(typed.err, "warning: --n: n must be positive: -2 (outside the model's domain); computed as the "
                             "window computes it\n")) << typed.err;
}

TEST_F(CliTest, SolveTextShowsCaptionsAndValuesAndNaNWithoutACycle) {
  const CliRun run = Cli({"solve", "--u", "100"});
  EXPECT_EQ(Count(run.out, '\n'), 12u) << run.out << run.err;
  for (const char* part : {"Za : 1.000000000\n", "Kcd* : "}) EXPECT_TRUE(Has(run.out, part)) << part << run.out;
  EXPECT_TRUE(Has(Cli({"solve"}).out, "        DE : 0.209212246\n      XiEq : 0.120754323\n"
                                      "      Ksec : 22.379923051\n   Ksec/K0 : 0.868591419\n"));
  EXPECT_TRUE(Has(Cli({"solve", "--u", "0"}).out, "      XiEq : NaN\n      Ksec : NaN\n   Ksec/K0 : NaN\n"));
}

TEST_F(CliTest, LoopPrintsTheClosedPolygonAsTsvAndJson) {
  const double fa = JsonNumber(Cli({"solve", "--n", "5", "--u", "9", "--json"}).out, "Fa");
  const CliRun tsv = Cli({"loop", "--n", "5", "--u", "9"});
  const std::vector<std::string> lines = Split(tsv.out, "\n");
  ASSERT_EQ(lines.size(), 1u + 2 * 2001 - 2) << tsv.err;
  EXPECT_EQ(std::tuple(lines[0], Count(tsv.out, '\r')), std::tuple(std::string("u\tF\tz"), 0u)) << "LF line ends";
  // From (−Umax, −Fa) to (Umax, Fa) on row 2001, the first point not repeated at the end. Umax = 9·0.111, Za = 1.
  EXPECT_EQ(lines[1], "-0.999\t" + ShortestText(-fa) + "\t-1");
  EXPECT_EQ(lines[2001], "0.999\t" + ShortestText(fa) + "\t1");
  // The JSON holds the same numbers column by column, then DE and the enclosed area.
  std::string columns[3];
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> fields = Split(lines[i] + "\t", "\t");
    for (std::size_t c = 0; c < 3; ++c) columns[c] += (i > 1 ? ", " : "") + fields[c];
  }
  const CliRun json = Cli({"loop", "--n", "5", "--u", "9", "--json"});
  EXPECT_TRUE(json.out.starts_with("{\"schema\": \"quorix-cli/1.1\", \"u\": [" + columns[0] + "], \"F\": [" + columns[1] + "], \"z\": [" +
                                   columns[2] + "], \"DE\": "));
  for (const CliRun& run : {json, Cli({"loop", "--accurate", "--n", "3", "--u", "2", "--json"})}) {
    EXPECT_NEAR(JsonNumber(run.out, "area"), JsonNumber(run.out, "DE"), 1e-5 * JsonNumber(run.out, "DE")) << run.out;
  }
  EXPECT_EQ(Split(Cli({"loop", "--points", "3"}).out, "\n").size(), 5u);
  const CliRun none = Cli({"loop", "--u", "0"});  // no cycle: the header only
  EXPECT_EQ(std::tuple(none.status, none.out), std::tuple(0, std::string("u\tF\tz\n"))) << none.err;
}

// CR LF lines, each column the JSON line's value rounded to its decimals (the derived quantities close the
// line); -o writes the same bytes.
TEST_F(CliTest, SweepWritesTheResultsTableAndJsonLinesInFull) {
  const CliRun run = Cli({"sweep"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string header = "Umax/Uy\tZa\tFha\tFela\tFa\tKcd\tKda\tDE/ Fy /Uy\tDE /Fh /Uy\tDE\r\n";
  EXPECT_EQ(run.out.substr(0, header.size() + 5), header + "0.10\t");
  const std::vector<std::string> rows = Split(run.out, "\r\n"), objects = Split(Cli({"sweep", "--jsonl"}).out, "\n");
  ASSERT_EQ(std::tuple(rows.size(), Count(run.out, '\n'), run.out.ends_with("\r\n"), objects.size()),
            std::tuple(101u, 101u, true, 100u));
  const Args keys = {"UmaxOverUy", "Za",  "Fha",        "Fela",       "Fa",   "Kcd",
                     "Kda",        "DEOverFyUy", "DEOverFhUy", "DE", "XiEq", "Ksec", "KsecOverK0"};
  for (std::size_t r = 0; r < objects.size(); ++r) {
    const std::vector<std::string> columns = Split(rows[r + 1] + "\t", "\t");
    ASSERT_EQ(std::tuple(columns.size(), Missing(objects[r], keys), objects[r].ends_with('}')),
              std::tuple(10u, std::string(), true)) << objects[r];
    for (std::size_t k = 0; k < 10; ++k) {
      EXPECT_EQ(quorix::FormatFixed(JsonNumber(objects[r], keys[k]), k == 0 ? 2 : 9), columns[k]) << objects[r];
    }
  }
  ASSERT_EQ(Cli({"sweep", "--no-progress", "-o", "results.out"}).status, 0);
  EXPECT_EQ(ReadAll(dir_ / "results.out"), run.out);
}

// Row 1 (U = 2e308) overflows: row 0 stays, complete, in the table, the JSON lines and the file of -o alike.
// A sweep that fails before its first row leaves the file as it was.
TEST_F(CliTest, FailedSweepKeepsCompleteRowsOrTheFileAsItWas) {
  for (const auto& [extra, lines] :
       {std::pair<Args, std::size_t>{{}, 2}, {{"--jsonl"}, 1}, {{"-o", "results.out"}, 0}}) {
    Write("results.out", "previous table\r\n");
    Args args = {"sweep", "--from", "1e308", "--to", "1.7e308", "--step", "1e308"};
    args.insert(args.end(), extra.begin(), extra.end());
    const CliRun run = Cli(args);
    const std::string table = lines == 0 ? ReadAll(dir_ / "results.out") : run.out;
    EXPECT_EQ(std::tuple(run.status, run.err), std::tuple(1, std::string("quorix-cli: row 1: amplitude overflows\n")));
    ASSERT_EQ(Count(run.out, '\n'), lines) << "(header and) row 0: " << table;
    EXPECT_TRUE(table.starts_with(lines == 1 ? "{" : "Umax/Uy\t")) << table;
    EXPECT_TRUE(table.ends_with(lines == 1 ? "}\n" : "\r\n")) << table;
    if (lines == 1) { EXPECT_EQ(JsonNumber(table, "UmaxOverUy"), 1e308) << table; }
    if (lines != 1) { EXPECT_EQ(Count(table, '\n'), 2u) << table; }
  }
  Write("results.out", "previous table\r\n");
  const CliRun run = Cli({"sweep", "--step", "0", "-o", "results.out"});
  EXPECT_EQ(std::tuple(run.status, Has(run.err, "step count")), std::tuple(1, true)) << run.err;
  EXPECT_EQ(ReadAll(dir_ / "results.out"), "previous table\r\n");
}

// Status 1 and one line on standard error for a failure; 2 for a bad command line. The rules themselves (the
// numbers' grammar, the model's domain) are the core's to test: here one of each kind, as the command line
// reports it. "-." and "-inf" are not numbers: options, and unknown.
TEST_F(CliTest, FailuresGiveTheirStatusAndMessage) {
  Write("half.csv", "0,0\n1,1\n0,0\n-1,-1\n0,0\n");
  Write("one.csv", "1,2\n3\n");
  const struct {
    Args args;
    int status;
    std::string message;
  } cases[] = {
      {{"solve", "--fy", "1e999"}, 1, "quorix-cli: --fy: number beyond the range of a double: 1e999\n"},
      {{"parse", "-1e309"}, 1, "quorix-cli: number beyond the range of a double: -1e309\n"},
      {{"sweep", "-o", "no folder/x"}, 1, "quorix-cli: cannot create no folder/x: No such file or directory\n"},
      {{"sweep", "--accurate", "--from", "1", "--to", "-1", "--step", "-1"}, 2,
       "quorix-cli: --to: Umax/Uy must not be negative: -1 (outside the model's domain)\n"},  // before any row
      {{"eval", "hyp2f1", "1", "2", "4", "0.5", "--accurate"}, 1, "covers F(1, b; 1 + b; t) only"},
      {{"cycles", "missing.csv"}, 1, "quorix-cli: cannot open"},
      {{"cycles", "half.csv"}, 1, "quorix-cli: fewer than one full cycle"},
      {{"fit", "one.csv"}, 1, "quorix-cli: line 2: one column"},
      {{}, 2, "A subcommand is required"},
      {{"solve", "--direct", "--complementary"}, 2, "--direct excludes --complementary"},
      {{"loop", "--points", "2"}, 2, "--points"},
      {{"sweep", "--jsonl", "-o", "x"}, 2, "excludes --jsonl"},
      {{"parse", "-."}, 2, "TEXT is required"}, {{"parse", "-inf"}, 2, "TEXT is required"},
      // After "--" every argument is an operand, even one that reads as --help or --version.
      {{"parse", "1", "--", "--help"}, 2, "--help"}, {{"solve", "--direct", "--", "--version"}, 2, "not expected: --version"},
      // An option whose value was forgotten, before another option.
      {{"solve", "--fy", "--direct"}, 2, "--fy needs a value before the option --direct"},
      {{"solve", "--u", "2,5"}, 2, "quorix-cli: --u: \"2,5\" is not a number (the decimal point is '.'; --as-typed "
                                   "reads it as the window's field does, as 2)"},
      {{"format-plain", "1e"}, 2, "VALUE: \"1e\""},
      // An empty material (a script's unset variable) is refused, not taken for the default case.
      {{"solve", "--material", ""}, 2, "quorix-cli: --material: the text is empty\n"},
      {{"solve", "--umax", "-0.1"}, 2, "quorix-cli: --umax: Umax/Uy must not be negative: -0.9009009009009009 ("},
      // An amplitude formed from two typed ones that no double can hold is refused, not read as 0.
      {{"solve", "--umax", "1e308", "--uy", "1e-10"}, 2, "--umax: the amplitude it gives is beyond the range"},
      {{"solv"}, 2, "quorix-cli: unknown subcommand \"solv\"; did you mean solve?"},
      {{"frobnicate"}, 2, "the subcommands are eval, solve, sweep"}};
  for (const auto& c : cases) {
    const CliRun run = Cli(c.args);
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0] + " " + c.args.back());
    EXPECT_EQ(std::tuple(run.status, run.out), std::tuple(c.status, std::string()));
    EXPECT_TRUE(Has(run.err, c.message)) << run.err;
    if (c.status != 2) { EXPECT_EQ(Count(run.err, '\n'), 1u) << run.err; }
  }
}

TEST_F(CliTest, EvalReportsValueStatusAndEscapedFaults) {
  const CliRun run = Cli({"eval", "gamma", "-.5", "--json"});  // Γ(−½) = −2√π
  EXPECT_NEAR(JsonNumber(run.out, "value"), -3.5449077018110320546, 1e-12) << run.err;
  EXPECT_EQ(std::tuple(JsonNumber(run.out, "status"), Has(run.out, "\"raised\": false")), std::tuple(1.0, true))
      << run.out;
  EXPECT_EQ(JsonNumber(Cli({"eval", "gamma", "171.7", "--json"}).out, "status"), 0.0);  // beyond the doubles
  // Pfaff region: (1 − z)^(−a) = (1 + 1e300)^400 overflows in the evaluator's own arithmetic; it lets that escape.
  EXPECT_TRUE(Has(Cli({"eval", "hyp2f1", "-400", "1", "2", "-1e300"}).out, "(arithmetic fault raised)"));
}

// Number texts as positionals and option values, also those that begin with "-." and would read as an option.
TEST_F(CliTest, NumberTextCommands) {
  const std::pair<Args, std::string> cases[] = {
      {{"parse", "-.5e3"}, "-500\n"}, {{"format-fixed", "-.25", "2"}, "-0.25\n"},
      {{"format-plain", "-.5"}, "-.5\n"}, {{"parse", "-1e-400"}, "-0\n"},  // underflow keeps the sign
  };
  for (const auto& [args, out] : cases) {
    const CliRun run = Cli(args);
    EXPECT_EQ(std::tuple(run.status, run.out), std::tuple(0, out)) << args[1] << ": " << run.err;
  }
  EXPECT_EQ(Cli({"solve", "--gamma", "-.5"}).out, Cli({"solve", "--gamma", "-0.5"}).out);
  // --as-typed reads as the window's fields: the number at the start, 0 when there is none.
  EXPECT_EQ(Cli({"solve", "--u", "2,5", "--as-typed"}).out, Cli({"solve", "--u", "2"}).out);
  EXPECT_EQ(Cli({"format-plain", "abc", "--as-typed"}).out, "0\n");
}

// The conventions of a Unix command line: "-" for standard output, help that fits 80 columns.
TEST_F(CliTest, StandardOutputAndNarrowHelp) {
  const CliRun dash = Cli({"sweep", "--to", "2", "-o", "-"});
  EXPECT_EQ(std::tuple(dash.status, dash.out), std::tuple(0, Cli({"sweep", "--to", "2"}).out));
  for (const Args& help : {Args{"--help"}, Args{"solve", "--help"}, Args{"sweep", "--help"}, Args{"fit", "--help"},
                           Args{"cycles", "--help"}, Args{"response", "--help"}, Args{"eval", "hyp2f1", "--help"}}) {
    std::istringstream lines(Cli(help).out);
    std::size_t widest = 0, count = 0;
    for (std::string line; std::getline(lines, line); ++count) widest = std::max(widest, line.size());
    EXPECT_LE(widest, 80u) << help[0] << " --help";
    EXPECT_GT(count, 5u) << help[0];
  }
}

// The points with 17 digits after `header`, the columns split by `sep`.
std::string RecordText(std::string header, const std::vector<double>& u, const std::vector<double>& F, char sep) {
  for (std::size_t i = 0; i < u.size(); ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "%.17g%c%.17g\n", u[i], sep, F[i]);
    header += line;
  }
  return header;
}

// Noiseless steady cycles at three amplitudes of n = 2, γ = 0.7, α = 0.1, Fy = 50, Uy = 2 (the fit's accuracy
// and the cycles' values are tests/measured's): the options reach the engine and its reports reach the user.
TEST_F(CliTest, CyclesAndFitPrintTheirTablesAndRefuseBadOptions) {
  using namespace quorix::measured::testing;
  const auto rec =
      MakeRecord({2.0, 0.7, 0.1, 50.0, 2.0}, {Block{2.8, 3, true}, Block{6.0, 3, true}, Block{16.0, 3, true}}, 400, 8);
  Write("record.csv", RecordText("# synthetic\nu;F\n", rec.u, rec.F, ';'));
  const CliRun run = Cli({"fit", "--steady", "--json", "record.csv"});
  EXPECT_NEAR(JsonNumber(run.out, "gamma"), 0.7, 1e-6) << run.err;
  EXPECT_EQ(JsonNumber(run.out, "cycles"), 2.0);  // the steady cycles: 2, 5, 8
  const CliRun cycles = Cli({"cycles", "--json", "record.csv"});
  EXPECT_EQ(std::tuple(JsonNumber(cycles.out, "steady_cycles"), JsonNumber(cycles.out, "count")), std::tuple(2.0, 3.0));
  const CliRun table = Cli({"cycles", "record.csv"});
  EXPECT_TRUE(table.out.starts_with("cycle\tfirst\tlast\tu+\tu-\tF+\tF-\tEDC\tKeff\txi_eff\tsteady\tD\tQd\tKd\tDy\tgroup\t"
                                    "Keff_ratio\tEDC_ratio\n"))
      << table.out;
  // Standard output is the table alone; the steady means follow on standard error.
  EXPECT_EQ(std::pair(Has(table.out, "mean of"), table.err.starts_with("mean of 3 steady\t")), std::pair(false, true))
      << table.err;

  const CliRun fixed =
      Cli({"fit", "--steady", "record.csv", "--cycles", "4:5", "--fix", "n=2.5", "--fix", "beta=0.3"});
  for (const char* line : {"n\t2.5\tfixed\n", "gamma\t0.7\tfixed\n", "\n4\t6\t"}) {
    EXPECT_TRUE(Has(fixed.out, line)) << line << fixed.out << fixed.err;
  }
  const std::pair<Args, const char*> bad[] = {
      {{"--fix", "k=2"}, "unknown parameter \"k\""},   {{"--fix", "n"}, "not NAME=VALUE"},
      {{"--fix", "n=x"}, "not a finite number"},       {{"--cycles", "0:2"}, "--cycles"},
      {{"--cycles", "3:2"}, "--cycles"},               {{"--fix", "Uy=0"}, "Uy=0: Uy must be positive"},
      {{"--start", "n=2", "--start", "n=3"}, "--start: n is given twice, as 2 and as 3"}};
  for (const auto& [options, message] : bad) {
    Args args{"fit", "record.csv"};
    args.insert(args.end(), options.begin(), options.end());
    const CliRun refused = Cli(args);
    EXPECT_EQ(std::tuple(refused.status, Has(refused.err, message)), std::tuple(2, true)) << refused.err;
  }
  EXPECT_EQ(Cli({"fit", "record.csv", "--fix", "n=2.5", "--fix", "n=2.5"}).status, 0);
  // The smallest amplitude's two cycles: what was left out named, the narrow span warned of on standard error
  // and in the JSON.
  const CliRun narrow = Cli({"fit", "--steady", "record.csv", "--cycles", "1:2"});
  EXPECT_TRUE(Has(narrow.out, "fitted: cycles 1-2, amplitude 2.8; left out: steady cycles 5, 8; wider cycles 3-8\n"))
      << narrow.out;
  EXPECT_TRUE(Has(narrow.err, "quorix-cli: warning: the fitted points span 17.5 % of the record's")) << narrow.err;
  const CliRun narrowJson = Cli({"fit", "--steady", "record.csv", "--cycles", "1:2", "--json"});
  EXPECT_TRUE(Has(narrowJson.out, "\"warnings\": [\"the fitted points span 17.5 %")) << narrowJson.out;
  const CliRun beyond = Cli({"fit", "record.csv", "--cycles", "7:9"});
  EXPECT_EQ(std::tuple(beyond.status, beyond.err),
            std::tuple(1, std::string("quorix-cli: --cycles 7:9: the record has cycles 1 to 8\n")));
  // An open end runs to the record's last cycle (the option's check once listed every number up to the largest).
  const CliRun openEnd = Cli({"fit", "--steady", "record.csv", "--cycles", "7:"});
  EXPECT_EQ(std::tuple(openEnd.status, openEnd.out),
            std::tuple(0, Cli({"fit", "--steady", "record.csv", "--cycles", "7:8"}).out)) << openEnd.err;
}

// The same record as a laboratory writes it (four columns, the force first, a units line, decimal commas), also
// from standard input: the plain file's table, then the columns read. Swapped columns: warned of by cycles,
// refused by fit.
TEST_F(CliTest, CyclesAndFitReadLaboratoryFiles) {
  using namespace quorix::measured::testing;
  const auto rec = MakeRecord({2.0, 0.7, 0.1, 50.0, 2.0}, {Block{3.0, 3, true}, Block{8.0, 3, true}}, 200, 4);
  Write("plain.csv", RecordText("", rec.u, rec.F, ';'));
  std::string lab = "Time;Load;Stroke;T\ns;[kN];[mm];C\n";
  for (std::size_t i = 0; i < rec.u.size(); ++i) {
    char line[96];
    std::snprintf(line, sizeof line, "%zu;%.17g;%.17g;20.5\n", i, rec.F[i], rec.u[i]);
    for (char* c = line; *c != '\0'; ++c) *c = *c == '.' ? ',' : *c;
    lab += line;
  }
  Write("lab.csv", lab);
  const CliRun plain = Cli({"cycles", "plain.csv"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  const std::string columns = "displacement: column 3 \"Stroke\" (mm)\nforce: column 2 \"Load\" (kN)\ndecimal commas\n"
                              "units: u+, u-, D, Dy in mm; F+, F-, Qd in kN; EDC in kN\u00B7mm; Keff, Kd in kN/mm\n";
  const struct {
    Args args;
    std::string input, out, err;
  } same[] = {{{"cycles", "lab.csv"}, "", plain.out, plain.err + columns},
              {{"cycles", "-", "--u-column", "stroke", "--F-column", "2"}, "lab.csv", plain.out, plain.err + columns},
              {{"response", "lab.csv", "--u-column", "3"}, "", Cli({"response", "plain.csv"}).out, ""}};
  for (const auto& c : same) {
    const CliRun run = Cli(c.args, c.input);
    EXPECT_EQ(std::tuple(run.status, run.out, run.err), std::tuple(0, c.out, c.err)) << c.args[1];
  }
  const CliRun swapped = Cli({"cycles", "lab.csv", "--u-column", "Load", "--F-column", "Stroke [mm]"});
  EXPECT_EQ(swapped.status, 0);
  EXPECT_TRUE(Has(swapped.err, "quorix-cli: warning: all 5 cycles run counter-clockwise (negative EDC)")) << swapped.err;
  const CliRun refused = Cli({"fit", "-", "--F-column", "1", "--u-column", "2"}, "plain.csv");
  EXPECT_EQ(std::tuple(refused.status, refused.out), std::tuple(1, std::string()));
  EXPECT_TRUE(Has(refused.err, "cannot fit: all 5 cycles run counter-clockwise")) << refused.err;
}

// response: the same numbers as the library's response, and refusals that write nothing (the refusals'
// texts are tests/response's).
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
