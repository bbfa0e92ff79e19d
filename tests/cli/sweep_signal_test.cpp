// quorix-cli sweep stopped by SIGINT or SIGTERM: the conventional exit
// status, one line on standard error, and a table of complete rows that are,
// byte for byte, the rows of a sweep that ran through.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli_process.h"

namespace {

using namespace quorix::testing;

// Starts quorix-cli with standard output and error in files; returns its id.
pid_t Start(const std::vector<std::string>& args, const fs::path& out, const fs::path& err) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (outFd < 0 || errFd < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0) _exit(127);
    std::vector<char*> argv{const_cast<char*>(QUORIX_CLI)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(QUORIX_CLI, argv.data());
    _exit(127);
  }
  return pid;
}

int ExitStatus(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -2;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class SweepSignalTest : public TempFolderTest, public ::testing::WithParamInterface<std::tuple<int, int, bool>> {};

TEST_P(SweepSignalTest, EndsAfterCompleteRows) {
  const auto [signal, expectedStatus, toFile] = GetParam();
  const fs::path table = dir_ / (toFile ? "results.out" : "out"), err = dir_ / "err";
  // About 10^9 rows: hours of work, stopped once the first rows are out.
  std::vector<std::string> args = {"sweep", "--from", "0.1", "--to", "1e6", "--step", "0.001"};
  if (toFile) args.insert(args.end(), {"-o", table.string()});
  const pid_t pid = Start(args, dir_ / "out", err);
  ASSERT_GT(pid, 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  const auto size = [&] {  // 0 while the file is not there yet
    std::error_code missing;
    const auto bytes = fs::file_size(table, missing);
    return missing ? 0 : bytes;
  };
  while (size() < 10000 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(kill(pid, signal), 0);
  ASSERT_EQ(ExitStatus(pid), expectedStatus);

  const std::string message = ReadAll(err);
  EXPECT_EQ(message.find('\n'), message.size() - 1) << message;
  EXPECT_NE(message.find("stopped after"), std::string::npos) << message;

  // Whole CR LF lines: as many as the rows written, then the same bytes from
  // a sweep that ends at the last of them.
  const std::string bytes = ReadAll(table);
  ASSERT_GE(bytes.size(), 10000u);
  ASSERT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  std::size_t lines = 0;
  for (std::size_t at = 0; (at = bytes.find('\n', at)) != std::string::npos; ++at) {
    ASSERT_EQ(bytes[at - 1], '\r') << "at byte " << at;
    ++lines;
  }
  const fs::path shorter = dir_ / "shorter.out";
  const double to = 0.001 * static_cast<double>(lines - 2) + 0.1;
  char toText[40];
  std::snprintf(toText, sizeof toText, "%.17g", to);
  const pid_t through = Start({"sweep", "--from", "0.1", "--to", toText, "--step", "0.001", "-o", shorter.string()},
                              dir_ / "through.out", dir_ / "through.err");
  ASSERT_EQ(ExitStatus(through), 0) << ReadAll(dir_ / "through.err");
  EXPECT_TRUE(ReadAll(shorter) == bytes) << lines << " lines";
}

INSTANTIATE_TEST_SUITE_P(Signals, SweepSignalTest,
                         ::testing::Values(std::tuple{SIGINT, 130, true}, std::tuple{SIGTERM, 143, true},
                                           std::tuple{SIGINT, 130, false}),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) == SIGINT ? "SIGINT" : "SIGTERM") +
                                  (std::get<2>(info.param) ? "_file" : "_stdout");
                         });

}  // namespace
