// quorix-cli's answers beside its numbers: the texts of --json against the text output (what a person reads,
// so the independent source), how it meets mistakes, and verify and isolation against their rooms called
// directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "cli_process.h"
#include "decimal.h"
#include "design.h"
#include "isolation.h"
#include "opensees_boucwen_steps.h"
#include "synthetic.h"
#include "verify.h"

namespace {

using namespace quorix::testing;

using JsonAnswerTest = TempFolderTest;

// The JSON string that starts at `at` (its opening quote), unescaped; `at` ends past it. Only the escapes
// the writer makes: \" \\ and \u00XX.
std::string ReadString(const std::string& json, std::size_t& at) {
  std::string out;
  for (++at; at < json.size() && json[at] != '"'; ++at) {
    if (json[at] != '\\') {
      out += json[at];
    } else if (json[++at] == 'u') {
      out += static_cast<char>(std::stoi(json.substr(at + 1, 4), nullptr, 16));
      at += 4;
    } else {
      out += json[at];
    }
  }
  ++at;
  return out;
}

// The string member `key` of a one-line JSON text; "<none>" when missing.
std::string JsonString(const std::string& json, const std::string& key) {
  std::size_t at = json.find("\"" + key + "\": \"");
  if (at == std::string::npos) return "<none>";
  at += key.size() + 4;
  return ReadString(json, at);
}

// The strings of an array member from `at` (its "["), `at` ending past it.
std::vector<std::string> ReadStrings(const std::string& json, std::size_t& at) {
  std::vector<std::string> out;
  for (++at; json[at] != ']'; at += json[at] == ',' ? 2 : 0) out.push_back(ReadString(json, at));
  ++at;
  return out;
}

std::vector<std::string> JsonStrings(const std::string& json, const std::string& key) {
  std::size_t at = json.find("\"" + key + "\": [");
  if (at == std::string::npos) return {"<none>"};
  at += key.size() + 4;
  return ReadStrings(json, at);
}

// An array of arrays of strings, each row joined by TABs.
std::vector<std::string> JsonRows(const std::string& json, const std::string& key) {
  std::size_t at = json.find("\"" + key + "\": [[");
  if (at == std::string::npos) return {"<none>"};
  at += key.size() + 5;
  std::vector<std::string> rows;
  for (; json[at] == '['; at += json[at] == ',' ? 2 : 0) {
    std::string row;
    for (const std::string& cell : ReadStrings(json, at)) row += cell + '\t';
    rows.push_back(row.substr(0, row.size() - 1));
  }
  return rows;
}

// The members of one named object: {"Za": ..., ...} after "key": {.
std::string Member(const std::string& json, const std::string& object) {
  const std::size_t at = json.find("\"" + object + "\": {");
  return at == std::string::npos ? "" : json.substr(at, json.find('}', at) - at + 1);
}

// solve's text output against --json: every caption and text, and the lines of --as all.
TEST_F(JsonAnswerTest, SolveCarriesTheCaptionsTextsAndMaterialLinesItPrints) {
  const std::vector<Args> cases = {
      {"--complementary"},
      {"--accurate", "--gamma", "0.5", "--alpha", "0", "--u", "0.3"},
      {"--u", "0"},  // no cycle: NaN texts
      {"--material", "uniaxialMaterial BoucWen 1 0.1 25.77 2 8.12 73.05 1 0 0 0"},
  };
  const char* names[] = {"Za", "Fha", "Fela", "Fa", "Kcd", "Kda", "DEOverFyUy", "DEOverFhUy", "DE",
                         "XiEq", "Ksec", "KsecOverK0"};
  for (const Args& options : cases) {
    SCOPED_TRACE(options.front());
    Args text{"solve", "--as", "all"}, json{"solve", "--json", "--as", "all"};
    text.insert(text.end(), options.begin(), options.end());
    json.insert(json.end(), options.begin(), options.end());
    const CliRun printed = Cli(text), answered = Cli(json);
    ASSERT_EQ(std::tuple(printed.status, answered.status), std::tuple(0, 0)) << printed.err << answered.err;
    std::vector<std::string> lines = Split(printed.out, "\n");
    if (lines.front().starts_with("case: ")) lines.erase(lines.begin());
    ASSERT_GT(lines.size(), 12u);
    for (int i = 0; i < 12; ++i) {
      const std::size_t start = lines[i].find_first_not_of(' '), at = lines[i].find(" : ");
      const std::string caption = lines[i].substr(start, at + 2 - start);
      const std::string shown = lines[i].substr(at + 3);
      const std::string texts = Member(answered.out, i < 9 ? "texts" : "derived_texts");
      EXPECT_EQ(JsonString(Member(answered.out, "captions"), names[i]), caption) << names[i];
      EXPECT_EQ(JsonString(texts, names[i]), shown) << names[i];
    }
    std::vector<std::string> after;
    for (std::size_t i = 12; i < lines.size(); ++i) {
      if (!lines[i].empty()) after.push_back(lines[i]);
    }
    EXPECT_EQ(JsonStrings(answered.out, "material_lines"), after);
  }
  // --as chooses the lines in the answer as in the text.
  EXPECT_EQ(JsonStrings(Cli({"solve", "--json"}).out, "material_lines"), std::vector<std::string>{});
}

// A refused command given --json: the same message on standard error and exit status as without it, and the
// refusal on standard output, naming the option at fault with the text given it.
TEST_F(JsonAnswerTest, RefusalsAnswerInJsonAndKeepTheirMessageAndStatus) {
  struct Case {
    Args args;
    std::string option, value, reason;
  };
  const std::vector<Case> cases = {
      {{"solve", "--as-typed", "--n=1e999"}, "--n", "1e999", "number beyond the range of a double: 1e999"},
      {{"solve", "--n", "abc"}, "--n", "abc", "<none>"},  // a bad command line: status 2
      {{"loop", "--as-typed", "--u=-1e400"}, "--u", "-1e400", "number beyond the range of a double: -1e400"},
      {{"solve", "--material", "uniaxialMaterial Steel01 1 2 3 4"}, "--material", "uniaxialMaterial Steel01 1 2 3 4",
       "<none>"},
      {{"solve", "--accurate", "--n", "-1"}, "--n", "-1", "n must be positive: -1 (outside the model's domain)"},
      {{"sweep", "--alpha", "1"}, "--alpha", "1", "alpha must lie in [0, 1): 1 (outside the model's domain)"},
      {{"cycles", "missing.csv"}, "<none>", "<none>", "<none>"},
      {{"fit", "--no-progress", "missing.csv"}, "<none>", "<none>", "<none>"},
      {{"response", "missing.csv"}, "<none>", "<none>", "<none>"},
      // The option parser's own refusals: a value its validator refuses, a misspelt option, an extra operand.
      {{"response", "--n", "0x10", "h.txt"}, "--n", "0x10", "\"0x10\" is not a number (the decimal point is '.')"},
      {{"solve", "--gama", "0.3"}, "<none>", "<none>", "<none>"},
      {{"solve", "3"}, "<none>", "<none>", "<none>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front() + " " + c.args.back());
    Args json = c.args;
    json.insert(json.begin() + 1, "--json");
    const CliRun plain = Cli(c.args), answered = Cli(json);
    ASSERT_NE(plain.status, 0) << plain.out;
    EXPECT_EQ(std::tuple(answered.status, answered.err), std::tuple(plain.status, plain.err));
    // The message as standard error gives it, without the program's name.
    std::string message = Split(plain.err, "\n").front();
    if (message.starts_with("quorix-cli: ")) message.erase(0, 12);
    EXPECT_TRUE(answered.out.starts_with("{\"schema\": \"quorix-cli/1.1\", \"refusal\": {") && Count(answered.out, '\n') == 1) << answered.out;
    EXPECT_EQ(std::tuple(JsonString(answered.out, "message"), JsonString(answered.out, "option"),
                         JsonString(answered.out, "value")), std::tuple(message, c.option, c.value));
    if (c.reason != "<none>" || c.option == "<none>") {
      EXPECT_EQ(JsonString(answered.out, "reason"), c.reason);
    }
    if (c.option != "<none>") {
      EXPECT_EQ(c.option + ": " + JsonString(answered.out, "reason"), message);
    }
  }
}

// A value typed in bytes that are not UTF-8 comes back as U+FFFD, one for each byte that begins no well-formed
// sequence (a lone continuation byte, an overlong form, a surrogate, a sequence cut short), the rest as it was.
TEST_F(JsonAnswerTest, ARefusedValueThatIsNotUtf8ComesBackReplacedCharacterByCharacter) {
  const CliRun answered = Cli({"solve", "--json", "--material", "\xC2\xB5 \x80 \xC0\xAF \xED\xA0\x80 \xF0\x9F\x98"});
  ASSERT_NE(answered.status, 0) << answered.out;
  const std::string replaced = "\\ufffd";
  EXPECT_NE(answered.out.find("\"value\": \"\xC2\xB5 " + replaced + " " + replaced + replaced + " " + replaced + replaced +
                              replaced + " " + replaced + replaced + replaced + "\""),
            std::string::npos)
      << answered.out;
}

std::string RecordText(const std::vector<double>& u, const std::vector<double>& F, double sign) {
  std::string text = "disp [mm];force [kN]\n";
  for (std::size_t k = 0; k < u.size(); ++k) {
    text += quorix::decimal::ShortestText(u[k]) + ";" + quorix::decimal::ShortestText(sign * F[k]) + "\n";
  }
  return text;
}

// cycles' and fit's reports against their answers: the table's cells and the lines under it, the report, and
// the warnings standard error gives.
TEST_F(JsonAnswerTest, CyclesAndFitCarryTheirReportsAndWarnings) {
  using namespace quorix::measured::testing;
  const auto rec = MakeRecord({2.0, 0.7, 0.1, 50.0, 2.0}, {Block{3.0, 3, true}, Block{7.0, 2, false}}, 200, 4);
  Write("clockwise.csv", RecordText(rec.u, rec.F, 1.0));
  Write("counter.csv", RecordText(rec.u, rec.F, -1.0));  // the force's sign reversed: warned of
  for (const std::string file : {"clockwise.csv", "counter.csv"}) {
    SCOPED_TRACE(file);
    const CliRun printed = Cli({"cycles", file}), answered = Cli({"cycles", "--json", file});
    ASSERT_EQ(std::tuple(printed.status, answered.status), std::tuple(0, 0)) << printed.err;
    std::vector<std::string> shown = JsonRows(answered.out, "table");
    for (const std::string& note : JsonStrings(answered.out, "notes")) shown.push_back(note);
    // The text output: the table on standard output, the warnings, the steady means and the notes on standard error.
    std::vector<std::string> printedLines = Split(printed.out, "\n"), printedWarnings, warned;
    for (const std::string& line : Split(printed.err, "\n")) {
      (line.starts_with("quorix-cli: warning: ") ? printedWarnings : printedLines).push_back(line);
    }
    EXPECT_EQ(shown, printedLines);
    for (const std::string& w : JsonStrings(answered.out, "warnings")) warned.push_back("quorix-cli: warning: " + w);
    EXPECT_EQ(std::pair(warned, Split(answered.err, "\n")), std::pair(printedWarnings, printedWarnings));
  }
  const CliRun printed = Cli({"fit", "--no-progress", "clockwise.csv"});
  const CliRun answered = Cli({"fit", "--no-progress", "--json", "clockwise.csv"});
  ASSERT_EQ(std::tuple(printed.status, answered.status), std::tuple(0, 0)) << printed.err;
  EXPECT_EQ(JsonString(answered.out, "report"), printed.out);
  EXPECT_EQ(answered.err, printed.err);
}

// How quorix-cli meets a mistake: a misspelt option named with the closest one, unexpected arguments in the
// order given, one number grammar for every number option, no empty file name taken for standard output, a
// help or version text that cannot be written not called a success, and footers that hold for their
// subcommand.
using MannersTest = TempFolderTest;

constexpr const char* kHelpHint = "Run with --help for more information.\n";

TEST_F(MannersTest, MistakesGetExitTwoAndAMessageNamingWhatIsWrong) {
  Write("history.txt", "0\n0.1\n0\n");
  struct Case {
    Args args;
    std::string message;
    bool hinted = true;  // the option parser's own refusals add the hint of --help
  };
  const std::vector<Case> cases = {
      {{"solve", "--gama", "0.3", "--nn", "2"},
       "quorix-cli: solve has no option --gama; did you mean --gamma?\n"
       "quorix-cli: solve has no option --nn; did you mean --n?\n"},
      {{"sweep", "--form", "1"}, "quorix-cli: sweep has no option --form; did you mean --from?\n"},
      {{"fit", "--u-colum", "1", "history.txt"}, "quorix-cli: fit has no option --u-colum; did you mean --u-column?\n"},
      {{"solve", "--xyzzy=3"}, "quorix-cli: solve has no option --xyzzy\n"},
      {{"solve", "3", "4"}, "quorix-cli: The following arguments were not expected: 3 4\n"},
      // The grammar of --n in solve, for the options the parser converts itself.
      {{"response", "--n", "0x10", "history.txt"}, "quorix-cli: --n: \"0x10\" is not a number (the decimal point is '.')\n"},
      {{"response", "--gamma", "2 5", "history.txt"}, "quorix-cli: --gamma: \"2 5\" is not a number (the decimal point is '.')\n"},
      {{"response", "--uy", "1e999", "history.txt"}, "quorix-cli: --uy: number beyond the range of a double: 1e999\n"},
      {{"fit", "--z0", "abc", "history.txt"}, "quorix-cli: --z0: \"abc\" is not a number (the decimal point is '.')\n"},
      {{"solve", "--u", "2 5"},
       "quorix-cli: --u: \"2 5\" is not a number (the decimal point is '.'; --as-typed reads it as the window's field does, "
       "as 25)\n",
       false},
      {{"sweep", "-o", "", "--from", "1", "--to", "2", "--step", "1"},
       "quorix-cli: --output: an empty file name: give FILE, or '-' for standard output\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    const CliRun run = Cli(c.args);
    EXPECT_EQ(std::tuple(run.status, run.out, run.err), std::tuple(2, std::string(), c.message + (c.hinted ? kHelpHint : "")));
  }
  // A value the grammar takes reaches the model unchanged: --gamma 0.6 is not the default 0.9.
  const CliRun given = Cli({"response", "--gamma", "0.6", "history.txt"});
  const CliRun spelt = Cli({"response", "--gamma", " 6e-1 ", "history.txt"});
  EXPECT_EQ(std::tuple(given.status, spelt.out), std::tuple(0, given.out));
  EXPECT_NE(given.out, Cli({"response", "history.txt"}).out);
}

// Help and the version are output like any other: a full disk fails them.
TEST_F(MannersTest, HelpAndVersionThatCannotBeWrittenFail) {
  for (const Args& args : std::vector<Args>{{"--version"}, {"-V"}, {"--help"}, {"solve", "--help"}}) {
    SCOPED_TRACE(args.back());
    std::string command = CliCommand();
    for (const std::string& arg : args) command += " " + arg;
    EXPECT_EQ(WEXITSTATUS(std::system((command + " >/dev/full 2>/dev/null").c_str())), 1);
    EXPECT_EQ(Cli(args).status, 0);
  }
}

// Each subcommand's help: every entry line ("  --name ...") names an option
// of its own, once, and the footer speaks of --as-typed and --gamma only
// where the subcommand has them.
TEST_F(MannersTest, HelpListsEachOptionOnceAndFootersHoldForTheirSubcommand) {
  for (const std::string name : {"solve", "sweep", "loop", "parse", "cycles", "fit", "response"}) {
    SCOPED_TRACE(name);
    const std::string help = Cli({name, "--help"}).out;
    std::multiset<std::string> entries;
    for (const std::string& line : Split(help, "\n")) {
      if (line.starts_with("  -")) entries.insert(line.substr(2, line.find(' ', 2) - 2));
    }
    for (const std::string& entry : entries) EXPECT_EQ(entries.count(entry), 1u) << entry;
    const bool typed = entries.contains("--as-typed");
    const bool gamma = std::ranges::any_of(entries, [](const std::string& e) { return e.starts_with("--gamma"); });
    EXPECT_EQ(Has(help, "--as-typed reads"), typed);
    EXPECT_EQ(Has(help, "(--gamma -.5)"), typed && gamma);
    EXPECT_TRUE(help.ends_with("Exit status: 0 success, 1 the command failed, 2 bad command line.\n"));
  }
}

// verify end to end: the library's figures on records of OpenSees's documented BoucWen update (the sample
// counted from 1), the z column found or chosen, and the exit statuses for scripts.
using quorix::decimal::ShortestText;
using VerifyCommand = TempFolderTest;

std::string RecordText(const ProgramRecord& r, const std::string& header, bool withZ) {
  std::string text = header.empty() ? "" : header + "\n";
  for (std::size_t k = 0; k < r.u.size(); ++k) {
    text.append(ShortestText(r.u[k])).append(" ").append(ShortestText(r.F[k]));
    if (withZ) text.append(" ").append(ShortestText(r.z[k]));
    text.append("\n");
  }
  return text;
}

// A coarse record and a fine one with an error planted at sample 138 (1-based): the JSON's figures are the
// library's to the bit, and the planted sample is the one named.
TEST_F(VerifyCommand, FiguresAreTheLibrarys) {
  const OpenSeesBoucWenLaw law;
  ProgramRecord fine = FineRecord(law, SineHistory(3.0, 3, 100), 64);
  fine.F[137] += 0.03;
  for (const ProgramRecord& r : {BackwardEulerRecord(law, SineHistory(3.0, 3, 40)), fine}) {
    Write("record.txt", RecordText(r, "u F z", true));
    const CliRun run = Cli({"verify", "record.txt", "--material", law.Tcl(), "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    const quorix::verify::Report expected =
        quorix::verify::Verify(r.u, r.F, r.z, quorix::verify::ModelOfOpenSees(law.Tcl()));
    EXPECT_EQ(JsonNumber(run.out, "sample"), static_cast<double>(expected.force.at + 1));
    EXPECT_EQ(JsonNumber(run.out, "largest"), expected.force.largest);
    EXPECT_EQ(JsonNumber(run.out, "relative"), expected.force.relative);
    EXPECT_EQ(JsonNumber(run.out, "program_EDC"), expected.cycles.at(0).program);
    EXPECT_EQ(JsonNumber(run.out, "model_EDC"), expected.cycles.at(0).exact);
    EXPECT_EQ(Missing(run.out, {"schema", "sample_count", "z0", "F", "z", "relative", "tolerance", "verdict",
                                "verdict_text", "cycles", "cycles_note", "u", "program_F", "model_F", "program_z",
                                "model_z", "report"}),
              "");
  }
  EXPECT_TRUE(Has(Cli({"verify", "record.txt", "--material", law.Tcl()}).out, "at sample 138 (u = "));
}

// z by the header's name "z", by --z-column, or none: a record without names has no z unless it is chosen.
TEST_F(VerifyCommand, ZColumn) {
  const OpenSeesBoucWenLaw law;
  const ProgramRecord r = BackwardEulerRecord(law, SineHistory(3.0, 2, 40));
  Write("named.txt", RecordText(r, "u F z", true));
  Write("plain.txt", RecordText(r, "", true));
  const Args named{"verify", "named.txt", "--material", law.Tcl()};
  EXPECT_TRUE(Has(Cli(named).out, "\nz: largest difference"));
  Args plain{"verify", "plain.txt", "--material", law.Tcl()};
  EXPECT_FALSE(Has(Cli(plain).out, "\nz: "));
  plain.insert(plain.end(), {"--z-column", "3"});
  EXPECT_EQ(Cli(plain).out, Cli(named).out);
  // OpenSees's BoucWen is Wen's general law with Uy = 1, Fy = ko and its beta and gamma swapped: the same
  // figures by the other mapping, z's scale z_u included.
  const Args general{"verify", "named.txt", "--model", "general", "--A", "1.5", "--gamma", "0.6", "--beta", "0.3",
                     "--n", "2", "--alpha", "0.1", "--fy", "20", "--uy", "1"};
  const std::vector<std::string> byMaterial = Split(Cli(named).out, "\n"), byLaw = Split(Cli(general).out, "\n");
  ASSERT_EQ(byLaw.size(), byMaterial.size());
  // The two mappings may round the last bits apart: F's and z's relative differences, to three digits, agree.
  for (const std::size_t i : {1, 2}) {
    const std::size_t cut = byMaterial[i].find("; relative "), lawCut = byLaw[i].find("; relative ");
    ASSERT_NE(cut, std::string::npos) << byMaterial[i];
    ASSERT_NE(lawCut, std::string::npos) << byLaw[i];
    EXPECT_EQ(byLaw[i].substr(lawCut), byMaterial[i].substr(cut)) << i;
  }
}

// 0 checked (within the tolerance), 1 beyond it, 2 not checked.
TEST_F(VerifyCommand, ExitStatus) {
  const OpenSeesBoucWenLaw law;
  Write("coarse.txt", RecordText(BackwardEulerRecord(law, SineHistory(3.0, 2, 40)), "u F z", true));
  Write("u.txt", "0\n1\n-1\n");
  struct Row {
    Args extra;
    int status;
  } const rows[] = {
      {{"coarse.txt"}, 0},
      {{"coarse.txt", "--tolerance", "1"}, 0},
      {{"coarse.txt", "--tolerance", "1e-3"}, 1},
      {{"coarse.txt", "--tolerance", "1e-3", "--json"}, 1},
      {{"missing.txt"}, 2},
      {{"u.txt"}, 2},
      {{"coarse.txt", "--tolerance", "-1"}, 2},
      {{"coarse.txt", "--tolerance", "x"}, 2},
      {{"coarse.txt", "--accurate"}, 2},
  };
  for (const Row& row : rows) {
    Args args{"verify"};
    args.insert(args.end(), row.extra.begin(), row.extra.end());
    args.insert(args.end(), {"--material", law.Tcl()});
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, row.status) << row.extra[0] << " " << run.err;
    EXPECT_EQ(Has(run.out, "verdict"), row.status != 2) << row.extra[0];
  }
  // A report that cannot be written (a full disk) is a failure, never "exceeded".
  const std::string full = "cd '" + dir_.string() + "' && " + CliCommand() + " verify coarse.txt --material '" +
                           law.Tcl() + "' >/dev/full 2>/dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(full.c_str())), 2);
}

// isolation against the isolation room called directly: the JSON's numbers are the room's doubles, the
// system's N times the bearing's; and what it refuses, with exit status 2.
using IsolationCommandTest = TempFolderTest;
namespace iso = quorix::isolation;

const Args kCase{"--n", "1.5", "--gamma", "0.7", "--alpha", "0.08", "--fy", "120", "--uy", "0.012"};
const quorix::Case kC = quorix::NormalisedCase(1.5, 0.7, 0.08, 120.0, 0.012);

Args With(const Args& head, const Args& tail) {
  Args all = head;
  all.insert(all.end(), tail.begin(), tail.end());
  return all;
}

TEST_F(IsolationCommandTest, AtGivesTheRoomsPropertiesForOneBearingAndForN) {
  const CliRun run = Cli(With(With({"isolation", "at"}, kCase), {"--D", "0.05", "--bearings", "6", "--json"}));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Missing(run.out, {"schema", "bearings", "bearing", "Keff", "EDC", "betaEff", "Qd", "bilinear", "Kd", "Dy",
                              "system", "Keff"}),
            "");
  const iso::Properties p = iso::PropertiesAt(kC, 0.05);
  const iso::Bilinear b = iso::EquivalentBilinear(p);
  const std::string bearing = run.out.substr(run.out.find("\"bearing\":"), run.out.find("\"system\":") - run.out.find("\"bearing\":"));
  const std::string system = run.out.substr(run.out.find("\"system\":"));
  EXPECT_EQ(JsonNumber(bearing, "Keff"), p.Keff);
  EXPECT_EQ(JsonNumber(bearing, "EDC"), p.EDC);
  EXPECT_EQ(JsonNumber(bearing, "betaEff"), p.betaEff);
  EXPECT_EQ(JsonNumber(bearing, "Qd"), p.Qd);
  EXPECT_EQ(JsonNumber(bearing, "Kd"), b.Kd);
  EXPECT_EQ(JsonNumber(bearing, "Dy"), b.Dy);
  EXPECT_EQ(JsonNumber(system, "Keff"), 6.0 * p.Keff);
  EXPECT_EQ(JsonNumber(system, "EDC"), 6.0 * p.EDC);
  EXPECT_EQ(JsonNumber(system, "betaEff"), p.betaEff);
  EXPECT_EQ(JsonNumber(system, "Kd"), 6.0 * b.Kd);
  EXPECT_EQ(JsonNumber(system, "Dy"), b.Dy);
}

TEST_F(IsolationCommandTest, DesignGivesTheRoomsFixedPoints) {
  iso::DesignInput in;
  in.N = 4;
  in.W = 3000.0;
  in.g = 9.81;
  in.spectrum.table = {{0.5, 1.0}, {1.0, 0.8}, {2.0, 0.4}, {4.0, 0.15}};
  in.code = iso::Code::En1998;
  in.Dmin = 0.01 * kC.Uy;
  in.Dmax = 100.0 * kC.Uy;
  const iso::Design d = iso::DesignDisplacement(in, [](double D) { return iso::PropertiesAt(kC, D); });
  ASSERT_FALSE(d.points.empty());
  const CliRun run = Cli(With(With({"isolation", "design"}, kCase),
                              {"--bearings", "4", "--mass", "305.81039755351685", "--g", "9.81", "--spectrum",
                               "0.5:1,1:0.8,2:0.4,4:0.15", "--code", "en1998", "--json"}));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Missing(run.out, {"schema", "start", "iterations", "reached", "points", "D", "Keff", "Teff", "betaEff", "B",
                              "code", "source", "bilinear"}),
            "");
  // W = mass·g rounds to 3000 within an ulp or two: the same fixed point to 1e-12.
  EXPECT_NEAR(JsonNumber(run.out, "D"), d.points[0].bearing.D, 1e-12 * d.points[0].bearing.D);
  EXPECT_NEAR(JsonNumber(run.out, "Teff"), d.points[0].Teff, 1e-12 * d.points[0].Teff);
  EXPECT_EQ(JsonNumber(run.out, "reached"), d.reached);
}

// Two cases of α = 0.05 have Qd 190 and Kd 1000 at D = 0.15 (βeff rises and
// falls with D/Uy): both are found, each with the target when the room
// computes its loop again.
TEST_F(IsolationCommandTest, InverseGivesEveryCaseWithTheTarget) {
  const CliRun run = Cli({"isolation", "inverse", "--n", "2", "--gamma", "0.5", "--alpha", "0.05", "--D", "0.15", "--qd",
                          "190", "--kd", "1000", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto column = [&](const std::string& key) {
    const std::size_t open = run.out.find("\"" + key + "\": [") + key.size() + 5;
    std::vector<double> values;
    for (const std::string& text : Split(run.out.substr(open, run.out.find(']', open) - open) + ",", ",")) {
      double value = 0.0;
      quorix::decimal::ReadDouble(text.substr(text.find_first_not_of(' ')), value);
      values.push_back(value);
    }
    return values;
  };
  const std::vector<double> fy = column("fy"), uy = column("uy");
  ASSERT_EQ(uy.size(), 2u) << run.out;
  for (std::size_t i = 0; i < uy.size(); ++i) {
    const iso::Properties p = iso::PropertiesAt(quorix::NormalisedCase(2.0, 0.5, 0.05, fy[i], uy[i]), 0.15);
    EXPECT_NEAR(p.Qd, 190.0, 1e-9 * 190.0) << i;
    EXPECT_NEAR(iso::EquivalentBilinear(p).Kd, 1000.0, 1e-8 * 1000.0) << i;
  }
}

TEST_F(IsolationCommandTest, RefusesWithExitStatusTwo) {
  const Args design = With(With({"isolation", "design"}, kCase), {"--W", "3000", "--s1", "0.4"});
  const std::vector<std::pair<Args, std::string>> cases = {
      {With(With({"isolation", "at"}, kCase), {"--D", "-1"}), "D must be positive and finite: -1"},
      {With(With({"isolation", "at"}, kCase), {"--D", "0.1", "--bearings", "2.5"}), "--bearings"},
      {With(With({"isolation", "at"}, kCase), {"--D", "0.1", "--bearing", "2"}), "did you mean --bearings?"},
      {With(With({"isolation", "at"}, kCase), {"--D", "--json"}), "--D"},
      {With(With({"isolation", "at"}, {"--n", "-2"}), {"--D", "0.1"}), "n must be positive"},
      {design, "--g is needed"},
      {With(design, {"--g", "9.81", "--code", "nbc"}), "--code"},
      {With(design, {"--g", "9.81", "--dmin", "1", "--dmax", "0.5"}), "upper end"},
      {With(With({"isolation", "design"}, kCase), {"--W", "3000", "--g", "9.81", "--spectrum", "1:0.5,0.5:0.8"}),
       "rising"},
      // A slowly saturating loop, whose hysteretic share of Kd·D is more than 1e-4 of it.
      {{"isolation", "bounds", "--n", "0.5", "--gamma", "0.5", "--alpha", "0.01", "--fy", "120", "--uy", "0.012", "--W",
        "3000", "--g", "9.81", "--s1", "0.4", "--lambda-min", "1,0.0001", "--lambda-max", "1.2"},
       "the factor on Kd must be at least"},
      {{"isolation", "inverse", "--n", "2", "--gamma", "0.5", "--uy", "0.01", "--D", "0.15", "--keff", "2000"},
       "inverse takes a target"},
      {{"isolation", "inverse", "--n", "2", "--gamma", "0.5", "--D", "0.15", "--qd", "190", "--kd", "1000"},
       "give exactly one"},
      {{"isolation", "inverse", "--n", "2", "--gamma", "0.5", "--alpha", "0.05", "--D", "0.15", "--keff", "2000",
        "--beta-eff", "0.9"},
       "it reaches betaEff from"},
  };
  for (const auto& [args, words] : cases) {
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 2) << words << ": " << run.err;
    EXPECT_TRUE(Has(run.err, words)) << run.err;
  }
}

}  // namespace
