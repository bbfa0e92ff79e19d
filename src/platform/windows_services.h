// The run-time services on Windows: program facts from GetModuleFileNameW,
// text files through <cstdio> (wide-character paths), other programs
// started with CreateProcessW and ShellExecuteW, the version query and the
// common-controls initialisation. The GUI layer derives from it to add the
// settings store.
#pragma once

#include <string>

#include "services.h"

namespace quorix::platform {

class WindowsServices : public Services {
 public:
  // `viewer` is the program that OpenInViewer starts with the file's path
  // as its only (quoted) argument.
  explicit WindowsServices(std::string viewer = "notepad.exe");

  std::string ExecutableFolder() override;
  std::string ExecutableBaseName() override;
  std::unique_ptr<TextFile> OpenForOutput(const std::string& path) override;
  bool CanOpenForInput(const std::string& path) override;
  void OpenInViewer(const std::string& path) override;
  bool StartProgram(const std::string& path) override;
  [[noreturn]] void EndProcess() override;
  OsVersion QueryOsVersion() override;
  void InitCommonControls() override;
  // No settings store without the toolkit: always throws PlatformError.
  void SaveSetting(const std::string& application, const std::string& section, const std::string& key,
                   const std::string& value) override;

 private:
  std::string viewer_;
};

}  // namespace quorix::platform
