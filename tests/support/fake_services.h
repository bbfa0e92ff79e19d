// A stand-in for the platform services in tests: keeps written files in memory, records every call, fails on request.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "services.h"

namespace quorix::testing {

class FakeServices : public platform::Services {
 public:
  // Thrown by EndProcess(); not a std::exception, so code abandoning failed steps cannot swallow it.
  struct ProcessEnded {};

  // What it reports and where it fails.
  std::string folder = "/opt/quorix/bin", baseName = "quorix", dataFolder = "/home/user/.local/share/Quorix";
  platform::OsVersion version{};  // ok = false: not Windows
  bool failDataFolder = false, failOpenForOutput = false, failClose = false, failViewer = false, failSettings = false;
  int failWriteAtLine = 0;  // the k-th WriteLine over all files fails (1-based); 0: none
  bool startProgramResult = true;
  std::set<std::string> unwritableFolders, unreadable;  // unreadable: exist, but cannot be opened for input
  long failReadAfter = -1;       // reading fails once this many bytes of a file are read; -1: never
  std::size_t readChunk = 4096;  // at most this many bytes per Read
  std::function<void(std::string_view call)> onCall;  // called before each service call runs

  // What happened.
  std::map<std::string, std::string> files;  // path -> bytes, CR LF included
  std::vector<std::string> calls;            // service names in call order
  std::vector<std::string> viewerPaths, startedPrograms;
  std::vector<std::string> settings;  // "application/section/key=value", in the order saved
  int openFiles = 0, linesWritten = 0;  // open files: opened for output and not closed

  int CallCount(std::string_view name) const { return static_cast<int>(std::count(calls.begin(), calls.end(), name)); }

  std::string ExecutableFolder() override { return Record("ExecutableFolder"), folder; }
  std::string ExecutableBaseName() override { return Record("ExecutableBaseName"), baseName; }
  std::unique_ptr<platform::TextFile> OpenForOutput(const std::string& path) override {
    Call("OpenForOutput", failOpenForOutput, path);
    ++openFiles, files[path].clear();  // create or truncate
    return std::make_unique<File>(*this, path);
  }
  bool CanOpenForInput(const std::string& path) override {
    return Record("CanOpenForInput"), files.contains(path) && !unreadable.contains(path);
  }
  bool CanWriteFolder(const std::string& path) override {
    return Record("CanWriteFolder"), !unwritableFolders.contains(path);
  }
  std::string UserDataFolder() override { return Call("UserDataFolder", failDataFolder, dataFolder), dataFolder; }
  std::unique_ptr<platform::InputFile> OpenForInput(const std::string& path) override {
    Call("OpenForInput", !files.contains(path) || unreadable.contains(path), path);
    return std::make_unique<File>(*this, path, files.at(path));
  }
  void OpenInViewer(const std::string& path) override {
    Call("OpenInViewer", failViewer, path), viewerPaths.push_back(path);
  }
  bool StartProgram(const std::string& path) override {
    if (Record("StartProgram"), startProgramResult) startedPrograms.push_back(path);
    return startProgramResult;
  }
  [[noreturn]] void EndProcess() override { Record("EndProcess"), throw ProcessEnded{}; }
  platform::OsVersion QueryOsVersion() override { return Record("QueryOsVersion"), version; }
  void InitCommonControls() override { Record("InitCommonControls"); }
  void SaveSetting(const std::string& application, const std::string& section, const std::string& key,
                   const std::string& value) override {
    Call("SaveSetting", failSettings, key), settings.push_back(application + "/" + section + "/" + key + "=" + value);
  }

 private:
  // A file open for output or (a copy of its bytes, undisturbed by later writes) for input.
  struct File : platform::TextFile, platform::InputFile {
    File(FakeServices& owner, std::string path, std::string bytes = {}) : owner(owner), path(path), bytes(bytes) {}
    void WriteLine(std::string_view text) override {
      owner.Call("WriteLine", !open || owner.linesWritten + 1 == owner.failWriteAtLine, path);
      ++owner.linesWritten;
      owner.files[path].append(text).append("\r\n");
    }
    void Close() override {  // a second close does nothing
      if (!std::exchange(open, false)) return;
      --owner.openFiles;
      owner.Call("Close", owner.failClose, path);
    }
    std::size_t Read(char* buffer, std::size_t capacity) override {
      const std::size_t n = std::min({capacity, owner.readChunk, bytes.size() - offset});
      if (owner.failReadAfter >= 0 && offset + n > static_cast<std::size_t>(owner.failReadAfter)) {
        throw platform::PlatformError("fake: read failed: " + path);
      }
      return offset += bytes.copy(buffer, n, offset), n;
    }
    FakeServices& owner;
    std::string path, bytes;
    std::size_t offset = 0;
    bool open = true;
  };
  void Record(std::string_view call) {
    calls.emplace_back(call);
    if (onCall) onCall(call);
  }
  // Records the call, then fails it on request.
  void Call(std::string_view call, bool fail, const std::string& what) {
    Record(call);
    if (fail) throw platform::PlatformError("fake: " + std::string(call) + " failed: " + what);
  }
};

}  // namespace quorix::testing
