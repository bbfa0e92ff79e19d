// A stand-in for the save and open dialogs: answers with a path set beforehand (none: the user cancels).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "save_dialogs.h"

namespace quorix::testing {

struct FakeSaveDialogs : platform::SaveDialogs {
  std::optional<std::string> answer, openAnswer;  // to the next save and open dialog
  std::vector<std::string> filters;                // of each save dialog

  std::optional<std::string> AskSavePath(const std::string&, const std::string& filter, const std::string&) override {
    return filters.push_back(filter), answer;
  }
  std::optional<std::string> AskOpenPath(const std::string&, const std::string&) override { return openAnswer; }
};

}  // namespace quorix::testing
