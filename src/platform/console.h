// The console of a command-line program: whether its standard streams are
// terminals, and the interrupt requests (Ctrl-C, a termination request) that
// a long job turns into a clean stop instead of dying mid-line.
#pragma once

namespace quorix::platform {

bool StandardOutputIsTerminal();
bool StandardErrorIsTerminal();

// While one lives, SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE (on Windows:
// Ctrl-C and Ctrl-Break) no longer end the process: the first request is kept, for the job to see
// between two of its steps; later ones change nothing, so an impatient
// second Ctrl-C cannot cut a line in half. The previous handling comes back
// on destruction. Only one may live at a time.
class InterruptCatcher {
 public:
  InterruptCatcher();
  ~InterruptCatcher();
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;

  // The number of the first signal caught (SIGINT 2, SIGTERM 15, ...), or 0.
  int Caught() const;
};

}  // namespace quorix::platform
