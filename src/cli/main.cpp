// quorix-cli: Quorix's solver, special functions, number texts and sweep
// table from the command line.
//
// Exit status: 0 on success (also for --help), 1 when the command fails
// (a message on standard error says what failed), 2 for a bad command line.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "cli_common.h"
#include "measured_commands.h"

int main(int argc, char** argv) {
  CLI::App app("Bouc-Wen dissipated energy in closed form: solver, special functions and number texts", "quorix-cli");
  app.require_subcommand(1);
  // CLI11 takes "-2.5" for a value but "-.5" or "-e" for an option name.
  app.footer(
      "Number texts are read as the window's fields read them. A positional one that starts with '-'\n"
      "and a non-digit goes after '--': quorix-cli parse -- -.5\n"
      "Exit status: 0 success, 1 the command failed, 2 bad command line.");

  int exitCode = 0;
  quorix::cli::AddEvalCommand(app, exitCode);
  quorix::cli::AddSolveCommand(app, exitCode);
  quorix::cli::AddSweepCommand(app, exitCode);
  quorix::cli::AddLoopCommand(app, exitCode);
  quorix::cli::AddTextCommands(app, exitCode);
  quorix::cli::AddCyclesCommand(app, exitCode);
  quorix::cli::AddFitCommand(app, exitCode);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version arrive here as "errors" with status 0.
    const int status = app.exit(e);
    return status == 0 ? 0 : 2;
  }
  errno = 0;
  if (std::fflush(stdout) != 0 && exitCode == 0) {
    std::fprintf(stderr, "quorix-cli: cannot write standard output: %s\n",
                 std::generic_category().message(errno).c_str());
    exitCode = 1;
  }
  return exitCode;
}
