// A stand-in for the platform services in tests: keeps written files in
// memory, records every call, and fails on request. No Qt, so Qt-free tests
// can use it too.
#pragma once

#include <algorithm>
#include <cstdint>
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

  // What the fake reports and where it fails.
  std::string folder = "/opt/quorix/bin";
  std::string baseName = "quorix";
  std::set<std::string> unwritableFolders;  // CanWriteFolder says no to these
  std::string dataFolder = "/home/user/.local/share/Quorix";
  bool failDataFolder = false;  // UserDataFolder cannot create it
  platform::OsVersion version{};  // ok = false: not Windows
  bool failOpenForOutput = false;
  int failWriteAtLine = 0;  // the k-th WriteLine over all files fails (1-based); 0: none
  bool failClose = false;
  bool failViewer = false;
  bool failSettings = false;
  bool startProgramResult = true;
  std::set<std::string> unreadable;  // paths that CanOpenForInput refuses although they exist
  // OpenForInput serves `files`; a path in `unreadable` cannot be opened, and
  // reading fails once this many bytes of a file have been read (-1: never).
  long failReadAfter = -1;
  std::size_t readChunk = 4096;  // at most this many bytes per Read
  // Called with the name of each service call before it runs.
  std::function<void(std::string_view call)> onCall;

  // What happened.
  std::map<std::string, std::string> files;  // path -> bytes, CR LF included
  std::vector<std::string> calls;            // service names in call order
  std::vector<std::string> viewerPaths;
  std::vector<std::string> startedPrograms;
  std::vector<Setting> settings;
  int initCommonControlsCalls = 0;
  int openFiles = 0;  // opened for output and not closed (dropped without Close() counts)
  int linesWritten = 0;

  int CallCount(std::string_view name) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), name));
  }

  std::string ExecutableFolder() override {
    Record("ExecutableFolder");
    return folder;
  }
  std::string ExecutableBaseName() override {
    Record("ExecutableBaseName");
    return baseName;
  }
  std::unique_ptr<platform::TextFile> OpenForOutput(const std::string& path) override;
  bool CanOpenForInput(const std::string& path) override {
    Record("CanOpenForInput");
    return files.contains(path) && !unreadable.contains(path);
  }
  bool CanWriteFolder(const std::string& folder) override {
    Record("CanWriteFolder");
    return !unwritableFolders.contains(folder);
  }
  std::string UserDataFolder() override;
  std::unique_ptr<platform::InputFile> OpenForInput(const std::string& path) override;
  void OpenInViewer(const std::string& path) override;
  bool StartProgram(const std::string& path) override;
  [[noreturn]] void EndProcess() override {
    Record("EndProcess");
    throw ProcessEnded{};
  }
  platform::OsVersion QueryOsVersion() override {
    Record("QueryOsVersion");
    return version;
  }
  void InitCommonControls() override {
    Record("InitCommonControls");
    ++initCommonControlsCalls;
  }
  void SaveSetting(const std::string& application, const std::string& section, const std::string& key,
                   const std::string& value) override;

 private:
  class File;
  class Input;
  void Record(std::string_view call);
};

}  // namespace quorix::testing
