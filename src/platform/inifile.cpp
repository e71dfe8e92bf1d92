#include "platform/inifile.h"

#include "platform/rootdir.h"

#include <QSettings>

namespace kestrel::platform {

IniFile::IniFile(const QString& path)
    : path_(path), settings_(std::make_unique<QSettings>(path, QSettings::IniFormat))
{
}

IniFile::~IniFile()
{
    settings_->sync();
}

QString IniFile::fullKey(const QString& section, const QString& key) const
{
    return section + '/' + key;
}

bool IniFile::contains(const QString& section, const QString& key) const
{
    return settings_->contains(fullKey(section, key));
}

QString IniFile::value(const QString& section, const QString& key, const QString& fallback) const
{
    const QVariant v = settings_->value(fullKey(section, key));
    if (!v.isValid())
        return fallback;
    // A value holding an unquoted comma reads back as a list; keep it whole.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(',');
    return v.toString();
}

int IniFile::intValue(const QString& section, const QString& key, int fallback) const
{
    bool ok = false;
    const int n = value(section, key).trimmed().toInt(&ok);
    return ok ? n : fallback;
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value)
{
    settings_->setValue(fullKey(section, key), value);
}

void IniFile::setValue(const QString& section, const QString& key, int value)
{
    settings_->setValue(fullKey(section, key), QString::number(value));
}

bool IniFile::sync(QString* error)
{
    settings_->sync();
    switch (settings_->status()) {
    case QSettings::NoError:
        return true;
    case QSettings::AccessError:
        if (error)
            *error = QString("Cannot write %1.").arg(RootDir::nativePath(path_));
        return false;
    case QSettings::FormatError:
        if (error)
            *error = QString("%1 is not a readable INI file.").arg(RootDir::nativePath(path_));
        return false;
    }
    return false;
}

} // namespace kestrel::platform
