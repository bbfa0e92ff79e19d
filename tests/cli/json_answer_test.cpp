// The texts that --json answers carry for a reader that shows them (the page): each against the same
// command's text output and messages, which are what a person reads and so the independent source.
#include <string>
#include <tuple>
#include <vector>

#include "cli_process.h"
#include "decimal.h"
#include "synthetic.h"

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

// Every answer, and each line of --jsonl, names the schema of its keys first.
TEST_F(JsonAnswerTest, EveryAnswerBeginsWithItsSchema) {
  Write("history.txt", "0;0\n1;1\n0;0\n-1;-1\n0;0\n1;1\n0;0\n");
  const std::vector<Args> commands = {
      {"solve", "--json"},           {"loop", "--points", "3", "--json"},       {"eval", "gamma", "2.5", "--json"},
      {"eval", "amplitude", "0.5", "2", "0.1", "0.9", "--json"}, {"response", "--json", "history.txt"},
      {"cycles", "--json", "history.txt"}, {"sweep", "--jsonl", "--from", "1", "--to", "2", "--step", "1"},
  };
  for (const Args& args : commands) {
    const CliRun run = Cli(args);
    const std::vector<std::string> lines = Split(run.out, "\n");
    ASSERT_FALSE(lines.empty()) << args.front() << run.err;
    for (const std::string& line : lines) EXPECT_TRUE(line.starts_with("{\"schema\": \"quorix-cli/1.1\", \"")) << line;
  }
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

}  // namespace
