// The run-time services Quorix needs from its platform: facts about the
// running program, sequential text files, starting other programs, the
// operating-system version and a per-user settings store.
//
// Every path that touches files or starts processes goes through this
// interface, so tests can substitute a fake that records calls and fails on
// request (an unwritable folder, a viewer that does not start).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quorix::platform {

// A service that failed: a file that cannot be created or written, a
// program that cannot be started, a settings store that refuses a value.
class PlatformError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A text file open for sequential output.
class TextFile {
 public:
  virtual ~TextFile() = default;
  // Writes the text followed by CR LF. Throws PlatformError.
  virtual void WriteLine(std::string_view text) = 0;
  // Flushes and closes. Throws PlatformError when the data could not be
  // written; closing twice does nothing.
  virtual void Close() = 0;
};

// A file open for sequential binary input.
class InputFile {
 public:
  virtual ~InputFile() = default;
  // Reads up to `capacity` bytes into `buffer`; returns how many, 0 only at
  // the end of the file. Throws PlatformError when the file cannot be read.
  virtual std::size_t Read(char* buffer, std::size_t capacity) = 0;
};

// What the operating-system version query reports. `ok` is false when the
// query itself failed (or, off Windows, when there is no such query).
struct OsVersion {
  bool ok = false;
  std::uint32_t platformId = 0;
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
};

class Services {
 public:
  virtual ~Services() = default;

  // Program facts. The folder has no trailing separator; the base name is
  // the executable's file name without its extension.
  virtual std::string ExecutableFolder() = 0;
  virtual std::string ExecutableBaseName() = 0;

  // Files. OpenForOutput creates the file or truncates it; throws
  // PlatformError. CanOpenForInput opens for reading and closes at once.
  virtual std::unique_ptr<TextFile> OpenForOutput(const std::string& path) = 0;
  virtual bool CanOpenForInput(const std::string& path) = 0;
  // Opens an existing file for reading, byte for byte; throws PlatformError
  // (naming the path and the reason) when it cannot, a folder included.
  virtual std::unique_ptr<InputFile> OpenForInput(const std::string& path) = 0;

  // Whether the running user may create files in the folder (false for a
  // folder that does not exist). An installed program's folder is usually
  // not writable by its users; a portable copy's is.
  virtual bool CanWriteFolder(const std::string& folder) = 0;

  // The program's per-user data folder, created (with its parents) when it
  // is missing. Throws PlatformError when there is none or it cannot be
  // created.
  virtual std::string UserDataFolder() = 0;

  // Opens a text file in the system's text viewer, in its own process,
  // without waiting. The path is passed as one argument, never through a
  // shell. Throws PlatformError when the viewer cannot be started.
  virtual void OpenInViewer(const std::string& path) = 0;

  // Starts a program shown but not activated, without waiting. Returns
  // whether it started.
  virtual bool StartProgram(const std::string& path) = 0;

  // Ends the process at once, without further window events.
  [[noreturn]] virtual void EndProcess() = 0;

  // The operating system's version, as the Windows version query gives it.
  virtual OsVersion QueryOsVersion() = 0;

  // Initialises the version-6 common controls (a no-op off Windows).
  virtual void InitCommonControls() = 0;

  // Saves a text value in the per-user settings store under application
  // name, section and key. Throws PlatformError when the store refuses it.
  virtual void SaveSetting(const std::string& application, const std::string& section, const std::string& key,
                           const std::string& value) = 0;
};

// The folder and a file name joined with the platform's separator. A folder
// that already ends in a separator (a root folder) gets no second one.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace quorix::platform
