// The desktop program's settings store and data folder.
#include "qt_services.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

namespace quorix::platform {
namespace {

class QtServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder_.path());
  }
  QTemporaryDir folder_;
};

TEST_F(QtServicesTest, SavesUnderApplicationSectionAndKey) {
  QtServices services;
  services.SaveSetting("quorix-test", "Settings", "CanRun", "YES");
  services.SaveSetting("quorix-test", "Settings", "CanRun", "NO");  // overwrites
  services.SaveSetting("renamed", "Settings", "CanRun", "YES");
  for (const auto& [application, value] : {std::pair{"quorix-test", "NO"}, {"renamed", "YES"}}) {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QtServices::kSettingsOrganization, application);
    EXPECT_EQ(store.value("Settings/CanRun").toString().toStdString(), value) << application;
  }
#ifndef _WIN32
  // Per user, in a file named after the application (a read-back could also find a system-wide value).
  QFile file(folder_.filePath(QStringLiteral("Quorix/quorix-test.conf")));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("[Settings]\nCanRun=NO"));
#endif
}

#ifndef _WIN32  // POSIX folders and XDG_DATA_HOME
TEST_F(QtServicesTest, StoreThatCannotBeWrittenThrows) {  // its folder would be below a plain file
  QFile blocker(folder_.filePath(QStringLiteral("not-a-folder")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, blocker.fileName());
  EXPECT_THROW(QtServices().SaveSetting("quorix-test", "Settings", "CanRun", "YES"), PlatformError);
}

// Named after the program under XDG_DATA_HOME, made with its parents; one that cannot be made is an error.
TEST_F(QtServicesTest, UserDataFolderIsCreatedUnderTheDataHome) {
  const QByteArray previous = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", folder_.filePath(QStringLiteral("data/home")).toUtf8());
  QtServices services;
  const std::string expected = folder_.filePath(QStringLiteral("data/home/Quorix")).toStdString();
  EXPECT_EQ(services.UserDataFolder(), expected);
  EXPECT_TRUE(QFileInfo(QString::fromStdString(expected)).isDir());
  EXPECT_EQ(services.UserDataFolder(), expected);  // already there

  QFile blocker(folder_.filePath(QStringLiteral("plain-file")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  qputenv("XDG_DATA_HOME", blocker.fileName().toUtf8());
  EXPECT_THROW(services.UserDataFolder(), PlatformError);
  if (previous.isNull()) {
    qunsetenv("XDG_DATA_HOME");
  } else {
    qputenv("XDG_DATA_HOME", previous);
  }
}
#endif

}  // namespace
}  // namespace quorix::platform
