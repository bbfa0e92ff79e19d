// A stand-in for the save and open dialogs in tests: answers with a path
// set beforehand (or cancels) and records what it was asked. No Qt here.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "save_dialogs.h"

namespace quorix::testing {

class FakeSaveDialogs : public platform::SaveDialogs {
 public:
  struct Question {
    std::string title, filter, suggestedName;
  };

  // The answer to the next question; nothing: the user cancels.
  std::optional<std::string> answer;
  std::vector<Question> questions;

  std::optional<std::string> AskSavePath(const std::string& title, const std::string& filter,
                                         const std::string& suggestedName) override {
    questions.push_back({title, filter, suggestedName});
    return answer;
  }

  // The answer to the next open dialog; nothing: the user cancels.
  std::optional<std::string> openAnswer;
  std::vector<Question> openQuestions;

  std::optional<std::string> AskOpenPath(const std::string& title, const std::string& filter) override {
    openQuestions.push_back({title, filter, std::string()});
    return openAnswer;
  }
};

}  // namespace quorix::testing
