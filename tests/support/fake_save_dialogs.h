// A stand-in for the save and open dialogs in tests: answers with a path
// set beforehand (nothing: the user cancels) and records what it was asked.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "save_dialogs.h"

namespace quorix::testing {

struct FakeSaveDialogs : platform::SaveDialogs {
  struct Question {
    std::string title, filter, suggestedName;
  };
  std::optional<std::string> answer, openAnswer;  // to the next save and open dialog
  std::vector<Question> questions, openQuestions;

  std::optional<std::string> AskSavePath(const std::string& title, const std::string& filter,
                                         const std::string& suggestedName) override {
    questions.push_back({title, filter, suggestedName});
    return answer;
  }
  std::optional<std::string> AskOpenPath(const std::string& title, const std::string& filter) override {
    openQuestions.push_back({title, filter, std::string()});
    return openAnswer;
  }
};

}  // namespace quorix::testing
