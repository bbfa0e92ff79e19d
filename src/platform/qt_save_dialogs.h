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
  std::optional<std::string> AskOpenPath(const std::string& title, const std::string& filter) override;

 private:
  QString lastFolder_;      // empty until the first accepted dialog: the user's picture folder
  QString lastOpenFolder_;  // empty until the first record opened: the user's documents
};

}  // namespace quorix::platform
