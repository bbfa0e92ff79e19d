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
  QString PlainFile() {  // where a folder would be needed
    QFile file(folder_.filePath(QStringLiteral("not-a-folder")));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    return file.fileName();
  }
  QTemporaryDir folder_;
  QtServices services_;
};

TEST_F(QtServicesTest, SavesUnderApplicationSectionAndKey) {
  services_.SaveSetting("quorix-test", "Settings", "CanRun", "YES");
  services_.SaveSetting("quorix-test", "Settings", "CanRun", "NO");  // overwrites
  QSettings store(QSettings::NativeFormat, QSettings::UserScope, QtServices::kSettingsOrganization, "quorix-test");
  EXPECT_EQ(store.value("Settings/CanRun").toString().toStdString(), "NO");
#ifndef _WIN32
  // Per user, in a file named after the application (a read-back could also find a system-wide value).
  QFile file(folder_.filePath(QStringLiteral("Quorix/quorix-test.conf")));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("[Settings]\nCanRun=NO"));
  // A store whose folder would be below a plain file cannot be written.
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, PlainFile());
  EXPECT_THROW(services_.SaveSetting("quorix-test", "Settings", "CanRun", "YES"), PlatformError);
#endif
}

#ifndef _WIN32  // POSIX folders and XDG_DATA_HOME
// Named after the program under XDG_DATA_HOME, made with its parents; one that cannot be made is an error.
TEST_F(QtServicesTest, UserDataFolderIsCreatedUnderTheDataHome) {
  const QByteArray previous = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", folder_.filePath(QStringLiteral("data/home")).toUtf8());
  const std::string expected = folder_.filePath(QStringLiteral("data/home/Quorix")).toStdString();
  EXPECT_EQ(services_.UserDataFolder(), expected);
  EXPECT_TRUE(QFileInfo(QString::fromStdString(expected)).isDir());
  EXPECT_EQ(services_.UserDataFolder(), expected);  // already there
  qputenv("XDG_DATA_HOME", PlainFile().toUtf8());
  EXPECT_THROW(services_.UserDataFolder(), PlatformError);
  previous.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", previous);
}
#endif

}  // namespace
}  // namespace quorix::platform
