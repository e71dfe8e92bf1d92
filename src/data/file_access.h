#pragma once
// How procedures open and close the record files.
//
// The program has one RecordFile per dictionary file, bound to the file's
// shared record buffer, and one open counter per file. A procedure uses each
// file it reads or writes when it starts and releases it when it ends, on
// every exit path (FileUse does both): the first user opens the file (creating
// it when it is missing), the last one closes it, so a file stays open while
// any procedure on a chain of calls still uses it.
//
// Opening goes through the checked open, which settles every outcome itself:
// a locked file is asked to recover and opened once more, a missing file is
// created, damaged keys are offered for rebuilding (message 2), and anything
// that cannot be mended is reported with its standard message and ends the
// program. A use therefore returns only with the file open.
//
// Used from the GUI thread only, like the record files themselves.

#include "platform/recorddef.h"

#include <QString>

#include <initializer_list>
#include <string_view>
#include <vector>

namespace kestrel::platform {
class RecordFile;
class Transaction;
} // namespace kestrel::platform

namespace kestrel::data {

// The folder holding the record files (the root's DATA folder in the
// program, a temporary folder in tests). Refused (false) while any file is
// in use: the open files would otherwise be released from another folder.
bool setDataDirectory(const QString& dir);
QString dataDirectory();

// The program's record file of a dictionary file, bound to its shared
// buffer. An unknown file or label is a programming error and throws
// std::invalid_argument.
platform::RecordFile& recordFile(const platform::FileDef& def);
platform::RecordFile& recordFile(std::string_view label);

// Open counters. useFile opens the file with the checked open when its
// counter is 0, then counts the user; releaseFile uncounts one and closes
// the file when that was the last user. A release without a use is ignored.
// Using a file before the data directory is set throws std::logic_error.
void useFile(const platform::FileDef& def);
void releaseFile(const platform::FileDef& def);
int openCount(const platform::FileDef& def);

// Uses files for as long as it lives and releases each exactly once, also
// when the procedure is left by an exception. If a use ends the program
// midway, the files used before it are released.
class FileUse {
public:
    FileUse(std::initializer_list<const platform::FileDef*> files);
    explicit FileUse(std::vector<const platform::FileDef*> files);
    ~FileUse();
    FileUse(const FileUse&) = delete;
    FileUse& operator=(const FileUse&) = delete;

    // Releases now rather than at the end of the scope.
    void release();

private:
    void useAll();
    std::vector<const platform::FileDef*> files_;
    std::size_t used_ = 0;
};

// Opens a closed file, mending what can be mended; returns only with the
// file open (every other outcome ends the program through a message).
void checkedOpen(platform::RecordFile& file);

// After a failed write inside a transaction: saves the driver's current
// error into the saved error, then rolls the transaction back, so that the
// next standard message reports the write's error and not the rollback's.
void captureError(platform::Transaction& transaction);
// The same when the error is not the driver's: the reason is reported as
// the error of the next standard message, then the transaction is rolled back.
void captureRefusal(platform::Transaction& transaction, const QString& reason);

} // namespace kestrel::data
