// Helpers shared by the Qt tests of the main window.
#pragma once

#include <QApplication>
#include <QLabel>
#include <QStringList>
#include <QWidget>

namespace quorix::testing {

// The one child of `root` with this object name, or nullptr when there is
// none or more than one (a control's name must be unique in its window).
template <class T = QWidget>
T* Control(const QObject& root, const QString& name) {
  const auto found = root.findChildren<T*>(name);
  return found.size() == 1 ? found.front() : nullptr;
}

// The name of the widget that has the keyboard focus, or "<none>".
inline QString FocusName() {
  const QWidget* focus = QApplication::focusWidget();
  return focus ? focus->objectName() : QStringLiteral("<none>");
}

// The texts of the nine result labels, in the window's order.
inline QStringList ResultLabelTexts(const QObject& form) {
  QStringList texts;
  for (const char* name : {"lblZaValue", "lblFhaValue", "lblFelaValue", "lblFaValue", "lblKcdValue", "lblKdaValue",
                           "lblDEOverFyUyValue", "lblDEOverFhUyValue", "lblDEValue"}) {
    texts << Control<QLabel>(form, QString::fromLatin1(name))->text();
  }
  return texts;
}

}  // namespace quorix::testing
