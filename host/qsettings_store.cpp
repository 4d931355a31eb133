#include "host/qsettings_store.h"

#include <QByteArray>
#include <QSettings>
#include <QString>

#include <cstdlib>

namespace pixmill {

namespace {
QString Key(const std::string& section, const std::string& name) {
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(name);
}
} // namespace

QSettingsStore::QSettingsStore(const std::string& fileName) {
    std::string file = fileName;
    if (file.empty()) {
        if (const char* env = std::getenv("PIXMILL_SETTINGS"); env != nullptr && *env != '\0') {
            file = env;
        }
    }
    if (!file.empty()) {
        settings = std::make_unique<QSettings>(QString::fromStdString(file), QSettings::IniFormat);
    } else {
        settings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                               QStringLiteral("QOREL Technologies"),
                                               QStringLiteral("Pixmill"));
    }
}

QSettingsStore::~QSettingsStore() {
    settings->sync();
}

std::string QSettingsStore::FileName() const {
    return settings->fileName().toStdString();
}

std::optional<Bytes> QSettingsStore::ReadBinary(const std::string& section,
                                                const std::string& name) {
    const QVariant value = settings->value(Key(section, name));
    if (!value.isValid() || value.typeId() != QMetaType::QByteArray) {
        return std::nullopt;
    }
    const QByteArray bytes = value.toByteArray();
    return Bytes(bytes.begin(), bytes.end());
}

void QSettingsStore::WriteBinary(const std::string& section, const std::string& name,
                                 const Bytes& value) {
    settings->setValue(Key(section, name), QByteArray(reinterpret_cast<const char*>(value.data()),
                                                      static_cast<qsizetype>(value.size())));
}

std::optional<std::string> QSettingsStore::ReadText(const std::string& section,
                                                    const std::string& name) {
    const QVariant value = settings->value(Key(section, name));
    if (!value.isValid()) {
        return std::nullopt;
    }
    return value.toString().toStdString();
}

void QSettingsStore::WriteText(const std::string& section, const std::string& name,
                               const std::string& value) {
    settings->setValue(Key(section, name), QString::fromStdString(value));
}

void QSettingsStore::Remove(const std::string& section, const std::string& name) {
    settings->remove(Key(section, name));
}

void QSettingsStore::Flush() {
    settings->sync();
}

} // namespace pixmill
