// The run-time services of the desktop program: the system's services
// (POSIX or Windows) with a real per-user settings store (QSettings).
#pragma once

#include <string>

#include "system_services.h"

namespace quorix::platform {

class QtServices : public SystemServices {
 public:
  using SystemServices::SystemServices;

  // The organisation under which the per-user settings are kept; the
  // application name is the caller's (the executable's base name).
  static constexpr const char* kSettingsOrganization = "Quorix";

  // Stores the value in the native per-user store (the registry on
  // Windows, an INI file under the user's configuration folder elsewhere)
  // under application name, "section/key". Throws PlatformError when the
  // store could not be written.
  void SaveSetting(const std::string& application, const std::string& section, const std::string& key,
                   const std::string& value) override;
};

}  // namespace quorix::platform
