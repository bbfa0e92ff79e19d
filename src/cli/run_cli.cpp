// The command line of quorix-cli, run on the streams of a CliSettings.
//
// Exit status: 0 on success (also for --help), 1 when the command fails
// (a message on standard error says what failed), 2 for a bad command line.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <iterator>
#include <utility>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "cli.h"
#include "cli_common.h"
#include "measured_commands.h"

namespace quorix::cli {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// Whether the text, blanks ignored as the fields ignore them, is exactly a
// number: an optional sign, digits with at most one point (at least one
// digit), and an optional exponent with at least one digit.
bool IsCompleteNumber(std::string_view text) {
  std::string t;
  for (char c : text) {
    if (!IsBlank(c)) t += c;
  }
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t exponentDigits = 0;
    while (i < t.size() && IsDigit(t[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  return i == t.size();
}

// Whether a command-line argument is a number text that the option parser
// would take for an option name. It takes "-" and a digit for a value
// itself, and "-" with a blank after it is no option name either; "-." and
// the rest of a number ("-.5", "-.5e3") is.
bool IsNumberLookingLikeOption(const char* argument) {
  const std::string_view text(argument);
  return text.size() >= 3 && text[0] == '-' && text[1] == '.' && IsCompleteNumber(text);
}

// Whether the option parser may take an argument for -h or --help: the flag
// itself, or a cluster of short flags that starts with it.
bool AsksForHelp(const std::string& argument) {
  return argument == "--help" || (argument.size() >= 2 && argument[0] == '-' && argument[1] == 'h');
}

// The option parser gives an option the argument after it as its value,
// whatever it looks like, so that "--fy -2.5" works; "--fy --json" would
// read Fy from the text "--json" (as 0) and ignore --json. An argument that
// starts with "--" and a letter is an option someone forgot a value before:
// a bad command line. "--fy=--json" still gives the text on purpose.
void RefuseOptionsAsValues(const CLI::App& command, const std::vector<std::string>& arguments) {
  for (std::size_t i = 2; i + 1 < arguments.size() && arguments[i] != "--"; ++i) {
    const CLI::Option* option = command.get_option_no_throw(arguments[i]);
    const std::string& next = arguments[i + 1];
    if (option == nullptr || option->get_items_expected_min() == 0 || option->get_positional()) continue;
    if (next.size() > 2 && next.starts_with("--") && std::isalpha(static_cast<unsigned char>(next[2])) != 0) {
      throw CLI::ArgumentMismatch(arguments[i] + " needs a value before the option " + next);
    }
  }
}

// Writes a message of the option parser to a stream of the settings.
void Put(std::FILE* stream, const std::string& text) { std::fwrite(text.data(), 1, text.size(), stream); }

}  // namespace

int RunCli(int argc, const char* const* argv, const CliSettings& settings) {
  const ScopedSettings scoped(settings);
  CLI::App app("Bouc-Wen dissipated energy in closed form: solver, special functions and number texts", "quorix-cli");
  app.require_subcommand(1);
  app.footer(
      "Number texts are read as the window's fields read them; a negative one may be written as it is\n"
      "(quorix-cli parse -.5).\n"
      "Exit status: 0 success, 1 the command failed, 2 bad command line.");

  // Building a subcommand's options is most of what the program itself
  // does at start-up, so only the subcommand named first is built. Any
  // other first argument (--help, a misspelt name, none) gets them all, for
  // the overall help and the parser's messages.
  int exitCode = 0;
  using Add = void (*)(CLI::App&, int&);
  static constexpr std::pair<std::string_view, Add> kCommands[] = {
      {"eval", AddEvalCommand},          {"solve", AddSolveCommand},       {"sweep", AddSweepCommand},
      {"loop", AddLoopCommand},          {"parse", AddTextCommands},       {"format-fixed", AddTextCommands},
      {"format-plain", AddTextCommands}, {"cycles", AddCyclesCommand},     {"fit", AddFitCommand},
      {"response", AddResponseCommand},
  };
  const std::string_view first = argc > 1 && argv[1] != nullptr ? argv[1] : "";
  const auto named = std::find_if(std::begin(kCommands), std::end(kCommands),
                                  [first](const auto& command) { return command.first == first; });
  if (named != std::end(kCommands)) {
    named->second(app, exitCode);
  } else {
    Add previous = nullptr;
    for (const auto& [name, add] : kCommands) {
      if (add != previous) add(app, exitCode);
      previous = add;
    }
  }

  // The option parser reads "-2.5" as a value but "-.5" as the option "-."
  // with a value "5". Such an argument is handed on as "-0.5", which every
  // field reads as the same number.
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) {
    arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
    if (i > 0 && IsNumberLookingLikeOption(argv[i])) arguments.back().insert(1, "0");
  }
  std::vector<const char*> pointers;
  for (const std::string& a : arguments) pointers.push_back(a.c_str());

  try {
    if (named != std::end(kCommands)) RefuseOptionsAsValues(*app.get_subcommand(std::string(first)), arguments);
    try {
      app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::CallForHelp&) {
      // A subcommand with no operand left hands every argument after "--"
      // back to the top level, which would read "-h" there as a request for
      // help. After "--" it is an operand like the others, all unexpected.
      const auto end = std::find(arguments.begin() + 1, arguments.end(), "--");
      if (end == arguments.end() || std::any_of(arguments.begin() + 1, end, AsksForHelp)) throw;
      // (The parser keeps its arguments last first, and so lists them.)
      throw CLI::ExtrasError(std::vector<std::string>(arguments.rbegin(), std::make_reverse_iterator(end + 1)));
    }
  } catch (const CLI::ParseError& e) {
    // --help and --version arrive here as "errors" with status 0.
    std::ostringstream out, err;
    const int status = app.exit(e, out, err);
    Put(settings.out, out.str());
    Put(settings.err, err.str());
    std::fflush(settings.out);
    return status == 0 ? 0 : 2;
  }
  errno = 0;
  if (std::fflush(settings.out) != 0 && exitCode == 0) {
    std::fprintf(settings.err, "quorix-cli: cannot write standard output: %s\n",
                 std::generic_category().message(errno).c_str());
    exitCode = 1;
  }
  return exitCode;
}

}  // namespace quorix::cli
