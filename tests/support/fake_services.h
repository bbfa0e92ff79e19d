// A stand-in for the platform services in tests: keeps written files in
// memory, records every call, and fails on request. No Qt.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "services.h"

namespace quorix::testing {

class FakeServices : public platform::Services {
 public:
  // Thrown by EndProcess(), which must not return. Not a std::exception, so
  // that code abandoning failed steps cannot swallow the end of the process.
  struct ProcessEnded {};
  struct Setting {
    std::string application, section, key, value;
    bool operator==(const Setting&) const = default;
  };

  // What it reports and where it fails.
  std::string folder = "/opt/quorix/bin";
  std::string baseName = "quorix";
  std::set<std::string> unwritableFolders;
  std::string dataFolder = "/home/user/.local/share/Quorix";
  bool failDataFolder = false;
  platform::OsVersion version{};  // ok = false: not Windows
  bool failOpenForOutput = false;
  int failWriteAtLine = 0;  // the k-th WriteLine over all files fails (1-based); 0: none
  bool failClose = false;
  bool failViewer = false;
  bool failSettings = false;
  bool startProgramResult = true;
  std::set<std::string> unreadable;  // exist, but cannot be opened for input
  long failReadAfter = -1;           // reading fails once this many bytes of a file are read; -1: never
  std::size_t readChunk = 4096;      // at most this many bytes per Read
  std::function<void(std::string_view call)> onCall;  // called before each service call runs

  // What happened.
  std::map<std::string, std::string> files;  // path -> bytes, CR LF included
  std::vector<std::string> calls;            // service names in call order
  std::vector<std::string> viewerPaths;
  std::vector<std::string> startedPrograms;
  std::vector<Setting> settings;
  int openFiles = 0;  // opened for output and not closed
  int linesWritten = 0;

  int CallCount(std::string_view name) const { return static_cast<int>(std::count(calls.begin(), calls.end(), name)); }

  std::string ExecutableFolder() override { return Recorded("ExecutableFolder", folder); }
  std::string ExecutableBaseName() override { return Recorded("ExecutableBaseName", baseName); }
  std::unique_ptr<platform::TextFile> OpenForOutput(const std::string& path) override;
  bool CanOpenForInput(const std::string& path) override {
    return Recorded("CanOpenForInput", files.contains(path) && !unreadable.contains(path));
  }
  bool CanWriteFolder(const std::string& path) override {
    return Recorded("CanWriteFolder", !unwritableFolders.contains(path));
  }
  std::string UserDataFolder() override;
  std::unique_ptr<platform::InputFile> OpenForInput(const std::string& path) override;
  void OpenInViewer(const std::string& path) override;
  bool StartProgram(const std::string& path) override;
  [[noreturn]] void EndProcess() override {
    Record("EndProcess");
    throw ProcessEnded{};
  }
  platform::OsVersion QueryOsVersion() override { return Recorded("QueryOsVersion", version); }
  void InitCommonControls() override { Record("InitCommonControls"); }
  void SaveSetting(const std::string& application, const std::string& section, const std::string& key,
                   const std::string& value) override;

 private:
  struct File;
  struct Input;
  void Record(std::string_view call) {
    calls.emplace_back(call);
    if (onCall) onCall(call);
  }
  template <class T>
  T Recorded(std::string_view call, T value) {
    Record(call);
    return value;
  }
};

}  // namespace quorix::testing
