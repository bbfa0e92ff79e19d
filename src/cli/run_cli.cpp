// The command line of quorix-cli, run on the streams of a CliSettings.
//
// Exit status: 0 on success (also for --help), 1 when the command fails
// (a message on standard error says what failed), 2 for a bad command line.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <iterator>
#include <memory>
#include <set>
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
#include "numbertext.h"

namespace quorix::cli {

namespace {

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

// The same for -V and --version (also in a cluster of short flags, "-Vx").
bool AsksForVersion(const std::string& argument) {
  return argument.starts_with("--version") ||
         (argument.size() >= 2 && argument[0] == '-' && argument[1] != '-' && argument.find('V') != std::string::npos);
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

// The option parser's help with every line longer than 80 columns wrapped
// at blanks, each continuation indented to where the line's text begins
// after its option names (or to the line's own indent): readable on a
// terminal and in the man pages made from it. Entry lines keep their
// form ("  NAME  text"), so the completion's reading of them holds.
class WrappingFormatter : public CLI::Formatter {
 public:
  std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
    std::istringstream in(CLI::Formatter::make_help(app, std::move(name), mode));
    std::string out, line;
    while (std::getline(in, line)) out += Wrap(line);
    return out;
  }

  static std::string Wrap(const std::string& line) {
    constexpr std::size_t kWidth = 80;
    if (line.size() <= kWidth) return line + "\n";
    const std::size_t lead = line.find_first_not_of(' ');
    // An entry: names, then a gap of two blanks or more, then its text. An
    // entry's names too long for one line go on four columns further in, so
    // that no continuation reads as an entry of its own (the completion
    // reads entries as lines indented by two).
    constexpr std::size_t kEntryIndent = 2;
    std::size_t indent = lead == kEntryIndent ? lead + 4 : lead;
    const std::size_t gap = line.find("  ", lead);
    if (lead > 0 && gap != std::string::npos && gap < kWidth / 2) {
      indent = line.find_first_not_of(' ', gap);
    }
    std::string out = line.substr(0, indent), rest = line.substr(indent);
    std::size_t column = indent;
    std::istringstream words(rest);
    std::string word;
    bool first = true;
    while (words >> word) {
      if (!first && column + 1 + word.size() > kWidth) {
        out += "\n" + std::string(indent, ' ');
        column = indent;
        first = true;
      }
      if (!first) {
        out += ' ';
        ++column;
      }
      out += word;
      column += word.size();
      first = false;
    }
    return out + "\n";
  }
};

// The number of single-character insertions, deletions and substitutions
// that turn a into b.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The closest of `names` to `word`, when near enough to be what was meant
// (at most two edits, or a third of the name's letters); empty otherwise.
std::string_view Closest(std::string_view word, const std::vector<std::string_view>& names) {
  std::string_view closest;
  std::size_t best = std::string_view::npos;
  for (const std::string_view name : names) {
    const std::size_t d = EditDistance(word, name);
    if (d < best) {
      best = d;
      closest = name;
    }
  }
  return best <= std::max<std::size_t>(2, closest.size() / 3) ? closest : std::string_view();
}

// One line for each "--name" among the arguments that the subcommand has no
// option of, with the closest name it has ("--gama": did you mean --gamma?).
// Arguments after "--" are operands, and "--fy=2" is named "--fy".
std::string UnknownOptionLines(const CLI::App& command, const std::vector<std::string>& arguments) {
  std::vector<std::string> longNames;
  for (const CLI::Option* option : command.get_options()) {
    for (const std::string& name : option->get_lnames()) longNames.push_back("--" + name);
  }
  const std::vector<std::string_view> names(longNames.begin(), longNames.end());
  std::string lines;
  for (std::size_t i = 2; i < arguments.size() && arguments[i] != "--"; ++i) {
    const std::string& argument = arguments[i];
    if (argument.size() < 3 || !argument.starts_with("--") || std::isalpha(static_cast<unsigned char>(argument[2])) == 0)
      continue;
    const std::string name = argument.substr(0, argument.find('='));
    if (command.get_option_no_throw(name) != nullptr) continue;
    const std::string_view closest = Closest(name, names);
    lines += "quorix-cli: " + command.get_name() + " has no option " + name;
    lines += closest.empty() ? std::string("\n") : "; did you mean " + std::string(closest) + "?\n";
  }
  return lines;
}

// Writes a message of the option parser to a stream of the settings.
void Put(std::FILE* stream, const std::string& text) { std::fwrite(text.data(), 1, text.size(), stream); }

// Adds a subcommand, with its options, to the program's parser.
using SubcommandAdder = void (*)(CLI::App&, int&);
// A subcommand's name and its adder; several names may share one adder, which
// adds them all.
using Subcommand = std::pair<std::string_view, SubcommandAdder>;
constexpr Subcommand kSubcommands[] = {
    {"eval", AddEvalCommand},          {"solve", AddSolveCommand},       {"sweep", AddSweepCommand},
    {"loop", AddLoopCommand},          {"parse", AddTextCommands},       {"format-fixed", AddTextCommands},
    {"format-plain", AddTextCommands}, {"cycles", AddCyclesCommand},     {"fit", AddFitCommand},
    {"response", AddResponseCommand},  {"verify", AddVerifyCommand},  {"isolation", AddIsolationCommand},
};

constexpr const char* kExitStatusLine = "Exit status: 0 success, 1 the command failed, 2 bad command line.";

// The program's name, version, help footer and the rule of one subcommand.
void DescribeProgram(CLI::App& app) {
  app.formatter(std::make_shared<WrappingFormatter>());
  app.require_subcommand(1);
  app.set_version_flag("-V,--version", "quorix-cli " QUORIX_VERSION);
  app.footer(kExitStatusLine);
  // Every refusal in one form: the parser's own begin with the program's
  // name too, as the commands' refusals do.
  app.failure_message([](const CLI::App* failed, const CLI::Error& e) {
    std::string text = "quorix-cli: " + std::string(e.what()) + "\n";
    if (failed->get_help_ptr() != nullptr) text += "Run with --help for more information.\n";
    return text;
  });
}

// Each subcommand's footer: its own (the sweep's word on signals), how its
// number options are read where it has them, and the exit statuses; only
// what holds for that subcommand, in sentences the formatter wraps.
void DescribeSubcommands(CLI::App& app) {
  for (CLI::App* command : app.get_subcommands({})) {
    // A subcommand with exit statuses of its own (verify's) says them itself.
    if (command->get_footer().starts_with("Exit status") && command->get_footer() != kExitStatusLine) continue;
    std::string footer = command->get_footer() == kExitStatusLine ? "" : command->get_footer() + "\n\n";
    if (command->get_option_no_throw("--as-typed") != nullptr) {
      footer += "A number option takes a complete number ('2.5'; '2,5' and 'abc' are refused); --as-typed reads "
                "numbers as the window's fields do.";
      if (command->get_option_no_throw("--gamma") != nullptr) {
        footer += " A negative one may be written as it is (--gamma -.5).";
      }
      footer += "\n";
    }
    command->footer(footer + kExitStatusLine);
    DescribeSubcommands(*command);
  }
}

// What to tell someone who wrote a word that names no subcommand: the
// closest name when it is near enough, else every name.
std::string UnknownSubcommandHint(std::string_view word) {
  std::vector<std::string_view> names;
  std::string all;
  for (const auto& [name, add] : kSubcommands) {
    all += (all.empty() ? "" : ", ") + std::string(name);
    names.push_back(name);
  }
  const std::string_view closest = Closest(word, names);
  return closest.empty() ? "the subcommands are " + all : "did you mean " + std::string(closest) + "?";
}

// Building a subcommand's options is most of what the program itself does
// at start-up, so only the subcommand named first is built. Any other first
// argument (--help, a misspelt name, none) gets them all, for the overall
// help and the parser's messages.
void AddSubcommands(CLI::App& app, const Subcommand* named, int& exitCode) {
  if (named != std::end(kSubcommands)) {
    named->second(app, exitCode);
    return;
  }
  SubcommandAdder previous = nullptr;
  for (const auto& [name, add] : kSubcommands) {
    if (add != previous) add(app, exitCode);
    previous = add;
  }
}

// The arguments as the parser is to read them. It reads "-2.5" as a value
// but "-.5" as the option "-." with a value "5". Such an argument is handed
// on as "-0.5", which every field reads as the same number.
std::vector<std::string> ArgumentsForParser(int argc, const char* const* argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) {
    arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
    if (i > 0 && IsNumberLookingLikeOption(argv[i])) arguments.back().insert(1, "0");
  }
  return arguments;
}

// The parser's complaint of arguments it did not expect, listing them in
// the order given (its message joins the list it is given last first).
CLI::ExtrasError ExtrasInOrder(const CLI::App& app, const std::vector<std::string>& arguments) {
  std::multiset<std::string> left;
  for (const CLI::App* command : app.get_subcommands()) {
    for (const std::string& extra : command->remaining()) left.insert(extra);
  }
  for (const std::string& extra : app.remaining()) left.insert(extra);
  std::vector<std::string> extras;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (const auto at = left.find(arguments[i]); at != left.end()) {
      extras.push_back(arguments[i]);
      left.erase(at);
    }
  }
  std::reverse(extras.begin(), extras.end());
  return CLI::ExtrasError(extras);
}

// Parses the arguments, which runs the subcommand. Throws CLI::ParseError
// for a bad command line, and for --help and --version.
void ParseArguments(CLI::App& app, const std::vector<std::string>& arguments) {
  std::vector<const char*> pointers;
  for (const std::string& a : arguments) pointers.push_back(a.c_str());
  try {
    app.parse(static_cast<int>(pointers.size()), pointers.data());
  } catch (const CLI::Success& e) {
    // A subcommand with no operand left hands every argument after "--"
    // back to the top level, which would read "-h" or "-V" there as a
    // request for help or the version. After "--" it is an operand like
    // the others, all unexpected.
    const auto end = std::find(arguments.begin() + 1, arguments.end(), "--");
    const auto asks = e.get_name() == "CallForVersion" ? AsksForVersion : AsksForHelp;
    if (end == arguments.end() || std::any_of(arguments.begin() + 1, end, asks)) throw;
    // (The message joins the list last first.)
    throw CLI::ExtrasError(std::vector<std::string>(arguments.rbegin(), std::make_reverse_iterator(end + 1)));
  } catch (const CLI::ExtrasError&) {
    throw ExtrasInOrder(app, arguments);
  }
}

// The command's exit status once standard output is flushed: 1 when the
// flush fails (or an earlier write did) after a command that had succeeded,
// said on standard error.
int StatusAfterFlush(int exitCode, const CliSettings& settings) {
  // An earlier write's failure leaves the stream's error flag and its errno.
  const int earlier = std::ferror(settings.out) != 0 ? errno : 0;
  errno = 0;
  const bool flushed = std::fflush(settings.out) == 0;
  if ((!flushed || earlier != 0) && exitCode == 0) {
    const int error = flushed ? earlier : errno;
    std::fprintf(settings.err, "quorix-cli: cannot write standard output: %s\n",
                 std::generic_category().message(error).c_str());
    exitCode = 1;
  }
  return exitCode;
}

// A command line the parser refused, of a subcommand asked for JSON
// (--json before any "--"): answered on standard output with the refusal's
// JSON line, as a command's own refusal is. `message` is what standard
// error says, each line's "quorix-cli: " and the hint of --help left out.
void AnswerAsJson(const CLI::App* command, const std::vector<std::string>& arguments, const std::string& message) {
  if (command == nullptr || command->get_option_no_throw("--json") == nullptr) return;
  const auto end = std::find(arguments.begin(), arguments.end(), "--");
  if (std::find(arguments.begin(), end, "--json") == end) return;
  std::string joined;
  std::istringstream lines(message);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("Run with --help")) continue;
    if (line.starts_with("quorix-cli: ")) line.erase(0, 12);
    joined += (joined.empty() ? "" : "; ") + line;
  }
  WriteOut(RefusalJson(command, joined).Answer() + "\n");
}

// Writes the parser's message, or the help or version text, and gives the
// exit status: 0 for --help and --version, which arrive as "errors" with
// status 0 (1 when their text could not be written: a full disk), else 2.
int ReportParseError(const CLI::App& app, const CLI::App* command, const std::vector<std::string>& arguments,
                     const CLI::ParseError& e, const CliSettings& settings) {
  std::ostringstream out, err;
  const int status = app.exit(e, out, err);
  errno = 0;
  if (status != 0) AnswerAsJson(command, arguments, err.str());
  Put(settings.out, out.str());
  Put(settings.err, err.str());
  return StatusAfterFlush(status == 0 ? 0 : 2, settings);
}

// The subcommand the arguments name: `first`, or the subcommand of it that
// the next argument names (isolation at, isolation design, ...).
const CLI::App& Innermost(CLI::App& app, std::string_view first, const std::vector<std::string>& arguments) {
  CLI::App* command = app.get_subcommand(std::string(first));
  for (const CLI::App* inner : command->get_subcommands({})) {
    if (arguments.size() > 2 && inner->get_name() == arguments[2]) return *inner;
  }
  return *command;
}

}  // namespace

int RunCli(int argc, const char* const* argv, const CliSettings& settings) {
  const ScopedSettings scoped(settings);
  CLI::App app("Bouc-Wen dissipated energy in closed form: solver, special functions and number texts", "quorix-cli");
  DescribeProgram(app);

  int exitCode = 0;
  const std::string_view first = argc > 1 && argv[1] != nullptr ? argv[1] : "";
  const Subcommand* named = std::find_if(std::begin(kSubcommands), std::end(kSubcommands),
                                         [first](const Subcommand& command) { return command.first == first; });
  if (named == std::end(kSubcommands) && !first.empty() && first[0] != '-') {
    // A word where the subcommand goes that names none: the parser would
    // only say that a subcommand is required.
    const std::string message = UnknownSubcommandHint(first);
    std::fprintf(settings.err, "quorix-cli: unknown subcommand \"%.*s\"; %s\nRun with --help for more information.\n",
                 static_cast<int>(first.size()), first.data(), message.c_str());
    return 2;
  }
  AddSubcommands(app, named, exitCode);
  DescribeSubcommands(app);

  const std::vector<std::string> arguments = ArgumentsForParser(argc, argv);
  const CLI::App* command = named != std::end(kSubcommands) ? &Innermost(app, first, arguments) : nullptr;
  try {
    if (command != nullptr) RefuseOptionsAsValues(*command, arguments);
    ParseArguments(app, arguments);
  } catch (const CLI::ExtrasError& e) {
    // A misspelt option: named, with the closest the subcommand has, where
    // the parser would list every argument it did not expect, last first.
    const std::string lines = command != nullptr ? UnknownOptionLines(*command, arguments) : "";
    if (lines.empty()) return ReportParseError(app, command, arguments, e, settings);
    AnswerAsJson(command, arguments, lines);
    Put(settings.err, lines + "Run with --help for more information.\n");
    return StatusAfterFlush(2, settings);
  } catch (const CLI::ParseError& e) {
    return ReportParseError(app, command, arguments, e, settings);
  }
  return StatusAfterFlush(exitCode, settings);
}

}  // namespace quorix::cli
