// The run-time services of the desktop program: the system's services
// (POSIX or Windows) with a real per-user settings store (QSettings) and
// per-user data folder (QStandardPaths).
#pragma once

#include <string>

#include "system_services.h"

namespace quorix::platform {

class QtServices : public SystemServices {
 public:
  // Names the application "Quorix" for the toolkit, which names the
  // per-user data folder after it (the executable's own name is lower case).
  explicit QtServices(std::string viewer = kDefaultViewer);

  static constexpr const char* kApplicationName = "Quorix";

  // The organisation under which the per-user settings are kept; the
  // application name is the caller's (the executable's base name).
  static constexpr const char* kSettingsOrganization = "Quorix";

  // Stores the value in the native per-user store (the registry on
  // Windows, an INI file under the user's configuration folder elsewhere)
  // under application name, "section/key". Throws PlatformError when the
  // store could not be written.
  void SaveSetting(const std::string& application, const std::string& section, const std::string& key,
                   const std::string& value) override;

  // The application's data folder, QStandardPaths::AppDataLocation
  // (~/.local/share/Quorix on Linux, %APPDATA%\Quorix on Windows), created
  // when it is missing.
  std::string UserDataFolder() override;
};

}  // namespace quorix::platform
