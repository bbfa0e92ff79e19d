// The desktop program's settings store and data folder.
#include "qt_services.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

namespace quorix::platform {
namespace {

TEST(QtServices, SettingsStoreAndDataFolder) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
  QtServices services;
  services.SaveSetting("quorix-test", "Settings", "CanRun", "YES");
  services.SaveSetting("quorix-test", "Settings", "CanRun", "NO");  // overwrites
  QSettings store(QSettings::NativeFormat, QSettings::UserScope, QtServices::kSettingsOrganization, "quorix-test");
  EXPECT_EQ(store.value("Settings/CanRun").toString().toStdString(), "NO");
#ifndef _WIN32
  // POSIX: per user, in a file named after the application (a read-back could also find a system-wide value).
  QFile file(folder.filePath(QStringLiteral("Quorix/quorix-test.conf")));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("[Settings]\nCanRun=NO"));
  // Neither a store nor a data folder can be made below a plain file.
  QFile plain(folder.filePath(QStringLiteral("not-a-folder")));
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, plain.fileName());
  EXPECT_THROW(services.SaveSetting("quorix-test", "Settings", "CanRun", "YES"), PlatformError);
  // The data folder: named after the program under XDG_DATA_HOME, made with its parents.
  const QByteArray previous = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", folder.filePath(QStringLiteral("data/home")).toUtf8());
  const std::string expected = folder.filePath(QStringLiteral("data/home/Quorix")).toStdString();
  EXPECT_EQ(services.UserDataFolder(), expected);
  EXPECT_TRUE(QFileInfo(QString::fromStdString(expected)).isDir());
  EXPECT_EQ(services.UserDataFolder(), expected);  // already there
  qputenv("XDG_DATA_HOME", plain.fileName().toUtf8());
  EXPECT_THROW(services.UserDataFolder(), PlatformError);
  previous.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", previous);
#endif
}

}  // namespace
}  // namespace quorix::platform
