#include "qt_services.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <utility>

namespace quorix::platform {

QtServices::QtServices(std::string viewer) : SystemServices(std::move(viewer)) {
  QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationName));
}

std::string QtServices::UserDataFolder() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (folder.isEmpty()) throw PlatformError("no per-user data folder");
  if (!QDir().mkpath(folder)) throw PlatformError("cannot create " + folder.toStdString());
  return QDir::toNativeSeparators(folder).toStdString();
}

void QtServices::SaveSetting(const std::string& application, const std::string& section, const std::string& key,
                             const std::string& value) {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QString::fromUtf8(kSettingsOrganization),
                     QString::fromStdString(application));
  settings.setValue(QString::fromStdString(section) + u'/' + QString::fromStdString(key),
                    QString::fromStdString(value));
  // setValue() only fills a cache; the store is written, and can fail, here.
  settings.sync();
  if (settings.status() != QSettings::NoError) {
    throw PlatformError("cannot save the setting " + section + "/" + key + " for " + application);
  }
}

}  // namespace quorix::platform
