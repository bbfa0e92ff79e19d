#include "fake_services.h"

namespace quorix::testing {

using platform::PlatformError;

struct FakeServices::File : platform::TextFile {
  File(FakeServices& owner, std::string path) : owner(owner), path(std::move(path)) {}
  void WriteLine(std::string_view text) override {
    owner.Record("WriteLine");
    if (!open) throw PlatformError("write to a closed file");
    if (owner.linesWritten + 1 == owner.failWriteAtLine) throw PlatformError("fake: write failed");
    ++owner.linesWritten;
    owner.files[path].append(text).append("\r\n");
  }
  void Close() override {
    if (!open) return;
    owner.Record("Close");
    open = false;
    --owner.openFiles;
    if (owner.failClose) throw PlatformError("fake: close failed");
  }
  FakeServices& owner;
  std::string path;
  bool open = true;
};

// Reads a copy, so that writing the file meanwhile cannot disturb it.
struct FakeServices::Input : platform::InputFile {
  Input(FakeServices& owner, std::string bytes) : owner(owner), bytes(std::move(bytes)) {}
  std::size_t Read(char* buffer, std::size_t capacity) override {
    const std::size_t n = std::min({capacity, owner.readChunk, bytes.size() - offset});
    if (owner.failReadAfter >= 0 && offset + n > static_cast<std::size_t>(owner.failReadAfter)) {
      throw PlatformError("fake: read failed");
    }
    bytes.copy(buffer, n, offset);
    offset += n;
    return n;
  }
  FakeServices& owner;
  std::string bytes;
  std::size_t offset = 0;
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
