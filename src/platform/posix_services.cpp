// The run-time services with the standard library and POSIX. Files go
// through <cstdio> in binary mode; other programs are started with
// posix_spawn, never through a shell, so a path with blanks or shell
// characters reaches them as one argument.
#include "system_services.h"

#include "stdio_text_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quorix::platform {

namespace {

std::string Reason(int error) { return ErrorText(error); }

std::string ExecutablePath() {
  std::string path(256, '\0');
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n < 0) throw PlatformError("cannot find the executable's path: " + Reason(errno));
    // readlink does not say whether it truncated: a full buffer may be a
    // cut-off path, so try again with a larger one.
    if (static_cast<std::size_t>(n) < path.size()) {
      path.resize(static_cast<std::size_t>(n));
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// Whether `program` names a file this process may execute: the path itself
// when it holds a "/", else the first match along PATH, as execvp searches
// (an empty PATH entry is the current folder).
[[maybe_unused]] bool Executable(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

[[maybe_unused]] bool FindsProgram(const std::string& program, bool searchPath) {
  if (!searchPath || program.find('/') != std::string::npos) return Executable(program);
  const char* pathVariable = std::getenv("PATH");
  const std::string path = pathVariable != nullptr ? pathVariable : "/bin:/usr/bin";
  for (std::size_t start = 0;;) {
    const std::size_t end = path.find(':', start);
    const std::string folder = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (Executable((folder.empty() ? "." : folder) + "/" + program)) return true;
    if (end == std::string::npos) return false;
    start = end + 1;
  }
}

// Starts a program with the given argument vector (argv[0] included)
// without waiting for it. Returns 0 or the error number. The child starts
// with no blocked signals and with SIGPIPE at its default, whatever the
// caller's thread had set.
int Spawn(const std::string& program, const std::vector<std::string>& args, bool searchPath, pid_t& pid) {
#ifdef __EMSCRIPTEN__
  // WebAssembly has no processes to start.
  (void)program, (void)args, (void)searchPath, (void)pid;
  return ENOSYS;
#else
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  posix_spawnattr_t attr;
  if (const int error = posix_spawnattr_init(&attr); error != 0) return error;
  sigset_t empty;
  sigset_t pipe;
  sigemptyset(&empty);
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  posix_spawnattr_setsigmask(&attr, &empty);
  posix_spawnattr_setsigdefault(&attr, &pipe);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  // A program that is not there, or not executable, is refused before the
  // spawn. glibc would report its failed exec as the spawn's result too, but
  // only where the child shares its parent's memory until the exec (a user
  // mode emulator forks instead, and the failure is only the child's exit
  // status); the check makes the answer the same everywhere.
  if (!FindsProgram(program, searchPath)) {
    posix_spawnattr_destroy(&attr);
    return ENOENT;
  }
  const int error = searchPath ? posix_spawnp(&pid, program.c_str(), nullptr, &attr, argv.data(), environ)
                               : posix_spawn(&pid, program.c_str(), nullptr, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  return error;
#endif
}

// We do not wait for the started program, but someone must collect its exit
// status or it lingers as a zombie. A detached thread does that without a
// SIGCHLD handler, which would interfere with the toolkit's own.
void ReapInBackground(pid_t pid) {
  try {
    std::thread([pid] {
      int status = 0;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::system_error&) {
    // No thread to spare: the child is reaped by init once we exit.
  }
}

}  // namespace

SystemServices::SystemServices(std::string viewer) : viewer_(std::move(viewer)) {}

std::string SystemServices::ExecutableFolder() { return FolderOfPath(ExecutablePath()); }

std::string SystemServices::ExecutableBaseName() { return BaseNameOfPath(ExecutablePath()); }

std::unique_ptr<TextFile> SystemServices::OpenForOutput(const std::string& path) {
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw PlatformError("cannot create " + path + ": " + Reason(errno));
  return AdoptTextFile(file, path);
}

std::unique_ptr<InputFile> SystemServices::OpenForInput(const std::string& path) {
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw PlatformError("cannot open " + path + ": " + Reason(errno));
  struct stat info {};
  if (fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode)) {
    std::fclose(file);
    throw PlatformError("cannot open " + path + ": " + Reason(EISDIR));
  }
  return AdoptInputFile(file, path);
}

bool SystemServices::CanOpenForInput(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  // POSIX lets a folder be opened for reading; it is still not a file.
  struct stat info {};
  const bool isFile = fstat(fileno(file), &info) == 0 && !S_ISDIR(info.st_mode);
  std::fclose(file);
  return isFile;
}

bool SystemServices::CanWriteFolder(const std::string& folder) {
  // Write and search permission for the effective user, as creating a file
  // there needs; a read-only file system answers EROFS.
  struct stat info {};
  return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string SystemServices::UserDataFolder() { throw PlatformError("no per-user data folder"); }

void SystemServices::OpenInViewer(const std::string& path) {
  pid_t pid = 0;
  if (const int error = Spawn(viewer_, {viewer_, path}, true, pid); error != 0) {
    throw PlatformError("cannot start " + viewer_ + ": " + Reason(error));
  }
  ReapInBackground(pid);
}

bool SystemServices::StartProgram(const std::string& path) {
  pid_t pid = 0;
  if (Spawn(path, {path}, false, pid) != 0) return false;
  ReapInBackground(pid);
  return true;
}

void SystemServices::EndProcess() { std::_Exit(0); }

OsVersion SystemServices::QueryOsVersion() { return OsVersion{}; }

void SystemServices::InitCommonControls() {}

void SystemServices::SaveSetting(const std::string&, const std::string&, const std::string&, const std::string&) {
  throw PlatformError("no settings store");
}

}  // namespace quorix::platform
