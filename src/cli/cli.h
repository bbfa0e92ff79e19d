// quorix-cli as a function: the whole command line run in-process, with
// its output and messages going to the streams given. main() is a thin
// wrapper around it; tests and fuzzing harnesses call it directly.
#pragma once

#include <cstdint>
#include <cstdio>

namespace quorix::cli {

struct CliSettings {
  std::FILE* in = stdin;  // what a command reads for the file name "-"
  std::FILE* out = stdout;
  std::FILE* err = stderr;
  // The largest sweep (rows) and loop (points per branch) accepted, 0 for
  // no limit. A run in-process that must stay quick sets them; a larger
  // request then fails with a message, before anything is written.
  std::int64_t maxSweepRows = 0;
  int maxLoopPoints = 0;
};

// Runs quorix-cli with the arguments argv[1] … argv[argc − 1]. Returns the
// exit status: 0 on success (also for --help), 1 when the command fails (a
// message on `err` says what failed), 2 for a bad command line. One run at
// a time in a process.
int RunCli(int argc, const char* const* argv, const CliSettings& settings = {});

}  // namespace quorix::cli
