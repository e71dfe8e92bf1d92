#pragma once
// The record file work of one update form: using and releasing its files
// (open counters), the driver operations the form engine calls directly
// (add, the duplicate test, reading the highest number, the numbering
// placeholder) and the file's update and delete operations (transactions,
// changed-elsewhere detection, cascades).
//
// Operations that the engine tests for an error return the record driver's
// code (0 success, 40 duplicate key ...); the update operation returns 0
// success, 1 failure (message shown), 2 changed by another station, 3
// deleted by another station (data::UpdateResult).

#include "data/names.h"
#include "platform/recordfile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

namespace kestrel::platform {
class RecordFile;
}

namespace kestrel::shell {

class FormFiles {
public:
    // `file`: the form's file; `alsoUses`: other files kept open while the
    // form runs. No file, or a key or field of another file than the form's
    // below, throws std::invalid_argument (a programming error).
    FormFiles(data::FileName file, const std::vector<data::FileName>& alsoUses);
    ~FormFiles();
    FormFiles(const FormFiles&) = delete;
    FormFiles& operator=(const FormFiles&) = delete;

    const platform::FileDef& def() const { return *def_; }
    qsizetype recordLength() const { return def_->recordLength; }

    // Counts the form as a user of its files (the first user opens them);
    // release() gives them back. Both are idempotent.
    void use();
    void release();

    // The shared record buffer of the form's file.
    QByteArray buffer() const;
    void setBuffer(const QByteArray& bytes);

    // The integrity snapshot of the record about to be changed (a claim's
    // provider, patient and number; other files have none). It also holds
    // that record as the file's current one: the form's file is shared, and
    // a lookup or another window may read through it before the form saves.
    void snapshot();

    // Automatic numbering. highest(): the highest number now on file (0 for
    // an empty file); error is the driver's code for a failed read. The
    // buffer is overwritten by the read.
    struct Highest {
        int error = 0;
        long long value = 0;
    };
    Highest highest(data::KeyName key, data::FieldName field);
    // Puts `value` into the number field of the buffer; false, with a reason,
    // when the field cannot hold it.
    bool setNumber(data::FieldName field, long long value, QString* why);
    // Leaves the "numbers used up" reason as the error the next standard
    // message reports.
    void reportNumbersUsedUp(const QString& why);

    // Adds the buffer as a new record; the driver's code.
    int add();
    // Position of the record just added.
    std::string position() const;
    // Writes the buffer over the record at `pos` (a numbered Insert saved
    // over its placeholder); the driver's code.
    int putOver(const std::string& pos);
    // Deletes the record at `pos` (the placeholder of a cancelled Insert);
    // the buffer is left as it was.
    void removePlaceholder(const std::string& pos);
    // The driver's duplicate test for a unique key of the file, after a 40.
    bool duplicate(data::KeyName key);

    // Reads the record of `file` whose `key` matches the key values in
    // `bytes` into `bytes`, which are cleared when none matches. `bytes` is
    // the file's shared buffer (read through the program's record file, which
    // then has that record as current) or a private copy, read through a
    // connection of its own so that the program's record file, its current
    // record and its change-watching stay as the caller left them.
    void lookUp(data::FileName file, data::KeyName key, unsigned char* bytes);

    // The file's update operation: 0 to 3. The delete operation: true on
    // success. Both act on the record held by snapshot(), whatever was read
    // through the file since.
    int update();
    bool remove();

private:
    platform::RecordFile& recordFile() const;
    platform::RecordFile* privateFile(const platform::FileDef& def, unsigned char* bytes);

    const platform::FileDef* def_ = nullptr;
    unsigned char* bytes_ = nullptr;
    std::vector<data::FileName> labels_;  // the form's file first, then the others
    bool used_ = false;
    std::vector<std::unique_ptr<platform::RecordFile>> privateFiles_;
    platform::RecordFile::Current held_;
};

} // namespace kestrel::shell
