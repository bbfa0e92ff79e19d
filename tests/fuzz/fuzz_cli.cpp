// The quorix-cli command line, run in-process (RunCli) with an argv cut from
// the input: the arguments are the input's pieces between NUL bytes.
// Properties, each checked with an abort:
//   1. The exit status is 0, 1 or 2.
//   2. Status 1 or 2 comes with a message on standard error.
//   3. With --json (or sweep's --jsonl) asked and status 0, standard output
//      is one valid JSON text, strictly to RFC 8259 (one a line for --jsonl).
//      Sweep's --json answers only a refusal: its rows stay a table. With
//      --json and a status other than 0, standard output, where not empty,
//      ends with one valid JSON line (the refusal, holding what was typed).
//   4. A run that fails leaves every file of its folder as it was, or holds a
//      results table of complete rows: the header, then lines of ten
//      TAB-separated fields, each line ended by CR LF.
// Runs stay quick: sweeps of more than 2000 rows and loops of more than 200
// points a branch are refused (status 1). Arguments with a "/" or "\" are not
// run, so that files are written only in the harness's own temporary folder,
// its working directory.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli.h"
#include "commands.h"
#include "fuzz_support.h"

using quorix::fuzz::Check;

namespace {

namespace fs = std::filesystem;
constexpr std::size_t npos = std::string::npos;

std::map<std::string, std::string> FolderContents() {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(".")) {
    std::ostringstream text;
    text << std::ifstream(entry.path(), std::ios::binary).rdbuf();
    files[entry.path().filename()] = text.str();
  }
  return files;
}

bool CompleteRows(const std::string& text) {
  if (!text.ends_with("\r\n")) return false;
  for (std::size_t pos = 0, end; pos < text.size(); pos = end + 2) {
    end = text.find("\r\n", pos);
    const std::string line = text.substr(pos, end - pos);
    if (line.find_first_of("\r\n") != npos) return false;
    if (pos == 0 ? line != quorix::SweepHeaderLine() : std::ranges::count(line, '\t') != 9) return false;
  }
  return true;
}

std::string Captured(std::FILE* stream, char* const& buffer, const std::size_t& size) {
  std::fclose(stream);  // sets buffer and size
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
  std::vector<std::string> args{"quorix-cli", ""};
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\0') {
      args.emplace_back();
    } else {
      args.back() += static_cast<char>(data[i]);
    }
  }
  if (args.size() > 24) return 0;
  bool options = true, json = false, jsonLines = false, help = false;
  std::string command, subcommand;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i].find_first_of("/\\") != npos) return 0;
    command += " [" + args[i] + "]";
    if (subcommand.empty() && !args[i].starts_with("-")) subcommand = args[i];
    options = options && args[i] != "--";
    if (!options) continue;
    json = json || args[i] == "--json";
    jsonLines = jsonLines || args[i] == "--jsonl";
    // Help and the version are texts for a person, whatever else is asked.
    help = help || args[i].starts_with("-h") || args[i].starts_with("--h") || args[i].starts_with("--version") ||
           (args[i].starts_with("-") && !args[i].starts_with("--") && args[i].find('V') != npos);
  }

  // One file that a sweep's -o may name, and nothing that the last run left.
  for (const auto& entry : fs::directory_iterator(".")) fs::remove_all(entry.path());
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

  Check(status == 0 || status == 1 || status == 2, "exit status 0, 1 or 2", command + ": " + std::to_string(status));
  Check(status == 0 || !err.empty(), "a message on standard error when the command fails", command);
  if (status == 0 && !help && json && subcommand != "sweep") {
    Check(nlohmann::json::accept(out), "valid JSON with --json", command + "\n" + out);
  }
  if (status != 0 && !help && json && !out.empty()) {
    const std::size_t last = out.find_last_of('\n', out.size() - 2);
    Check(out.ends_with('\n') && nlohmann::json::accept(out.substr(last == npos ? 0 : last + 1)),
          "a refusal answered in valid JSON with --json", command + "\n" + out);
  }
  std::istringstream lines(status == 0 && !help && jsonLines ? out : "");
  for (std::string line; std::getline(lines, line);) {
    Check(nlohmann::json::accept(line), "valid JSON lines with --jsonl", command + "\n" + line);
  }
  if (status == 0) return 0;
  const auto after = FolderContents();
  for (const auto& [name, text] : after) {
    Check((before.contains(name) && before.at(name) == text) || CompleteRows(text),
          "a failed run leaves a file as it was or complete rows", command + "\nfile " + name + ":\n" + text);
  }
  for (const auto& [name, text] : before) Check(after.contains(name), "a failed run deletes no file", command);
  return 0;
}
