#include "console.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#include <io.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace quorix::platform {

namespace {

// Written from the signal handler: a lock-free atomic is all it may touch.
std::atomic<int> caught{0};
static_assert(std::atomic<int>::is_always_lock_free);

void Keep(int signal) {
  int none = 0;
  caught.compare_exchange_strong(none, signal);
}

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event == CTRL_C_EVENT) {
    Keep(SIGINT);
    return TRUE;
  }
  if (event == CTRL_BREAK_EVENT) {
    Keep(SIGTERM);
    return TRUE;
  }
  return FALSE;  // closing the console or logging off: the default, ending the process
}
#else
// Ctrl-C and a termination request, and three more that would end the
// process mid-line: a closed terminal (SIGHUP), Ctrl-\ (SIGQUIT) and a reader
// gone from the other end of a pipe (SIGPIPE, whose writes then fail with
// EPIPE, which the job reports as a write failure).
constexpr int kCaughtSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};
struct sigaction previous[std::size(kCaughtSignals)] {};

extern "C" void OnSignal(int signal) { Keep(signal); }
#endif

}  // namespace

#ifdef _WIN32
bool StandardOutputIsTerminal() { return _isatty(_fileno(stdout)) != 0; }
bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

InterruptCatcher::InterruptCatcher() {
  caught = 0;
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

InterruptCatcher::~InterruptCatcher() { SetConsoleCtrlHandler(OnConsoleControl, FALSE); }
#else
bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }
bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

InterruptCatcher::InterruptCatcher() {
  caught = 0;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // Writes and waits that a signal interrupts go on rather than fail.
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kCaughtSignals); ++i) sigaction(kCaughtSignals[i], &action, &previous[i]);
}

InterruptCatcher::~InterruptCatcher() {
  for (std::size_t i = 0; i < std::size(kCaughtSignals); ++i) sigaction(kCaughtSignals[i], &previous[i], nullptr);
}
#endif

int InterruptCatcher::Caught() const { return caught.load(); }

}  // namespace quorix::platform
