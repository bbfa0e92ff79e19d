// End-to-end runs of the built quorix-cli: its outputs' formats, its refusals and exit statuses, its options
// reaching the engine (whose numbers are the engine's tests' to check). material_options_test.cpp holds the
// case given as the analysis programs write it.
#include <algorithm>
#include <set>

#include "synthetic.h"
#include "cli_process.h"
#include "decimal.h"
#include "material.h"
#include "material_text.h"
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
    // mpmath's (tests/solver/data/make_views_reference.py).
    EXPECT_NEAR(JsonNumber(From(run.out, "\"derived\": {"), "Ksec"), 22.379923050837825, 1e-7) << flag;
  }
  // The exact model (mpmath): for n = 2, w = 0.1 − 0.9, Za solves ½(atan(√−w·x)/√−w + atanh x) = 1.
  const CliRun accurate = Cli({"solve", "--accurate", "--json"});
  EXPECT_NEAR(JsonNumber(accurate.out, "Za"), 0.85399046567327061688, 4e-16) << accurate.err;
}

// Where the arithmetic loses its digits: one warning naming the results with their exact values, and the
// JSON's flags; a sweep warns once, naming its worst row.
TEST_F(CliTest, ResultsOffTheExactValuesAreFlagged) {
  EXPECT_TRUE(Has(Cli({"solve", "--json"}).out, "\"flagged\": [], \"check_bound\": 1e-04, \"exact\": {\"Za\": 0.85399"));
  EXPECT_FALSE(Has(Cli({"solve", "--json", "--accurate"}).out, "flagged"));
  const CliRun small = Cli({"solve", "--n", "1", "--gamma", "0.1", "--u", "1e-6", "--json"});
  EXPECT_EQ(small.status, 0);
  EXPECT_TRUE(Has(small.err, "quorix-cli: warning: 4 of the 12 results lie more than 1e-4 (relative)")) << small.err;
  EXPECT_TRUE(Has(small.err, "XiEq -0.206818314 (exactly 1.90986e-08); --accurate computes")) << small.err;
  EXPECT_TRUE(Has(small.out, "\"flagged\": [\"DEOverFyUy\", \"DEOverFhUy\", \"DE\", \"XiEq\"]")) << small.out;
  Args sweep = {"sweep", "--n", "3", "--from", "0.0001", "--to", "0.0005", "--step", "0.0001"};
  const CliRun rows = Cli(sweep);
  EXPECT_EQ(Count(rows.err, '\n'), 1u) << rows.err;
  EXPECT_TRUE(Has(rows.err, "warning: in 5 of 5 rows results lie more than 1e-4")) << rows.err;
  EXPECT_TRUE(Has(rows.err, "the worst at Umax/Uy = 4e-04: ")) << "XiEq turns negative there: " << rows.err;
  sweep.push_back("--jsonl");
  EXPECT_EQ(Split(Cli(sweep).out, "\"flagged\": [\"").size(), 5u) << "each line flags its own";
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
  EXPECT_TRUE(json.out.starts_with("{\"schema\": \"quorix-cli/1.1\", \"u\": [" + columns[0] + "], \"F\": [" + columns[1] +
                                   "], \"z\": [" + columns[2] + "], \"DE\": "));
  for (const CliRun& run : {json, Cli({"loop", "--accurate", "--n", "3", "--u", "2", "--json"})}) {
    EXPECT_NEAR(JsonNumber(run.out, "area"), JsonNumber(run.out, "DE"), 1e-5 * JsonNumber(run.out, "DE")) << run.out;
  }
  EXPECT_EQ(Split(Cli({"loop", "--points", "3"}).out, "\n").size(), 5u);
  const CliRun none = Cli({"loop", "--u", "0"});  // no cycle: the header only
  EXPECT_EQ(std::tuple(none.status, none.out), std::tuple(0, std::string("u\tF\tz\n"))) << none.err;
}

// CR LF lines, each column the JSON line's value rounded to its decimals (the derived quantities close the
// line); -o writes the same bytes, and so does -o - to standard output.
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
  EXPECT_EQ(Cli({"sweep", "-o", "-"}).out, run.out);
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

const std::string kHint = "\nRun with --help for more information.\n";

// Status 1 and one line on standard error for a failure; 2 for a bad command line, the option parser's own
// refusals with the hint of --help; nothing on standard output. The rules themselves (the numbers' grammar,
// the model's domain) are the core's to test: here one of each kind, as the command line reports it.
TEST_F(CliTest, FailuresGiveTheirStatusAndMessage) {
  Write("one.csv", "1,2\n3\n");
  Write("h.txt", "0\n0.1\n");
  Write("inf.txt", "0\ninf\n");
  const struct {
    Args args;
    int status;
    std::string message;
    bool hinted = false;  // followed by the hint of --help
  } cases[] = {
      {{"solve", "--fy", "1e999"}, 1, "quorix-cli: --fy: number beyond the range of a double: 1e999\n"},
      {{"parse", "-1e309"}, 1, "quorix-cli: number beyond the range of a double: -1e309\n"},
      {{"sweep", "-o", "no folder/x"}, 1, "quorix-cli: cannot create no folder/x: No such file or directory\n"},
      {{"sweep", "--accurate", "--from", "1", "--to", "-1", "--step", "-1"}, 2,
       "quorix-cli: --to: Umax/Uy must not be negative: -1 (outside the model's domain)\n"},  // before any row
      {{"eval", "hyp2f1", "1", "2", "4", "0.5", "--accurate"}, 1, "covers F(1, b; 1 + b; t) only"},
      {{"cycles", "missing.csv"}, 1, "quorix-cli: cannot open"},
      {{"fit", "one.csv"}, 1, "quorix-cli: line 2: one column"},
      {{"response", "inf.txt"}, 1, "line 2: the displacement \"inf\" is not a finite number"},
      {{}, 2, "A subcommand is required"},
      {{"solve", "--direct", "--complementary"}, 2, "--direct excludes --complementary"},
      {{"sweep", "--jsonl", "-o", "x"}, 2, "excludes --jsonl"},
      // "-inf" is no number: an option, and unknown. After "--" every argument is an operand.
      {{"parse", "-inf"}, 2, "TEXT is required"},
      {{"parse", "1", "--", "--help"}, 2, "--help"},
      {{"solve", "--direct", "--", "--version"}, 2, "not expected: --version"},
      // An option whose value was forgotten, before another option.
      {{"solve", "--fy", "--direct"}, 2, "--fy needs a value before the option --direct"},
      {{"solve", "--u", "2,5"}, 2, "quorix-cli: --u: \"2,5\" is not a number (the decimal point is '.'; --as-typed "
                                   "reads it as the window's field does, as 2)\n"},
      // An empty material (a script's unset variable) is refused, not taken for the default case.
      {{"solve", "--material", ""}, 2, "quorix-cli: --material: the text is empty\n"},
      {{"solve", "--umax", "-0.1"}, 2, "quorix-cli: --umax: Umax/Uy must not be negative: -0.9009009009009009 ("},
      // An amplitude formed from two typed ones that no double can hold is refused, not read as 0.
      {{"solve", "--umax", "1e308", "--uy", "1e-10"}, 2, "--umax: the amplitude it gives is beyond the range"},
      {{"solv"}, 2, "quorix-cli: unknown subcommand \"solv\"; did you mean solve?"},
      {{"frobnicate"}, 2, "the subcommands are eval, solve, sweep"},
      // Misspelt options named with the closest, unexpected operands in the order given.
      {{"solve", "--gama", "0.3", "--nn", "2"}, 2, "quorix-cli: solve has no option --gama; did you mean --gamma?\n"
                                                   "quorix-cli: solve has no option --nn; did you mean --n?", true},
      {{"fit", "--u-colum", "1", "h.txt"}, 2, "quorix-cli: fit has no option --u-colum; did you mean --u-column?",
       true},
      {{"solve", "3", "4"}, 2, "quorix-cli: The following arguments were not expected: 3 4", true},
      // One grammar for the number options the parser converts itself.
      {{"response", "--n", "0x10", "h.txt"}, 2, "quorix-cli: --n: \"0x10\" is not a number (the decimal point is '.')",
       true},
      // No empty file name taken for standard output.
      {{"sweep", "-o", "", "--to", "2"}, 2,
       "quorix-cli: --output: an empty file name: give FILE, or '-' for standard output", true}};
  for (const auto& c : cases) {
    const CliRun run = Cli(c.args);
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0] + " " + c.args.back());
    EXPECT_EQ(std::tuple(run.status, run.out), std::tuple(c.status, std::string()));
    EXPECT_TRUE(Has(run.err, c.hinted ? c.message + kHint : c.message)) << run.err;
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
      {{"format-plain", "abc", "--as-typed"}, "0\n"},  // as the window's field: 0 when no number starts it
  };
  for (const auto& [args, out] : cases) {
    const CliRun run = Cli(args);
    EXPECT_EQ(std::tuple(run.status, run.out), std::tuple(0, out)) << args[1] << ": " << run.err;
  }
  EXPECT_EQ(Cli({"solve", "--gamma", "-.5"}).out, Cli({"solve", "--gamma", "-0.5"}).out);
  EXPECT_EQ(Cli({"solve", "--u", "2,5", "--as-typed"}).out, Cli({"solve", "--u", "2"}).out);
  // A value the parser converts reaches the model as the grammar reads it.
  EXPECT_EQ(Cli({"solve", "--gamma", " 6e-1 ", "--u", "2"}).out, Cli({"solve", "--gamma", "0.6", "--u", "2"}).out);
}

// Each help fits 80 columns and lists every option of its own once; the footer speaks of --as-typed and
// --gamma only where the subcommand has them.
TEST_F(CliTest, HelpIsNarrowAndHoldsForItsSubcommand) {
  for (const Args& args : std::vector<Args>{{"--help"}, {"solve", "--help"}, {"sweep", "--help"}, {"loop", "--help"},
                                            {"parse", "--help"}, {"cycles", "--help"}, {"fit", "--help"},
                                            {"response", "--help"}, {"eval", "hyp2f1", "--help"}}) {
    SCOPED_TRACE(args[0]);
    const std::string help = Cli(args).out;
    std::multiset<std::string> entries;
    std::size_t widest = 0, count = 0;
    for (const std::string& line : Split(help, "\n")) {
      widest = std::max(widest, line.size());
      ++count;
      if (line.starts_with("  -")) entries.insert(line.substr(2, line.find(' ', 2) - 2));
    }
    EXPECT_TRUE(widest <= 80 && count > 5) << widest << " columns, " << count << " lines";
    if (args.size() != 2) continue;  // a subcommand's own
    for (const std::string& entry : entries) EXPECT_EQ(entries.count(entry), 1u) << entry;
    const bool typed = entries.contains("--as-typed");
    const bool gamma = std::ranges::any_of(entries, [](const std::string& e) { return e.starts_with("--gamma"); });
    EXPECT_EQ(std::pair(Has(help, "--as-typed reads"), Has(help, "(--gamma -.5)")), std::pair(typed, typed && gamma));
    EXPECT_TRUE(help.ends_with("Exit status: 0 success, 1 the command failed, 2 bad command line.\n"));
  }
}

// Noiseless steady cycles at three amplitudes of n = 2, γ = 0.7, α = 0.1, Fy = 50, Uy = 2 (the fit's accuracy
// and the cycles' values are tests/measured's): the options reach the engine and its reports reach the user.
TEST_F(CliTest, CyclesAndFitPrintTheirTablesAndRefuseBadOptions) {
  using namespace quorix::measured::testing;
  const auto rec =
      MakeRecord({2.0, 0.7, 0.1, 50.0, 2.0}, {Block{2.8, 3, true}, Block{6.0, 3, true}, Block{16.0, 3, true}}, 400, 8);
  Write("record.csv", PairsText("# synthetic\nu;F\n", rec.u, rec.F));
  const CliRun run = Cli({"fit", "--steady", "--json", "record.csv"});
  EXPECT_NEAR(JsonNumber(run.out, "gamma"), 0.7, 1e-6) << run.err;
  EXPECT_EQ(JsonNumber(run.out, "cycles"), 2.0);  // the steady cycles: 2, 5, 8
  EXPECT_TRUE(Has(run.out, "\"materials\": {\"opensees_boucwen\": \"uniaxialMaterial")) << run.out;
  // The report ends with the fitted case as the analysis programs write it, unless --as none.
  const CliRun text = Cli({"fit", "--steady", "record.csv"});
  const std::size_t line = text.out.find("\nOpenSees: uniaxialMaterial BoucWen ");
  ASSERT_NE(line, std::string::npos) << text.out;
  const std::string tcl = text.out.substr(line + 11, text.out.find('\n', line + 1) - line - 11);
  EXPECT_NEAR(quorix::material::FromOpenSees(quorix::material::ParseOpenSees(tcl)).Uy, 2.0, 1e-5) << tcl;
  EXPECT_FALSE(Has(Cli({"fit", "--steady", "record.csv", "--as", "none"}).out, "OpenSees"));
  const CliRun fixed = Cli({"fit", "--steady", "record.csv", "--cycles", "4:5", "--fix", "n=2.5", "--fix", "beta=0.3"});
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
  // The smallest amplitude's two cycles: what was left out named, the narrow span warned of.
  const CliRun narrow = Cli({"fit", "--steady", "record.csv", "--cycles", "1:2"});
  EXPECT_TRUE(Has(narrow.out, "fitted: cycles 1-2, amplitude 2.8; left out: steady cycles 5, 8; wider cycles 3-8\n"))
      << narrow.out;
  EXPECT_TRUE(Has(narrow.err, "quorix-cli: warning: the fitted points span 17.5 % of the record's")) << narrow.err;
  const CliRun beyond = Cli({"fit", "record.csv", "--cycles", "7:9"});
  EXPECT_EQ(std::tuple(beyond.status, beyond.err),
            std::tuple(1, std::string("quorix-cli: --cycles 7:9: the record has cycles 1 to 8\n")));
  // An open end runs to the record's last cycle (the option's check once listed every number up to the largest).
  const CliRun openEnd = Cli({"fit", "--steady", "record.csv", "--cycles", "7:"});
  EXPECT_EQ(std::tuple(openEnd.status, openEnd.out),
            std::tuple(0, Cli({"fit", "--steady", "record.csv", "--cycles", "7:8"}).out)) << openEnd.err;
}

// The same record as a laboratory writes it (four columns, the force first, a units line, decimal commas), also
// from standard input with the columns chosen: the plain file's table, then the columns read. Swapped columns
// are refused by fit.
TEST_F(CliTest, CyclesAndFitReadLaboratoryFiles) {
  using namespace quorix::measured::testing;
  const auto rec = MakeRecord({2.0, 0.7, 0.1, 50.0, 2.0}, {Block{3.0, 3, true}, Block{8.0, 3, true}}, 200, 4);
  Write("plain.csv", PairsText("", rec.u, rec.F));
  std::string lab = "Time;Load;Stroke;T\ns;[kN];[mm];C\n";
  for (std::size_t i = 0; i < rec.u.size(); ++i) {
    std::string line = std::to_string(i) + ";" + ShortestText(rec.F[i]) + ";" + ShortestText(rec.u[i]) + ";20.5\n";
    std::replace(line.begin(), line.end(), '.', ',');
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
  const CliRun refused = Cli({"fit", "-", "--F-column", "1", "--u-column", "2"}, "plain.csv");
  EXPECT_EQ(std::tuple(refused.status, refused.out), std::tuple(1, std::string()));
  EXPECT_TRUE(Has(refused.err, "cannot fit: all 5 cycles run counter-clockwise")) << refused.err;
}

// response: each row u, F, z, F_measured as the library's response gives them, to the bit; of one column, no
// F_measured; --stretches the table of the stretches between reversals.
TEST_F(CliTest, ResponseRowsAreTheLibrarys) {
  const std::vector<double> u{0.0, 0.05, 0.12, 0.2, 0.2, 0.07, -0.15, -0.3, -0.1, 0.25};
  std::string twoColumns = "u;F\n", oneColumn;
  for (std::size_t k = 0; k < u.size(); ++k) {
    twoColumns += ShortestText(u[k]) + ";" + std::to_string(10 * k) + "\n";
    oneColumn += ShortestText(u[k]) + "\n";
  }
  Write("record.csv", twoColumns);
  Write("history.txt", oneColumn);
  Args args{"response", "record.csv", "--n", "3", "--gamma", "0.6", "--alpha", "0.05", "--fy", "2", "--uy", "0.1",
            "--z0", "-0.2"};
  const CliRun file = Cli(args);
  ASSERT_EQ(file.status, 0) << file.err;
  const quorix::response::History h =
      quorix::response::RespondAlong(u, quorix::NormalisedCase(3.0, 0.6, 0.05, 2.0, 0.1), -0.2);
  const std::vector<std::string> rows = Split(file.out, "\n");
  ASSERT_EQ(rows.size(), u.size() + 1);
  EXPECT_EQ(rows[0], "u\tF\tz\tF_measured");
  for (std::size_t k = 0; k < u.size(); ++k) {
    EXPECT_EQ(rows[k + 1], ShortestText(u[k]) + "\t" + ShortestText(h.F[k]) + "\t" + ShortestText(h.z[k]) + "\t" +
                               std::to_string(10 * k)) << k;
  }
  args[1] = "history.txt";
  EXPECT_EQ(Split(Cli(args).out, "\n").at(0), "u\tF\tz");
  // The stretches: 0.2 (twice) is the first reversal, −0.3 the second.
  args.push_back("--stretches");
  const std::vector<std::string> table = Split(Cli(args).out, "\n");
  ASSERT_EQ(table.size(), 4u);
  EXPECT_EQ(std::tuple(table[1].substr(0, 6), table[2].substr(0, 6), table[3].substr(0, 7)),
            std::tuple("1\t1\t5\t", "2\t5\t8\t", "3\t8\t10\t"));
}

}  // namespace
