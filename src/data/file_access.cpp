#include "data/file_access.h"

#include "data/messages.h"
#include "data/records.h"
#include "platform/filecheck.h"
#include "platform/recordfile.h"
#include "platform/transaction.h"

#include <QDir>

#include <memory>
#include <stdexcept>

namespace kestrel::data {

namespace {

using platform::FileDef;
using platform::RecordFile;
namespace errc = platform::errc;

struct Slot {
    const FileDef* def;
    std::unique_ptr<RecordFile> file;
    int count = 0;
};

QString& directory()
{
    static QString dir;
    return dir;
}

std::vector<Slot>& fileSlots()
{
    static std::vector<Slot> all = [] {
        std::vector<Slot> v;
        for (const FileBuffer& fb : allFiles()) {
            v.push_back({fb.def, std::make_unique<RecordFile>(*fb.def, fb.bytes), 0});
            v.back().file->setDirectory(directory());
        }
        return v;
    }();
    return all;
}

Slot& slotOf(const FileDef& def)
{
    for (Slot& s : fileSlots())
        if (s.def == &def) return s;
    // A copy of a dictionary definition still names the same file.
    for (Slot& s : fileSlots())
        if (FileDef::equalsNoCase(s.def->label, def.label)) return s;
    throw std::invalid_argument("no record file " + std::string(def.label));
}

// Paths in messages read as the user's system writes them.
QString pathOf(const RecordFile& f) { return QDir::toNativeSeparators(f.name()); }

} // namespace

bool setDataDirectory(const QString& dir)
{
    for (const Slot& s : fileSlots())
        if (s.count > 0) return false;
    directory() = dir;
    for (Slot& s : fileSlots()) {
        // A file left open without a counted user (a test, a tool) would
        // otherwise keep reading the old folder.
        s.file->close();
        s.file->setDirectory(dir);
    }
    return true;
}

QString dataDirectory() { return directory(); }

RecordFile& recordFile(const FileDef& def) { return *slotOf(def).file; }

RecordFile& recordFile(std::string_view label)
{
    const FileBuffer* fb = fileByLabel(label);
    if (!fb) throw std::invalid_argument("no record file " + std::string(label));
    return recordFile(*fb->def);
}

void useFile(const FileDef& def)
{
    // Without a folder the files would land wherever the process happens to
    // run: a start-up or test that forgot to set it.
    if (directory().isEmpty()) throw std::logic_error("the data directory is not set");
    Slot& s = slotOf(def);
    if (s.count == 0 && !s.file->isOpen()) checkedOpen(*s.file);
    ++s.count;
}

void releaseFile(const FileDef& def)
{
    Slot& s = slotOf(def);
    if (s.count <= 0) return;
    if (--s.count == 0) s.file->close();
}

int openCount(const FileDef& def) { return slotOf(def).count; }

FileUse::FileUse(std::initializer_list<const FileDef*> files) : files_(files) { useAll(); }

FileUse::FileUse(std::vector<const FileDef*> files) : files_(std::move(files)) { useAll(); }

void FileUse::useAll()
{
    try {
        for (; used_ < files_.size(); ++used_) useFile(*files_[used_]);
    } catch (...) {
        // The destructor does not run for an object whose constructor failed.
        release();
        throw;
    }
}

FileUse::~FileUse() { release(); }

void FileUse::release()
{
    while (used_ > 0) releaseFile(*files_[--used_]);
}

void checkedOpen(RecordFile& file)
{
    int rc = file.open();
    if (rc == errc::FileLocked) {
        file.send("Recover=10");
        rc = file.open();
    }
    if (rc == errc::Ok || rc == errc::AlreadyOpen) return;

    const QString path = pathOf(file);
    if (rc == errc::FileNotFound) {
        // A fresh data folder may not exist yet; the file's own creation
        // reports anything else that stands in the way.
        QDir().mkpath(file.directory());
        if (file.create() != errc::Ok) standardMessage(MessageNo::FileCreationError, path);
        rc = file.open();
        if (rc != errc::Ok && rc != errc::AlreadyOpen) standardMessage(MessageNo::CreatedFileOpenError, path);
        return;
    }
    if (rc == errc::InvalidKeyFile) {
        // Keys naming records the table lost: the rebuild drops those
        // records, so the question says how many before Yes agrees to it.
        const platform::RecordLoss loss = platform::lostRecords(file.def(), file.name());
        const QString named =
            loss.count ? QStringLiteral("%1 (rebuilding loses %2)").arg(path, loss.description) : path;
        // No ends the program inside the message.
        standardMessage(MessageNo::InvalidKey, named);
        using Loss = RecordFile::Loss;
        if (file.build(loss.count ? Loss::Accept : Loss::Refuse) != errc::Ok) standardMessage(MessageNo::KeyRebuildError, path);
        rc = file.open();
        if (rc == errc::Ok || rc == errc::AlreadyOpen) return;
    }
    if (rc == errc::InvalidFile) standardMessage(MessageNo::InvalidFile, path);
    standardMessage(MessageNo::FileAccessError, path);
}

void captureError(platform::Transaction& transaction)
{
    const platform::LastError& e = platform::driverErrors.last();
    saveError({e.code, QString::fromStdString(e.text), e.driverCode, QString::fromStdString(e.driverMessage)});
    if (transaction.active()) transaction.rollback();
}

void captureRefusal(platform::Transaction& transaction, const QString& reason)
{
    saveError({RefusedError, reason, 0, {}});
    if (transaction.active()) transaction.rollback();
}

} // namespace kestrel::data
