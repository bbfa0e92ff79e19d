// How quorix-cli meets a mistake: a misspelt option named with the closest
// one, unexpected arguments in the order given, one number grammar for every
// number option, no empty file name taken for standard output, a help or
// version text that cannot be written not called a success, and footers and
// option lists that hold for their subcommand.
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "cli_process.h"

namespace {

using namespace quorix::testing;
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
  for (const Args& args : std::vector<Args>{{"--version"}, {"--help"}, {"solve", "--help"}}) {
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

}  // namespace
