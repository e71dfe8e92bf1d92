#pragma once
// An INI file read and written by file, section and key. Section and key
// names are written exactly as given ("Main", "Maximize"); values are text.
// Other sections and keys already in the file are kept.

#include <QString>
#include <memory>

class QSettings;

namespace kestrel::platform {

class IniFile {
public:
    explicit IniFile(const QString& path);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    QString path() const { return path_; }

    bool contains(const QString& section, const QString& key) const;
    // The value, or `fallback` when the key is missing.
    QString value(const QString& section, const QString& key, const QString& fallback = {}) const;
    // A whole number; a missing key or a value that is not a whole number
    // (a damaged file) gives `fallback`.
    int intValue(const QString& section, const QString& key, int fallback = 0) const;

    void setValue(const QString& section, const QString& key, const QString& value);
    void setValue(const QString& section, const QString& key, int value);

    // Writes pending changes to disk. Returns false (and a message naming the
    // file in *error) when the file cannot be written or is not a readable INI file.
    bool sync(QString* error = nullptr);

private:
    QString fullKey(const QString& section, const QString& key) const;

    QString path_;
    std::unique_ptr<QSettings> settings_;
};

} // namespace kestrel::platform
