// The questions the Plots window asks its platform: where to save a
// picture, and which measured record to open. Behind an interface so that
// tests can answer them without a dialog on screen.
#pragma once

#include <optional>
#include <string>

namespace quorix::platform {

class SaveDialogs {
 public:
  virtual ~SaveDialogs() = default;

  // Asks the user for the path of a file to write, in the system's own
  // save dialog. `filter` names the file type as "Description (*.ext)";
  // `suggestedName` is the file name the dialog proposes. Returns the chosen
  // path (the user may have typed it without its extension), or nothing
  // when the user cancels.
  virtual std::optional<std::string> AskSavePath(const std::string& title, const std::string& filter,
                                                 const std::string& suggestedName) = 0;

  // Asks the user for an existing file to read, in the system's own open
  // dialog. `filter` as above, entries separated by ";;". Returns the chosen
  // path, or nothing when the user cancels.
  virtual std::optional<std::string> AskOpenPath(const std::string& title, const std::string& filter) = 0;
};

}  // namespace quorix::platform
