// quorix-cli sweep stopped by SIGINT, SIGTERM, SIGHUP or SIGQUIT: the conventional exit status, one line on standard
// error, and complete rows that are, byte for byte, those of a sweep that ran through. Its progress
// line on a terminal.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "cli_process.h"

namespace {

using namespace quorix::testing;

// Starts quorix-cli with standard output and error written to the given files.
pid_t Start(const Args& args, const fs::path& out, const fs::path& err) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY, 0644);
    if (outFd < 0 || errFd < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0) _exit(127);
    std::vector<char*> argv{const_cast<char*>(QUORIX_CLI)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(QUORIX_CLI, argv.data());
    _exit(127);
  }
  return pid;
}

// The signal, the exit status it gives, the table written with -o or to standard output. Braced calls run in order.
class SweepSignalTest : public TempFolderTest, public ::testing::WithParamInterface<std::tuple<int, int, bool>> {};

TEST_P(SweepSignalTest, EndsAfterCompleteRows) {
  const auto [signal, expectedStatus, toFile] = GetParam();
  const fs::path table = dir_ / (toFile ? "results.out" : "out"), err = dir_ / "err";
  Args args = {"sweep", "--from", "0.1", "--to", "1e6", "--step", "0.001"};  // about 10^9 rows: hours of work
  if (toFile) args.insert(args.end(), {"-o", table.string()});
  const pid_t pid = Start(args, dir_ / "out", err);
  ASSERT_GT(pid, 0);
  std::error_code missing;  // file_size is -1 while the file is not there yet; at most a minute
  for (int i = 0; i < 6000 && fs::file_size(table, missing) + 1 < 10001; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  int status = 0;
  ASSERT_EQ((std::tuple{kill(pid, signal), waitpid(pid, &status, 0), WIFEXITED(status)}), std::tuple(0, pid, true));
  const std::string message = ReadAll(err);
  ASSERT_EQ(std::tuple(WEXITSTATUS(status), Has(message, "stopped after"), message.find('\n')),
            std::tuple(expectedStatus, true, message.size() - 1)) << "one line: " << message;
  // Whole CR LF lines, the same bytes as a sweep that ends at the last of them.
  const std::string bytes = ReadAll(table);
  const std::size_t lines = Split(bytes, "\r\n").size();
  ASSERT_EQ(std::tuple(bytes.size() >= 10000, bytes.ends_with("\r\n"), Count(bytes, '\n')), std::tuple(true, true, lines))
      << "every LF follows a CR";
  char to[40];
  std::snprintf(to, sizeof to, "%.17g", 0.001 * static_cast<double>(lines - 2) + 0.1);
  const CliRun through = Cli({"sweep", "--from", "0.1", "--step", "0.001", "--to", to, "-o", "shorter"});
  ASSERT_EQ(through.status, 0) << through.err;
  EXPECT_TRUE(ReadAll(dir_ / "shorter") == bytes) << lines << " lines";
}

INSTANTIATE_TEST_SUITE_P(Signals, SweepSignalTest,
                         ::testing::Values(std::tuple{SIGINT, 130, true}, std::tuple{SIGTERM, 143, true},
                                           std::tuple{SIGINT, 130, false}, std::tuple{SIGHUP, 129, true},
                                           std::tuple{SIGQUIT, 131, false}));

// With standard error on a terminal, a sweep running longer than a second shows its progress there,
// wiped before the last message; not with --no-progress.
TEST(SweepProgressTest, ShownOnATerminalUnlessNoProgress) {
  for (const bool quiet : {false, true}) {
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_EQ((std::tuple{terminal >= 0, grantpt(terminal), unlockpt(terminal)}), std::tuple(true, 0, 0));
    const int screen = open(ptsname(terminal), O_RDWR | O_NOCTTY);  // kept open until all is read
    Args args = {"sweep", "--from", "0.1", "--to", "1e6", "--step", "0.001"};
    if (quiet) args.push_back("--no-progress");
    const pid_t pid = Start(args, "/dev/null", ptsname(terminal));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    int status = 0;
    ASSERT_EQ((std::tuple{kill(pid, SIGTERM), waitpid(pid, &status, 0), WIFEXITED(status)}), std::tuple(0, pid, true));
    fcntl(terminal, F_SETFL, O_NONBLOCK);
    std::string shown;
    char buffer[4096];
    for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) shown.append(buffer, static_cast<std::size_t>(n));
    close(screen);
    close(terminal);
    const std::size_t stopped = shown.find("quorix-cli: SIGTERM: sweep stopped after ");
    ASSERT_EQ(std::pair(WEXITSTATUS(status), stopped != std::string::npos), std::pair(143, true)) << shown;
    EXPECT_EQ(Has(shown, " rows/s"), !quiet) << shown;
    if (!quiet) { EXPECT_TRUE(shown.substr(0, stopped).ends_with(" \r")) << "wiped: " << shown; }
  }
}

}  // namespace
