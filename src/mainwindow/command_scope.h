// The scope of one of the window's commands (Solve, Loop), shared by the
// files that run them.
#pragma once

#include <QPointer>
#include <QWidget>

#include "mainform.h"

namespace quorix {

// Disables the whole window while a command runs and enables it again on
// every way out. Disabling takes the keyboard focus away from the window's
// controls, so the focus is handed back to where it was.
class MainForm::CommandScope {
 public:
  explicit CommandScope(MainForm& form) : form_(form), focus_(form.focusWidget()) { form_.setEnabled(false); }
  ~CommandScope() {
    form_.setEnabled(true);
    if (focus_) focus_->setFocus(Qt::OtherFocusReason);
  }
  CommandScope(const CommandScope&) = delete;
  CommandScope& operator=(const CommandScope&) = delete;

 private:
  MainForm& form_;
  QPointer<QWidget> focus_;
};

}  // namespace quorix
