#include "visual_styles.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>

namespace quorix::startup {

using platform::Services;

namespace {

#ifdef _WIN32
constexpr std::string_view kExecutableSuffix = ".exe";
#else
constexpr std::string_view kExecutableSuffix = "";
#endif

// One recovery unit: an error abandons the step and the sequence goes on.
// Only std::exception is caught, so the end of the process (which must not
// return) is never mistaken for a failed step.
template <class Step>
void Attempt(Step step) {
  try {
    step();
  } catch (const std::exception&) {
  }
}

void SetRelaunchMarker(bool on) {
#ifdef _WIN32
  _putenv_s(kRelaunchMarker, on ? "1" : "");
#else
  if (on) {
    setenv(kRelaunchMarker, "1", 1);
  } else {
    unsetenv(kRelaunchMarker);
  }
#endif
}

}  // namespace

std::string ManifestPath(Services& services) {
  return platform::JoinPath(services.ExecutableFolder(), services.ExecutableBaseName() + ".exe.MANIFEST");
}

std::string RelaunchTarget(Services& services) {
  return platform::JoinPath(services.ExecutableFolder(),
                            services.ExecutableBaseName() + std::string(kExecutableSuffix));
}

bool ManifestExists(Services& services) {
  try {
    return services.CanOpenForInput(ManifestPath(services));
  } catch (const std::exception&) {
    return false;
  }
}

bool WriteManifest(Services& services) {
  std::unique_ptr<platform::TextFile> file;
  try {
    file = services.OpenForOutput(ManifestPath(services));
    std::string_view rest = kManifestText;
    while (!rest.empty()) {
      const auto end = rest.find("\r\n");
      file->WriteLine(rest.substr(0, end));
      rest.remove_prefix(end + 2);
    }
    file->Close();
    return true;
  } catch (const std::exception&) {
    if (file) {
      try {
        file->Close();
      } catch (const std::exception&) {
      }
    }
    return false;
  }
}

int WindowsVersionCode(const platform::OsVersion& version) {
  if (!version.ok) return 0;
  // The version record holds unsigned fields, but the classification
  // compares them as signed 32-bit integers: a minor version of 0xFFFFFFFF
  // is -1, not "greater than 0".
  const auto platform = static_cast<std::int32_t>(version.platformId);
  const auto major = static_cast<std::int32_t>(version.major);
  const auto minor = static_cast<std::int32_t>(version.minor);
  constexpr std::int32_t kWin32Windows = 1;  // the 9x line
  constexpr std::int32_t kWin32Nt = 2;
  if (platform == kWin32Nt && major == 5 && minor == 1) return 6;
  if (platform == kWin32Nt && major == 5 && minor == 0) return 5;
  if (platform == kWin32Nt && major == 4) return 4;
  if (platform == kWin32Windows && major == 4 && minor == 90) return 3;
  if (platform == kWin32Windows && major > 4) return 2;
  if (major == 4 && minor > 0) return 2;
  if (platform == kWin32Windows && major == 4 && minor == 0) return 1;
  return 0;
}

int WindowsVersionCode(Services& services) {
  try {
    return WindowsVersionCode(services.QueryOsVersion());
  } catch (const std::exception&) {
    return 0;
  }
}

bool ShellExecuteFile(Services& services, const std::string& file, const char* operation, const char* parameters,
                      const char* directory, int showCommand) {
  const bool open = operation != nullptr && (std::string_view(operation) == "Open" ||
                                             std::string_view(operation) == "open");
  if (!open || parameters != nullptr || directory != nullptr || showCommand != kShowNoActivate) return false;
  try {
    return services.StartProgram(file);
  } catch (const std::exception&) {
    return false;
  }
}

bool TakeRelaunchMarker() {
  const char* value = std::getenv(kRelaunchMarker);
  const bool marked = value != nullptr && *value != '\0';
  if (marked) SetRelaunchMarker(false);
  return marked;
}

void VisualStylesStartup(Services& services, const std::function<void()>& loadAndShowMainWindow,
                         bool relaunchedCopy) {
  bool manifestPresent = false;
  Attempt([&] { manifestPresent = ManifestExists(services); });

  int code = 0;
  Attempt([&] { code = WindowsVersionCode(services); });

  if (code > 5) {
    // Written on every such start, present or not. The controls are
    // initialised before the relaunch decision, so a copy about to relaunch
    // initialises them too.
    const bool written = WriteManifest(services);
    if (written) {
      Attempt([&] { services.InitCommonControls(); });
    } else {
      manifestPresent = true;  // nothing to gain from a relaunch
    }
  } else {
    manifestPresent = true;
  }

  // A relaunched copy that still cannot read the manifest would relaunch
  // again, and so on without end.
  if (relaunchedCopy) manifestPresent = true;

  if (manifestPresent) {
    Attempt(loadAndShowMainWindow);
    return;
  }

  Attempt([&] { services.SaveSetting(services.ExecutableBaseName(), "Settings", "CanRun", "YES"); });

  bool started = false;
  Attempt([&] {
    const std::string target = RelaunchTarget(services);
    SetRelaunchMarker(true);  // inherited by the new copy
    started = ShellExecuteFile(services, target, "Open", nullptr, nullptr, kShowNoActivate);
  });
  if (started) services.EndProcess();
  SetRelaunchMarker(false);

  Attempt([&] { services.SaveSetting(services.ExecutableBaseName(), "Settings", "CanRun", "NO"); });
  Attempt(loadAndShowMainWindow);
}

}  // namespace quorix::startup
