// The run-time services of the system Quorix is built for, with the
// standard library and the system's own calls: posix_services.cpp on POSIX
// systems (program facts from /proc/self/exe, posix_spawn), and
// windows_services.cpp on Windows (GetModuleFileNameW, CreateProcessW,
// ShellExecuteW, the version query, the common controls). Paths are UTF-8.
// The GUI layer derives from it to add the settings store.
#pragma once

#include <string>
#include <vector>

#include "services.h"

namespace quorix::platform {

class SystemServices : public Services {
 public:
#ifdef _WIN32
  static constexpr const char* kDefaultViewer = "notepad.exe";
#else
  static constexpr const char* kDefaultViewer = "xdg-open";
#endif

  // `viewer` is the program that OpenInViewer starts with the file's path as
  // its one argument (looked up in PATH unless it names a folder).
  explicit SystemServices(std::string viewer = kDefaultViewer);

  std::string ExecutableFolder() override;
  std::string ExecutableBaseName() override;

  // Binary mode: every WriteLine ends its line with CR LF, on every system.
  std::unique_ptr<TextFile> OpenForOutput(const std::string& path) override;
  bool CanOpenForInput(const std::string& path) override;
  bool CanWriteFolder(const std::string& folder) override;
  // No per-user data folder without the toolkit: always throws PlatformError.
  std::string UserDataFolder() override;
  std::unique_ptr<InputFile> OpenForInput(const std::string& path) override;

  void OpenInViewer(const std::string& path) override;
  bool StartProgram(const std::string& path) override;
  [[noreturn]] void EndProcess() override;

  // Off Windows there is no version query: ok = false.
  OsVersion QueryOsVersion() override;
  // A no-op off Windows.
  void InitCommonControls() override;
  // No settings store without the toolkit: always throws PlatformError.
  void SaveSetting(const std::string& application, const std::string& section, const std::string& key,
                   const std::string& value) override;

 private:
  std::string viewer_;
};

#ifdef _WIN32
// The program's arguments from the wide command line, as UTF-8 (main()'s
// own are in the ANSI code page, which cannot hold every file name).
std::vector<std::string> CommandLineArguments();
#endif

// The folder of an executable's path (without a trailing separator, but a
// root folder keeps its own) and its file name without the extension.
std::string FolderOfPath(const std::string& path);
std::string BaseNameOfPath(const std::string& path);

}  // namespace quorix::platform
