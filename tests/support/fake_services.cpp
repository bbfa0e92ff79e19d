#include "fake_services.h"

namespace quorix::testing {

using platform::PlatformError;

class FakeServices::File : public platform::TextFile {
 public:
  File(FakeServices& owner, std::string path) : owner_(owner), path_(std::move(path)) {}

  void WriteLine(std::string_view text) override {
    owner_.Record("WriteLine");
    if (!open_) throw PlatformError("write to a closed file");
    if (owner_.linesWritten + 1 == owner_.failWriteAtLine) throw PlatformError("fake: write failed");
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

// Reads a copy, so that writing the file meanwhile cannot disturb it.
class FakeServices::Input : public platform::InputFile {
 public:
  Input(FakeServices& owner, std::string bytes) : owner_(owner), bytes_(std::move(bytes)) {}

  std::size_t Read(char* buffer, std::size_t capacity) override {
    std::size_t n = std::min({capacity, owner_.readChunk, bytes_.size() - offset_});
    if (owner_.failReadAfter >= 0 && offset_ + n > static_cast<std::size_t>(owner_.failReadAfter)) {
      throw PlatformError("fake: read failed");
    }
    bytes_.copy(buffer, n, offset_);
    offset_ += n;
    return n;
  }

 private:
  FakeServices& owner_;
  std::string bytes_;
  std::size_t offset_ = 0;
};

std::unique_ptr<platform::InputFile> FakeServices::OpenForInput(const std::string& path) {
  Record("OpenForInput");
  const auto found = files.find(path);
  if (found == files.end() || unreadable.contains(path)) throw PlatformError("fake: cannot open " + path);
  return std::make_unique<Input>(*this, found->second);
}

std::unique_ptr<platform::TextFile> FakeServices::OpenForOutput(const std::string& path) {
  Record("OpenForOutput");
  if (failOpenForOutput) throw PlatformError("fake: cannot create " + path);
  files[path].clear();  // create or truncate
  ++openFiles;
  return std::make_unique<File>(*this, path);
}

std::string FakeServices::UserDataFolder() {
  Record("UserDataFolder");
  if (failDataFolder) throw PlatformError("fake: cannot create " + dataFolder);
  return dataFolder;
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

void FakeServices::SaveSetting(const std::string& application, const std::string& section, const std::string& key,
                               const std::string& value) {
  Record("SaveSetting");
  if (failSettings) throw PlatformError("fake: settings store refused the value");
  settings.push_back({application, section, key, value});
}

}  // namespace quorix::testing
