#include "app/qt_settings.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QVariant>

namespace tw::app {
namespace {

QString keyOf(std::string_view section, std::string_view name) {
    QString key = QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size()));
    key.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!key.isEmpty()) key += QLatin1Char('/');
    key += QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    return key;
}

bool isUtf8(std::string_view s) {
    const QByteArray bytes(s.data(), static_cast<qsizetype>(s.size()));
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// The store holds passwords in plain text: only its owner may read it. The file is created
// that way at the first write, so it is never readable by others even for a moment, and
// the mode is set again after each write in case an older file was more open.
void restrictToOwner(const QString& file) {
    if (file.isEmpty()) return;
    if (!QFileInfo::exists(file)) {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile f(file);
        if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly)) f.close();
    }
    if (QFileInfo::exists(file)) QFile::setPermissions(file, kOwnerOnly);
}

}  // namespace

QtSettingsProfile::QtSettingsProfile()
    : settings_(std::make_unique<QSettings>(QStringLiteral("Corvane Software"),
                                            QStringLiteral("Tallyweb"))) {}

QtSettingsProfile::QtSettingsProfile(const std::string& iniFile)
    : settings_(
          std::make_unique<QSettings>(QString::fromStdString(iniFile), QSettings::IniFormat)) {}

QtSettingsProfile::~QtSettingsProfile() {
    flush();
}

int QtSettingsProfile::getInt(std::string_view section, std::string_view name, int fallback) const {
    const QVariant v = settings_->value(keyOf(section, name));
    bool ok = false;
    const int n = v.toInt(&ok);
    return v.isValid() && ok ? n : fallback;
}

std::string QtSettingsProfile::getString(std::string_view section, std::string_view name,
                                         std::string_view fallback) const {
    const QVariant v = settings_->value(keyOf(section, name));
    if (!v.isValid()) return std::string(fallback);
    const QByteArray bytes =
        v.typeId() == QMetaType::QByteArray ? v.toByteArray() : v.toString().toUtf8();
    return bytes.toStdString();
}

void QtSettingsProfile::beforeWrite() {
    if (written_) return;
    written_ = true;
    restrictToOwner(settings_->fileName());
}

void QtSettingsProfile::setInt(std::string_view section, std::string_view name, int value) {
    beforeWrite();
    settings_->setValue(keyOf(section, name), value);
}

void QtSettingsProfile::setString(std::string_view section, std::string_view name,
                                  std::string_view value) {
    beforeWrite();
    if (isUtf8(value))
        settings_->setValue(keyOf(section, name),
                            QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
    else
        settings_->setValue(keyOf(section, name),
                            QByteArray(value.data(), static_cast<qsizetype>(value.size())));
}

namespace {

std::string standardFolder(QStandardPaths::StandardLocation location) {
    // The standard paths are named after the application; set the names even when no
    // application object exists (the command line has none).
    QCoreApplication::setOrganizationName(QStringLiteral("Corvane Software"));
    QCoreApplication::setApplicationName(QStringLiteral("Tallyweb"));
    const QString folder = QStandardPaths::writableLocation(location);
    if (folder.isEmpty() || !QDir().mkpath(folder)) return {};
    return folder.toStdString();
}

}  // namespace

std::string QtSettingsProfile::dataFolder() const {
    return standardFolder(QStandardPaths::AppDataLocation);
}

std::string QtSettingsProfile::cacheFolder() const {
    return standardFolder(QStandardPaths::CacheLocation);
}

bool QtSettingsProfile::flush() {
    settings_->sync();
    if (written_) restrictToOwner(settings_->fileName());
    return settings_->status() == QSettings::NoError;
}

}  // namespace tw::app
