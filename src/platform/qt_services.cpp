#include "qt_services.h"

#include <QSettings>
#include <QString>

namespace quorix::platform {

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
