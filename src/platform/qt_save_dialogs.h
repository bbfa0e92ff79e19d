// The save dialog of the desktop program: the platform's native file
// dialog, opened in the folder the user chose last.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "save_dialogs.h"

namespace quorix::platform {

class QtSaveDialogs : public SaveDialogs {
 public:
  std::optional<std::string> AskSavePath(const std::string& title, const std::string& filter,
                                         const std::string& suggestedName) override;

 private:
  QString lastFolder_;  // empty until the first accepted dialog: the user's picture folder
};

}  // namespace quorix::platform
