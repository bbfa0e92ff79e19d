// quorix-cli's answers beside its numbers: the texts of --json against the text output (what a person reads,
// so the independent source), output that cannot be written, and verify against its room called directly.
#include <gtest/gtest.h>

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
using quorix::decimal::ShortestText;
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

// The members of one named object: {"Za": ..., ...} after "key": {.
std::string Member(const std::string& json, const std::string& object) {
  const std::size_t at = json.find("\"" + object + "\": {");
  return at == std::string::npos ? "" : json.substr(at, json.find('}', at) - at + 1);
}

// solve's text output against --json: every caption and text, and the lines of --as all.
TEST_F(JsonAnswerTest, SolveCarriesTheCaptionsTextsAndMaterialLinesItPrints) {
  const char* names[] = {"Za", "Fha", "Fela", "Fa", "Kcd", "Kda", "DEOverFyUy", "DEOverFhUy", "DE",
                         "XiEq", "Ksec", "KsecOverK0"};
  for (const Args& options : std::vector<Args>{{"--u", "0"},  // no cycle: NaN texts
                                               {"--material", "uniaxialMaterial BoucWen 1 0.1 25.77 2 8.12 73.05 1 0 0 0"}}) {
    SCOPED_TRACE(options.front());
    Args text{"solve", "--as", "all"};
    text.insert(text.end(), options.begin(), options.end());
    Args json = text;
    json.insert(json.begin() + 1, "--json");
    const CliRun printed = Cli(text), answered = Cli(json);
    ASSERT_EQ(std::tuple(printed.status, answered.status), std::tuple(0, 0)) << printed.err << answered.err;
    std::vector<std::string> lines = Split(printed.out, "\n");
    if (lines.front().starts_with("case: ")) lines.erase(lines.begin());
    ASSERT_GT(lines.size(), 12u);
    for (int i = 0; i < 12; ++i) {
      const std::size_t start = lines[i].find_first_not_of(' '), at = lines[i].find(" : ");
      const std::string texts = Member(answered.out, i < 9 ? "texts" : "derived_texts");
      EXPECT_EQ(JsonString(Member(answered.out, "captions"), names[i]), lines[i].substr(start, at + 2 - start));
      EXPECT_EQ(JsonString(texts, names[i]), lines[i].substr(at + 3)) << names[i];
    }
    std::vector<std::string> after;
    for (std::size_t i = 12; i < lines.size(); ++i) {
      if (!lines[i].empty()) after.push_back(lines[i]);
    }
    EXPECT_EQ(JsonStrings(answered.out, "material_lines"), after);
  }
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
      {{"solve", "--material", "uniaxialMaterial Steel01 1 2 3 4"}, "--material", "uniaxialMaterial Steel01 1 2 3 4",
       "<none>"},
      {{"sweep", "--alpha", "1"}, "--alpha", "1", "alpha must lie in [0, 1): 1 (outside the model's domain)"},
      {{"fit", "--no-progress", "missing.csv"}, "<none>", "<none>", "<none>"},
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
    EXPECT_TRUE(answered.out.starts_with("{\"schema\": \"quorix-cli/1.1\", \"refusal\": {") &&
                Count(answered.out, '\n') == 1) << answered.out;
    EXPECT_EQ(std::tuple(JsonString(answered.out, "message"), JsonString(answered.out, "option"),
                         JsonString(answered.out, "value")), std::tuple(message, c.option, c.value));
    if (c.reason != "<none>" || c.option == "<none>") { EXPECT_EQ(JsonString(answered.out, "reason"), c.reason); }
    if (c.option != "<none>") { EXPECT_EQ(c.option + ": " + JsonString(answered.out, "reason"), message); }
  }
  // A value typed in bytes that are not UTF-8 comes back as U+FFFD, one for each byte that begins no well-formed
  // sequence (a lone continuation byte, an overlong form, a surrogate, a sequence cut short), the rest as it was.
  const CliRun bytes = Cli({"solve", "--json", "--material", "\xC2\xB5 \x80 \xC0\xAF \xED\xA0\x80 \xF0\x9F\x98"});
  const std::string r = "\\ufffd";
  EXPECT_TRUE(Has(bytes.out, "\"value\": \"\xC2\xB5 " + r + " " + r + r + " " + r + r + r + " " + r + r + r + "\""))
      << bytes.out;
}

// cycles' and fit's reports against their answers: the table's cells and the lines under it, the report with
// its 95 % intervals (those of a record integrated from known parameters with noise on F and u; their coverage
// is tests/measured's), and the warnings standard error gives.
TEST_F(JsonAnswerTest, CyclesAndFitCarryTheirReportsAndWarnings) {
  namespace mt = quorix::measured::testing;
  mt::Synthetic rec = mt::MakeRecord({2.5, 0.75, 0.08, 3.1, 0.15}, {{0.075, 2, false}, {0.15, 2, false}, {0.3, 2, false}},
                                     100, 4);
  mt::AddNoise(rec, 0.01, 0.001, 0.0, 20261210);
  std::vector<double> reversed;  // the force's sign reversed: warned of
  for (const double F : rec.F) reversed.push_back(-F);
  Write("record.csv", PairsText("disp [mm];force [kN]\n", rec.u, rec.F));
  Write("counter.csv", PairsText("disp [mm];force [kN]\n", rec.u, reversed));
  for (const std::string file : {"record.csv", "counter.csv"}) {
    SCOPED_TRACE(file);
    const CliRun printed = Cli({"cycles", file}), answered = Cli({"cycles", "--json", file});
    ASSERT_EQ(std::tuple(printed.status, answered.status), std::tuple(0, 0)) << printed.err;
    // The table's rows of cells, joined by TABs, and the notes; on standard output and error in the text output.
    std::vector<std::string> shown, printedLines = Split(printed.out, "\n"), printedWarnings, warned;
    std::size_t at = answered.out.find("\"table\": [[") + 10;
    for (; answered.out[at] == '['; at += answered.out[at] == ',' ? 2 : 0) {
      std::string row;
      for (const std::string& cell : ReadStrings(answered.out, at)) row += (row.empty() ? "" : "\t") + cell;
      shown.push_back(row);
    }
    for (const std::string& note : JsonStrings(answered.out, "notes")) shown.push_back(note);
    for (const std::string& line : Split(printed.err, "\n")) {
      (line.starts_with("quorix-cli: warning: ") ? printedWarnings : printedLines).push_back(line);
    }
    EXPECT_EQ(shown, printedLines);
    for (const std::string& w : JsonStrings(answered.out, "warnings")) warned.push_back("quorix-cli: warning: " + w);
    EXPECT_EQ(std::pair(warned, Split(answered.err, "\n")), std::pair(printedWarnings, printedWarnings));
  }
  const CliRun printed = Cli({"fit", "--no-progress", "record.csv"});
  const CliRun answered = Cli({"fit", "--no-progress", "--json", "record.csv"});
  ASSERT_EQ(std::tuple(printed.status, answered.status), std::tuple(0, 0)) << printed.err;
  EXPECT_EQ(std::pair(JsonString(answered.out, "report"), answered.err), std::pair(printed.out, printed.err));
  // Each free parameter's row: value, standard error, "low ... high" around the value, the JSON's bounds; a held
  // one (z0) "fixed", no interval in the text and the value twice in the JSON. The steady fit has none.
  EXPECT_TRUE(printed.out.starts_with("parameter\tvalue\tstandard error\t95 % interval\n")) << printed.out;
  const std::size_t intervals = answered.out.find("\"interval95\": {");
  std::size_t rows = 0;
  for (const std::string& line : Split(printed.out, "\n")) {
    const std::vector<std::string> cells = Split(line + "\t", "\t");
    const std::size_t dots = cells.size() == 4 ? cells[3].find(" ... ") : std::string::npos;
    if (dots == std::string::npos) continue;
    ++rows;
    const double low = std::stod(cells[3].substr(0, dots)), high = std::stod(cells[3].substr(dots + 5));
    EXPECT_TRUE(low < std::stod(cells[1]) && std::stod(cells[1]) < high) << line;
    const std::string key = cells[0] == "Fy" ? "fy" : cells[0] == "Uy" ? "uy" : cells[0];
    EXPECT_EQ(JsonNumbers(answered.out, key, intervals), (std::vector<double>{low, high})) << line;
  }
  EXPECT_EQ(rows, 5u) << printed.out;
  EXPECT_TRUE(Has(printed.out, "\nz0\t0\tfixed\n") && Has(answered.out.substr(intervals), "\"z0\": [0, 0]"));
  const CliRun steady = Cli({"fit", "--steady", "--json", "record.csv"});
  EXPECT_TRUE(Has(steady.out, "\"errors\": {") && !Has(steady.out, "interval95")) << steady.out << steady.err;
  EXPECT_TRUE(Cli({"fit", "--steady", "record.csv"}).out.starts_with("parameter\tvalue\tstandard error\n"));
}

// The record of two layers that one element fits in two valleys alike (synthetic.h), n and γ held: the text
// lists the other fit and standard error warns of it once.
TEST_F(JsonAnswerTest, WarnsOnceOfTheOtherFitOfTwoLayers) {
  const quorix::measured::testing::Synthetic rec = quorix::measured::testing::TwoLayers();
  Write("layers.csv", PairsText("u;F\n", rec.u, rec.F));
  const CliRun run = Cli({"fit", "layers.csv", "--fix", "n=4", "--fix", "gamma=0.5"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Split(run.err, "warning: other fits as good: ").size(), 1u) << run.err;
  EXPECT_TRUE(Has(run.err, "the record does not tell alpha, Fy and Uy apart")) << run.err;
  EXPECT_TRUE(Has(run.out, "\nother fits as good (")) << run.out;
}

// Help and the version are output like any other: a full disk fails them.
TEST_F(JsonAnswerTest, HelpAndVersionThatCannotBeWrittenFail) {
  for (const Args& args : std::vector<Args>{{"--version"}, {"-V"}, {"--help"}, {"solve", "--help"}}) {
    std::string command = CliCommand();
    for (const std::string& arg : args) command += " " + arg;
    EXPECT_EQ(WEXITSTATUS(std::system((command + " >/dev/full 2>/dev/null").c_str())), 1) << args.back();
    EXPECT_EQ(Cli(args).status, 0) << args.back();
  }
}

// verify end to end: the library's figures on records of OpenSees's documented BoucWen update (the sample
// counted from 1), the z column found or chosen, and the exit statuses for scripts.
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

// A fine record with an error planted at sample 138 (1-based): the JSON's figures are the library's to the bit,
// and the planted sample is the one named.
TEST_F(VerifyCommand, FiguresAreTheLibrarys) {
  const OpenSeesBoucWenLaw law;
  ProgramRecord r = FineRecord(law, SineHistory(3.0, 3, 100), 64);
  r.F[137] += 0.03;
  Write("record.txt", RecordText(r, "u F z", true));
  const CliRun run = Cli({"verify", "record.txt", "--material", law.Tcl(), "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  const quorix::verify::Report expected =
      quorix::verify::Verify(r.u, r.F, r.z, quorix::verify::ModelOfOpenSees(law.Tcl()));
  EXPECT_EQ(JsonNumber(run.out, "sample"), 138.0);
  EXPECT_EQ(std::tuple(JsonNumber(run.out, "largest"), JsonNumber(run.out, "relative"),
                       JsonNumber(run.out, "program_EDC"), JsonNumber(run.out, "model_EDC")),
            std::tuple(expected.force.largest, expected.force.relative, expected.cycles.at(0).program,
                       expected.cycles.at(0).exact));
  EXPECT_EQ(Missing(run.out, {"schema", "sample_count", "z0", "F", "z", "relative", "tolerance", "verdict",
                              "verdict_text", "cycles", "cycles_note", "u", "program_F", "model_F", "program_z",
                              "model_z", "report"}), "");
  EXPECT_TRUE(Has(Cli({"verify", "record.txt", "--material", law.Tcl()}).out, "at sample 138 (u = "));
}

// z by the header's name "z", by --z-column, or none: a record without names has no z unless it is chosen; a
// missing one refused as z. The
// law given as Wen's general one (OpenSees's BoucWen with Uy = 1, Fy = ko, beta and gamma swapped) gives the
// same relative differences, z's scale z_u included, to the digits printed.
TEST_F(VerifyCommand, ZColumn) {
  const OpenSeesBoucWenLaw law;
  const ProgramRecord r = BackwardEulerRecord(law, SineHistory(3.0, 2, 40));
  Write("named.txt", RecordText(r, "u F z", true));
  Write("plain.txt", RecordText(r, "", true));
  const std::string named = Cli({"verify", "named.txt", "--material", law.Tcl()}).out;
  EXPECT_TRUE(Has(named, "\nz: largest difference"));
  EXPECT_FALSE(Has(Cli({"verify", "plain.txt", "--material", law.Tcl()}).out, "\nz: "));
  EXPECT_EQ(Cli({"verify", "plain.txt", "--material", law.Tcl(), "--z-column", "3"}).out, named);
  // A z column the record lacks is named as z, not as the force it is read in place of.
  EXPECT_TRUE(Has(Cli({"verify", "plain.txt", "--material", law.Tcl(), "--z-column", "6"}).err,
                  "--z-column: the z column 6: the record has columns 1 to 3"));
  const std::vector<std::string> byMaterial = Split(named, "\n"),
                                 byLaw = Split(Cli({"verify", "named.txt", "--model", "general", "--A", "1.5", "--gamma",
                                                    "0.6", "--beta", "0.3", "--n", "2", "--alpha", "0.1", "--fy", "20",
                                                    "--uy", "1"}).out, "\n");
  ASSERT_EQ(byLaw.size(), byMaterial.size());
  for (const std::size_t i : {1, 2}) {  // F's and z's
    const std::size_t cut = byMaterial[i].find("; relative "), lawCut = byLaw[i].find("; relative ");
    ASSERT_TRUE(cut != std::string::npos && lawCut != std::string::npos) << byMaterial[i] << "\n" << byLaw[i];
    EXPECT_EQ(byLaw[i].substr(lawCut), byMaterial[i].substr(cut)) << i;
  }
}

// 0 checked (within the tolerance), 1 beyond it, 2 not checked; a report that cannot be written (a full disk) is
// a failure, never "exceeded".
TEST_F(VerifyCommand, ExitStatus) {
  const OpenSeesBoucWenLaw law;
  Write("coarse.txt", RecordText(BackwardEulerRecord(law, SineHistory(3.0, 2, 40)), "u F z", true));
  Write("u.txt", "0\n1\n-1\n");
  const std::pair<Args, int> rows[] = {
      {{"coarse.txt"}, 0}, {{"coarse.txt", "--tolerance", "1"}, 0}, {{"coarse.txt", "--tolerance", "1e-3"}, 1},
      {{"coarse.txt", "--tolerance", "1e-3", "--json"}, 1}, {{"missing.txt"}, 2}, {{"u.txt"}, 2},
      {{"coarse.txt", "--tolerance", "-1"}, 2}, {{"coarse.txt", "--tolerance", "x"}, 2}, {{"coarse.txt", "--accurate"}, 2}};
  for (const auto& [extra, status] : rows) {
    Args args{"verify"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {"--material", law.Tcl()});
    const CliRun run = Cli(args);
    EXPECT_EQ(std::pair(run.status, Has(run.out, "verdict")), std::pair(status, status != 2)) << extra[0] << run.err;
  }
  const std::string full = "cd '" + dir_.string() + "' && " + CliCommand() + " verify coarse.txt --material '" +
                           law.Tcl() + "' >/dev/full 2>/dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(full.c_str())), 2);
}

}  // namespace
