// What the end-to-end tests of the built quorix-cli share: a temporary folder per test, runs with
// standard output and error captured, numbers read back out of the JSON.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "decimal.h"

namespace quorix::testing {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

struct CliRun {
  int status = -1;
  std::string out, err;
};

inline std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
inline std::size_t Count(const std::string& s, char c) { return static_cast<std::size_t>(std::ranges::count(s, c)); }
inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
// The pieces of `text` that each end with `end`.
inline std::vector<std::string> Split(const std::string& text, const std::string& end) {
  std::vector<std::string> lines;
  for (std::size_t pos = 0, next; (next = text.find(end, pos)) != std::string::npos; pos = next + end.size()) {
    lines.push_back(text.substr(pos, next - pos));
  }
  return lines;
}

// The number after "key": in a one-line JSON text (for an array, its first element); -999 when missing.
inline double JsonNumber(const std::string& json, const std::string& key) {
  std::size_t pos = json.find("\"" + key + "\": ");
  if (pos == std::string::npos) return -999.0;
  pos += key.size() + 4;
  if (pos < json.size() && json[pos] == '[') ++pos;
  double value = -999.0;
  decimal::ReadDouble(std::string_view(json).substr(pos), value);
  return value;
}
// A record's text: `header`, then a line "u<sep>F" for each sample, the numbers in their shortest exact form.
inline std::string PairsText(std::string header, const std::vector<double>& u, const std::vector<double>& F,
                             char sep = ';') {
  for (std::size_t i = 0; i < u.size(); ++i) {
    header += decimal::ShortestText(u[i]) + sep + decimal::ShortestText(F[i]) + '\n';
  }
  return header;
}
// The numbers of the array "key": [...] at or after `from` ("nan" read as NaN); empty when missing.
inline std::vector<double> JsonNumbers(const std::string& json, const std::string& key, std::size_t from = 0) {
  const std::size_t at = json.find("\"" + key + "\": [", from);
  if (at == std::string::npos) return {};
  const std::size_t open = at + key.size() + 5, close = json.find(']', open);
  std::vector<double> values;
  for (const std::string& text : Split(json.substr(open, close - open) + ", ", ", ")) {
    double value = std::numeric_limits<double>::quiet_NaN();
    if (!text.empty() && text != "\"nan\"") decimal::ReadDouble(text, value);
    if (!text.empty()) values.push_back(value);
  }
  return values;
}
// The first of the keys that the JSON text lacks, each looked for after the one before it; "" when it holds them all.
inline std::string Missing(const std::string& json, const std::vector<std::string>& keys) {
  std::size_t at = 0;
  for (const std::string& key : keys) {
    if ((at = json.find("\"" + key + "\": ", at)) == std::string::npos) return key;
  }
  return "";
}

// The command that starts quorix-cli: the one built beside the tests, or QUORIX_CLI_COMMAND, which
// scripts/cross.sh sets to another target's build under its emulator ("qemu-aarch64-static …/quorix-cli",
// "wine …/quorix-cli.exe", "node …/quorix-cli.js"), so that the same acceptance runs on every target.
inline std::string CliCommand() {
  const char* other = std::getenv("QUORIX_CLI_COMMAND");
  return other != nullptr && *other != '\0' ? other : QUORIX_CLI;
}

// A run that Wine lost, which is no answer of the program's: its client cut off from the Wine server, the
// process killed by SIGKILL (which the program never sends; the shell says "Killed"), or a failure with nothing
// on standard error (the program says why whenever it fails), all seen now and then when a Windows program
// ends while a helper thread of the engine is still running. Such a run is made again.
inline bool LostToWine(const CliRun& run) {
  return CliCommand().starts_with("wine ") &&
         (run.err.starts_with("wine client error") || (run.status == 128 + 9 && run.err == "Killed\n") ||
          (run.status != 0 && run.err.empty()));
}

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quorix-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // quorix-cli run through the shell in the test's folder; no argument holds a quote. `input`: a file of the
  // folder for its standard input.
  CliRun Cli(const Args& args, const std::string& input = "") {
    std::string command = "cd '" + dir_.string() + "' && " + CliCommand();
    for (const std::string& arg : args) command += " '" + arg + "'";
    if (!input.empty()) command += " <'" + input + "'";
    CliRun run;
    for (int attempt = 0; attempt < 2 && (attempt == 0 || LostToWine(run)); ++attempt) {
      if (attempt > 0) std::fprintf(stderr, "[cli] run again after Wine lost it (%s):%s\n", run.err.c_str(), command.c_str());
      const int status = std::system((command + " >out 2>err").c_str());
      run = {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(dir_ / "out"), ReadAll(dir_ / "err")};
    }
    return run;
  }
  void Write(const std::string& name, const std::string& text) { std::ofstream(dir_ / name, std::ios::binary) << text; }

  fs::path dir_;
};

}  // namespace quorix::testing
