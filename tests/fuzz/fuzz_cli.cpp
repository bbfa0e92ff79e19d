// The quorix-cli command line, run in-process (RunCli) with an argv cut
// from the input: the arguments are the input's pieces between NUL bytes.
//
// Properties, each checked with an abort:
//   1. The exit status is 0, 1 or 2.
//   2. Status 1 or 2 comes with a message on standard error.
//   3. With --json (or sweep's --jsonl) asked and status 0, standard output
//      is one valid JSON text (one a line for --jsonl).
//   4. A run that fails leaves every file of its folder as it was, or holds
//      a results table of complete rows: the header, then lines of ten
//      TAB-separated fields, each line ended by CR LF.
// Runs stay quick: sweeps of more than 2000 rows and loops of more than 200
// points a branch are refused (status 1), and arguments with a "/" or "\"
// are not run, so that files are written only in the harness's own
// temporary folder, which is the working directory.
#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "fuzz_support.h"

using quorix::fuzz::Check;

namespace {

// A strict JSON reader that only says whether the text is one JSON value.
class JsonChecker {
 public:
  explicit JsonChecker(const std::string& text) : t_(text) {}
  bool Valid() {
    Space();
    if (!Value(0)) return false;
    Space();
    return i_ == t_.size();
  }

 private:
  void Space() {
    while (i_ < t_.size() && (t_[i_] == ' ' || t_[i_] == '\t' || t_[i_] == '\n' || t_[i_] == '\r')) ++i_;
  }
  bool Eat(char c) {
    if (i_ < t_.size() && t_[i_] == c) return ++i_, true;
    return false;
  }
  bool Word(const char* w) {
    const std::string s(w);
    if (t_.compare(i_, s.size(), s) != 0) return false;
    i_ += s.size();
    return true;
  }
  bool Digits() {
    const std::size_t start = i_;
    while (i_ < t_.size() && t_[i_] >= '0' && t_[i_] <= '9') ++i_;
    return i_ > start;
  }
  bool Number() {
    Eat('-');
    if (Eat('0')) {
    } else if (!Digits()) {
      return false;
    }
    if (Eat('.') && !Digits()) return false;
    if (i_ < t_.size() && (t_[i_] == 'e' || t_[i_] == 'E')) {
      ++i_;
      if (!Eat('+')) Eat('-');
      if (!Digits()) return false;
    }
    return true;
  }
  bool String() {
    if (!Eat('"')) return false;
    while (i_ < t_.size()) {
      const unsigned char c = static_cast<unsigned char>(t_[i_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c == '\\') {
        if (i_ >= t_.size()) return false;
        const char e = t_[i_++];
        if (e == 'u') {
          for (int k = 0; k < 4; ++k, ++i_) {
            if (i_ >= t_.size() || !std::isxdigit(static_cast<unsigned char>(t_[i_]))) return false;
          }
        } else if (std::string("\"\\/bfnrt").find(e) == std::string::npos) {
          return false;
        }
      }
    }
    return false;
  }
  bool Value(int depth) {
    if (depth > 64 || i_ >= t_.size()) return false;
    const char c = t_[i_];
    if (c == '{' || c == '[') {
      const char close = c == '{' ? '}' : ']';
      ++i_;
      Space();
      if (Eat(close)) return true;
      for (;;) {
        Space();
        if (c == '{') {
          if (!String()) return false;
          Space();
          if (!Eat(':')) return false;
          Space();
        }
        if (!Value(depth + 1)) return false;
        Space();
        if (Eat(close)) return true;
        if (!Eat(',')) return false;
      }
    }
    if (c == '"') return String();
    if (Word("true") || Word("false") || Word("null")) return true;
    return Number();
  }

  const std::string& t_;
  std::size_t i_ = 0;
};

std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::map<std::string, std::string> FolderContents() {
  std::map<std::string, std::string> files;
  if (DIR* dir = opendir(".")) {
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") files[name] = ReadFile(name);
    }
    closedir(dir);
  }
  return files;
}

void EmptyFolder() {
  for (const auto& [name, text] : FolderContents()) {
    if (std::remove(name.c_str()) != 0) rmdir(name.c_str());
  }
}

bool CompleteRows(const std::string& text) {
  if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) return false;
  std::size_t pos = 0;
  bool header = true;
  while (pos < text.size()) {
    const std::size_t end = text.find("\r\n", pos);
    const std::string line = text.substr(pos, end - pos);
    if (header ? line != quorix::SweepHeaderLine() : std::count(line.begin(), line.end(), '\t') != 9) return false;
    if (line.find_first_of("\r\n") != std::string::npos) return false;
    header = false;
    pos = end + 2;
  }
  return true;
}

std::string Captured(std::FILE* stream, char*& buffer, std::size_t& size) {
  std::fclose(stream);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static char folder[] = "/tmp/quorix-fuzz-cli-XXXXXX";
  if (mkdtemp(folder) == nullptr || chdir(folder) != 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args{"quorix-cli"};
  std::string current;
  for (std::size_t i = 0; i <= size; ++i) {
    if (i == size || data[i] == '\0') {
      args.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  if (args.size() > 24) return 0;
  bool jsonAsked = false, jsonLines = false, help = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i].find_first_of("/\\") != std::string::npos) return 0;
    if (args[i] == "--") break;
    if (args[i] == "--json") jsonAsked = true;
    if (args[i] == "--jsonl") jsonLines = true;
    if (args[i].rfind("-h", 0) == 0 || args[i].rfind("--h", 0) == 0) help = true;
  }

  // One file that a sweep's -o may name, and whatever the last run left.
  EmptyFolder();
  std::ofstream("results.out", std::ios::binary) << "an older results table\r\n";
  const auto before = FolderContents();

  char *outBuffer = nullptr, *errBuffer = nullptr;
  std::size_t outSize = 0, errSize = 0;
  quorix::cli::CliSettings settings;
  settings.out = open_memstream(&outBuffer, &outSize);
  settings.err = open_memstream(&errBuffer, &errSize);
  settings.maxSweepRows = 2000;
  settings.maxLoopPoints = 200;
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  const int status = quorix::cli::RunCli(static_cast<int>(argv.size()), argv.data(), settings);
  const std::string out = Captured(settings.out, outBuffer, outSize);
  const std::string err = Captured(settings.err, errBuffer, errSize);

  std::string command;
  for (std::size_t i = 1; i < args.size(); ++i) command += " [" + args[i] + "]";
  Check(status == 0 || status == 1 || status == 2, "exit status 0, 1 or 2", command);
  Check(status == 0 || !err.empty(), "a message on standard error when the command fails", command);
  if (status == 0 && !help && jsonAsked) {
    Check(JsonChecker(out).Valid(), "valid JSON with --json", command + "\n" + out);
  }
  if (status == 0 && !help && jsonLines) {
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
      Check(JsonChecker(line).Valid(), "valid JSON lines with --jsonl", command + "\n" + line);
    }
  }
  if (status != 0) {
    const auto after = FolderContents();
    for (const auto& [name, text] : after) {
      const auto old = before.find(name);
      Check((old != before.end() && old->second == text) || CompleteRows(text),
            "a failed run leaves a file as it was or complete rows", command + "\nfile " + name + ":\n" + text);
    }
    for (const auto& [name, text] : before) Check(after.count(name) == 1, "a failed run deletes no file", command);
  }
  return 0;
}
