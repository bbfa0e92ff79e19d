#include "fake_services.h"

#include <algorithm>

namespace quorix::testing {

using platform::PlatformError;

class FakeServices::File : public platform::TextFile {
 public:
  File(FakeServices& owner, std::string path) : owner_(owner), path_(std::move(path)) {}
  // A file dropped without Close() stays counted in openFiles: the caller
  // forgot to close it.
  ~File() override = default;

  void WriteLine(std::string_view text) override {
    owner_.Record("WriteLine");
    if (!open_) throw PlatformError("write to a closed file");
    if (owner_.failWriteAtLine > 0 && owner_.linesWritten + 1 == owner_.failWriteAtLine) {
      throw PlatformError("fake: write failed");
    }
    ++owner_.linesWritten;
    owner_.files[path_].append(text).append("\r\n");
  }

  void Close() override {
    if (!open_) return;
    owner_.Record("Close");
    open_ = false;
    --owner_.openFiles;
    if (owner_.failClose) throw PlatformError("fake: close failed");
  }

 private:
  FakeServices& owner_;
  std::string path_;
  bool open_ = true;
};

void FakeServices::Record(std::string_view call) {
  calls.emplace_back(call);
  if (onCall) onCall(call);
}

int FakeServices::CallCount(std::string_view name) const {
  return static_cast<int>(std::count(calls.begin(), calls.end(), name));
}

std::string FakeServices::ExecutableFolder() {
  Record("ExecutableFolder");
  return folder;
}

std::string FakeServices::ExecutableBaseName() {
  Record("ExecutableBaseName");
  return baseName;
}

std::unique_ptr<platform::TextFile> FakeServices::OpenForOutput(const std::string& path) {
  Record("OpenForOutput");
  if (failOpenForOutput) throw PlatformError("fake: cannot create " + path);
  files[path].clear();  // create or truncate
  ++openFiles;
  return std::make_unique<File>(*this, path);
}

bool FakeServices::CanOpenForInput(const std::string& path) {
  Record("CanOpenForInput");
  return files.contains(path) && !unreadable.contains(path);
}

void FakeServices::OpenInViewer(const std::string& path) {
  Record("OpenInViewer");
  if (failViewer) throw PlatformError("fake: viewer did not start");
  viewerPaths.push_back(path);
}

bool FakeServices::StartProgram(const std::string& path) {
  Record("StartProgram");
  if (startProgramResult) startedPrograms.push_back(path);
  return startProgramResult;
}

void FakeServices::EndProcess() {
  Record("EndProcess");
  throw ProcessEnded{};
}

platform::OsVersion FakeServices::QueryOsVersion() {
  Record("QueryOsVersion");
  return version;
}

void FakeServices::InitCommonControls() {
  Record("InitCommonControls");
  ++initCommonControlsCalls;
}

void FakeServices::SaveSetting(const std::string& application, const std::string& section, const std::string& key,
                               const std::string& value) {
  Record("SaveSetting");
  if (failSettings) throw PlatformError("fake: settings store refused the value");
  settings.push_back({application, section, key, value});
}

}  // namespace quorix::testing
