#include "qt_save_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace quorix::platform {

std::optional<std::string> QtSaveDialogs::AskSavePath(const std::string& title, const std::string& filter,
                                                      const std::string& suggestedName) {
  QString folder = lastFolder_;
  if (folder.isEmpty()) folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
  // The dialog is modal to the window the user is working in, so it opens
  // over it rather than somewhere on the desktop.
  const QString path = QFileDialog::getSaveFileName(
      QApplication::activeWindow(), QString::fromStdString(title),
      QDir(folder).filePath(QString::fromStdString(suggestedName)), QString::fromStdString(filter));
  if (path.isEmpty()) return std::nullopt;
  lastFolder_ = QFileInfo(path).absolutePath();
  return path.toStdString();
}

std::optional<std::string> QtSaveDialogs::AskOpenPath(const std::string& title, const std::string& filter) {
  QString folder = lastOpenFolder_;
  if (folder.isEmpty()) folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
  const QString path = QFileDialog::getOpenFileName(QApplication::activeWindow(), QString::fromStdString(title), folder,
                                                    QString::fromStdString(filter));
  if (path.isEmpty()) return std::nullopt;
  lastOpenFolder_ = QFileInfo(path).absolutePath();
  return path.toStdString();
}

}  // namespace quorix::platform
