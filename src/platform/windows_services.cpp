// Paths travel through Quorix as UTF-8 and are widened only here, at the
// system calls, so any file name the system allows works.
#include "system_services.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "stdio_text_file.h"

namespace quorix::platform {

namespace {

// Bytes that are not UTF-8 are refused (MB_ERR_INVALID_CHARS), not replaced
// by U+FFFD, which would open or create a file of another name.
std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) throw PlatformError("not a UTF-8 path: " + text);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                    nullptr);
  std::string text(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr, nullptr);
  return text;
}

std::string ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) throw PlatformError("cannot find the executable's path");
    if (n < path.size()) {
      path.resize(n);
      return Narrow(path);
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

SystemServices::SystemServices(std::string viewer) : viewer_(std::move(viewer)) {}

std::string SystemServices::ExecutableFolder() { return FolderOfPath(ExecutablePath()); }

std::string SystemServices::ExecutableBaseName() { return BaseNameOfPath(ExecutablePath()); }

std::unique_ptr<TextFile> SystemServices::OpenForOutput(const std::string& path) {
  errno = 0;
  std::FILE* file = _wfopen(Widen(path).c_str(), L"wb");
  if (file == nullptr) throw PlatformError("cannot create " + path + ": " + ErrorText(errno));
  return AdoptTextFile(file, path);
}

std::unique_ptr<InputFile> SystemServices::OpenForInput(const std::string& path) {
  errno = 0;
  std::FILE* file = _wfopen(Widen(path).c_str(), L"rb");
  if (file == nullptr) throw PlatformError("cannot open " + path + ": " + ErrorText(errno));
  return AdoptInputFile(file, path);
}

bool SystemServices::CanOpenForInput(const std::string& path) {
  std::FILE* file = _wfopen(Widen(path).c_str(), L"rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

bool SystemServices::CanWriteFolder(const std::string& folder) {
  // Access control lists decide, and the read-only attribute of a folder
  // means nothing: the one reliable test is to create a file there.
  wchar_t probe[MAX_PATH + 1] = {};
  if (GetTempFileNameW(Widen(folder).c_str(), L"qrx", 0, probe) == 0) return false;
  DeleteFileW(probe);
  return true;
}

std::string SystemServices::UserDataFolder() { throw PlatformError("no per-user data folder"); }

void SystemServices::OpenInViewer(const std::string& path) {
  // A Windows path cannot contain '"', so quoting makes it one argument
  // whatever blanks it holds. No shell is involved.
  std::wstring commandLine = Widen(viewer_) + L" \"" + Widen(path) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    throw PlatformError("cannot start " + viewer_ + " (error " + std::to_string(GetLastError()) + ")");
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

bool SystemServices::StartProgram(const std::string& path) {
  const auto result =
      reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", Widen(path).c_str(), nullptr, nullptr, SW_SHOWNOACTIVATE));
  return result > 32;
}

void SystemServices::EndProcess() { ExitProcess(0); }

std::vector<std::string> CommandLineArguments() {
  int argc = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (wide == nullptr) throw PlatformError("cannot read the command line");
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(Narrow(wide[i]));
  LocalFree(wide);
  return args;
}

OsVersion SystemServices::QueryOsVersion() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;  // 148 bytes
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const BOOL ok = GetVersionExA(&info);
#pragma GCC diagnostic pop
  if (ok != 1) return OsVersion{};
  return OsVersion{true, info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion};
}

void SystemServices::InitCommonControls() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;  // 8 bytes
  controls.dwICC = ICC_INTERNET_CLASSES;
  InitCommonControlsEx(&controls);
}

void SystemServices::SaveSetting(const std::string&, const std::string&, const std::string&, const std::string&) {
  throw PlatformError("no settings store");
}

}  // namespace quorix::platform
