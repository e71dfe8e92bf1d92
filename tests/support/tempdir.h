#pragma once
// A fresh, empty directory per test, removed afterwards.
#include <QString>
#include <QTemporaryDir>

namespace kestrel::test {

class TempDir {
public:
    TempDir() : dir_(QDir::tempPath() + "/kestrel-test-XXXXXX") {}
    QString path() const { return dir_.path(); }
    std::string str() const { return dir_.path().toStdString(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};

} // namespace kestrel::test
