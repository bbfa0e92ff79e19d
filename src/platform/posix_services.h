// The run-time services on a POSIX system with the standard library alone:
// program facts from /proc/self/exe, text files through <cstdio>, other
// programs started with posix_spawn. The GUI layer derives from it to add
// what needs the toolkit (the settings store).
#pragma once

#include <string>

#include "services.h"

namespace quorix::platform {

class PosixServices : public Services {
 public:
  // `viewer` is the program that OpenInViewer starts with the file's path as
  // its only argument; it is looked up in PATH unless it contains a "/".
  explicit PosixServices(std::string viewer = "xdg-open");

  std::string ExecutableFolder() override;
  std::string ExecutableBaseName() override;

  // Binary mode: every WriteLine ends its line with CR LF, on every system.
  std::unique_ptr<TextFile> OpenForOutput(const std::string& path) override;
  bool CanOpenForInput(const std::string& path) override;

  void OpenInViewer(const std::string& path) override;
  bool StartProgram(const std::string& path) override;
  [[noreturn]] void EndProcess() override;

  // There is no Windows version query here: ok = false.
  OsVersion QueryOsVersion() override;
  void InitCommonControls() override;
  // No settings store without the toolkit: always throws PlatformError.
  void SaveSetting(const std::string& application, const std::string& section, const std::string& key,
                   const std::string& value) override;

 private:
  std::string viewer_;
};

}  // namespace quorix::platform
