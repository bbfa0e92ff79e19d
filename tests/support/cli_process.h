// What the end-to-end tests of the built quorix-cli share: a temporary folder
// per test, runs with standard output and error captured, numbers read back
// out of the JSON.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace quorix::testing {

namespace fs = std::filesystem;

struct CliRun {
  int status = -1;
  std::string out, err;
};

inline std::string ReadAll(const fs::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// The number after "key": in a one-line JSON text (for an array, its first
// element), and where the key was found; -999 when it is missing.
inline double JsonNumber(const std::string& json, const std::string& key, std::size_t* at = nullptr) {
  std::size_t pos = json.find("\"" + key + "\": ");
  if (at != nullptr) *at = pos;
  if (pos == std::string::npos) return -999.0;
  pos += key.size() + 4;
  if (pos < json.size() && json[pos] == '[') ++pos;
  double value = -999.0;
  std::from_chars(json.data() + pos, json.data() + json.size(), value);
  return value;
}

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quorix-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs `program arguments` through the shell, the arguments quoted by the caller.
  CliRun RunCommand(const std::string& program, const std::string& arguments) {
    const std::string out = (dir_ / "out").string(), err = (dir_ / "err").string();
    const int status = std::system((program + " " + arguments + " >'" + out + "' 2>'" + err + "'").c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(out), ReadAll(err)};
  }

  fs::path dir_;
};

}  // namespace quorix::testing
