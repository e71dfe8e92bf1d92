#pragma once
// Keyed record files. One RecordFile per file of the data dictionary, bound to
// the file's description and to its record buffer: every operation reads or
// writes those bytes. The records live in an SQLite database (one per file,
// dir/FileDef::fileName) with one typed column per field, readable with the
// standard sqlite3 tools; nothing outside src/platform sees SQL.
//
// Every operation returns an error code and also keeps it (error(),
// errorText(), and for 90 the database's own code and message). The codes:
//
//   0  ok                      33 no record / end of a walk
//   2  file not found          37 file not open
//  32  file locked             40 creates duplicate key
//  46  key file invalid        47 invalid file (not a record file of ours)
//  52  already open (success)  89 changed by another station
//  90  driver error (driverCode()/driverMessage() tell which)
//
// Key orders: components in binding order; case-insensitive keys ignore letter
// case of text components the way cp1252::toUpper folds it (accented letters
// included: "émile" and "ÉMILE" are equal values); an excludes-empty key does not list a record whose
// components are all empty (blank text, zero number); ties among equal key
// values are broken by the record's identity, fixed when it is added, so a
// position is exact even in keys with duplicates; an empty date sorts before
// every real date.
//
// Damaged keys (46): open runs a quick structural check on files under 32 MiB
// (not again while a file is as this process last found it sound); anything
// that meets corruption later classifies it the same way: when the records
// still read whole, the damage is in the keys and the result is 46 (build()
// repairs it); otherwise the file is invalid (47 on open, 90 elsewhere).
//
// Not thread-safe: each RecordFile is used from one thread.

#include "platform/recorddef.h"

#include <QString>

#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kestrel::platform {

namespace errc {
constexpr int Ok = 0;
constexpr int FileNotFound = 2;
constexpr int FileLocked = 32;
constexpr int NoRecord = 33;
constexpr int FileNotOpen = 37;
constexpr int DuplicateKey = 40;
constexpr int InvalidKeyFile = 46;
constexpr int InvalidFile = 47;
constexpr int AlreadyOpen = 52;
constexpr int ChangedByOther = 89;
constexpr int DriverError = 90;
} // namespace errc

// Short text of an error code ("Record Not Found", "Creates Duplicate Key").
const char* errorTextOf(int code);

// The last error of any record file operation of the thread (code 0 after a
// success), for the message layer.
struct LastError {
    int code = 0;
    std::string text;
    int driverCode = 0;        // the database's extended result code, for 90
    std::string driverMessage; // the database's message, for 90
};

// One last error per thread: a report reading on a worker through handles of
// its own must not write the text the GUI thread is reading for a message (it
// passes its errors on explicitly). The thread that started the program keeps
// its own for the life of the process, since record files closed at exit
// still write it; any other thread has one while it runs.
class ErrorState {
public:
    ErrorState();
    const LastError& last() const { return slot(); }
    void record(LastError e) { slot() = std::move(e); }
    void clear() { slot() = {}; }

private:
    LastError& slot() const;
    std::thread::id owner_;
    // Never freed, so the state has nothing to destroy at exit.
    LastError& ownerLast_ = *new LastError;
};

// Every operation of every file writes it.
extern ErrorState driverErrors;

// Order value meaning "file order" (the order records were added).
constexpr int FileOrder = -1;
// Length of a position text.
constexpr int PositionLength = 512;

class View;
class Transaction;

class RecordFile {
public:
    // `buffer` has def.recordLength bytes and outlives this object.
    RecordFile(const FileDef& def, unsigned char* buffer);
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    const FileDef& def() const;
    unsigned char* buffer() const;

    // The directory holding the file; takes effect at the next open/create.
    void setDirectory(const QString& dir);
    QString directory() const;
    // Absolute path of the file (for messages).
    QString name() const;

    // 0, or 2 (missing), 32 (locked past the 2-second wait), 46, 47, 90;
    // 52 when already open (the file stays open: counts as success).
    // A file of the previous storage format, whose keys folded only A-Z, is
    // upgraded in place in one transaction; 46 (nothing changed) when a
    // unique key would then hold equal values, until they are told apart.
    int open();
    // Creates the file empty and leaves it closed. An existing file is never
    // replaced: create() then returns 0 and leaves it as it is, so two
    // stations that both found it missing cannot wipe each other's records.
    int create();
    int close();
    bool isOpen() const;
    // Rebuilds every key from the records (open or closed file), also those of
    // the previous storage format. Used after 46; 40 when a unique key's
    // values are held by more than one record (the file is left as it was).
    // Keys that name records the table no longer holds (a page of records
    // lost to a bad copy) are damaged data, not damaged keys: rebuilding
    // would drop those records, so build refuses with 47 (driverMessage()
    // counts and names them) unless the loss was stated and accepted.
    enum class Loss { Refuse, Accept };
    int build(Loss loss = Loss::Refuse);

    // Walks. set(key) starts at the first entry not below (for next) / not
    // above (for previous) the key values now in the buffer; with
    // Start::Ends, next starts at the first entry and previous at the last.
    enum class Start { AtBuffer, AtEnds };
    int set(int keyIndex, Start from = Start::AtBuffer);
    int setFileOrder();
    // Fill the buffer with the next/previous record; 33 at either end (the
    // buffer is then left as it was).
    int next();
    int previous();

    // Exact match on the key's components in the buffer (case folded for a
    // case-insensitive key): the first such record, else 33. The walk then
    // continues from that record.
    int get(int keyIndex);
    // "Get by position 0": the file has no current record afterwards.
    void forget();
    bool hasCurrent() const;

    // The current record as the last read or write left it: which record,
    // the version that read saw, its image and its watch.
    struct Current {
        bool has = false;
        bool watched = false;
        long long rid = 0;
        long long version = 0;
        std::vector<unsigned char> image;
    };
    Current current() const;
    // Makes a record taken with current() the current one again, exactly as
    // it was then; the buffer is not touched. A window that read a record
    // and let other readers move the file on before it writes restores it
    // first: put() and remove() then act on the record the window read, and
    // another station's change since that read still fails with 89.
    void restore(const Current& c);

    // Position text (PositionLength characters) of the current record, in the
    // current walk order, or in the given order (a key index or FileOrder).
    // Empty when there is no current record.
    std::string position() const;
    std::string position(int order) const;
    // Reads exactly the record of a position (33 when it is gone).
    int reget(std::string_view pos);
    // Makes a position the start of a walk in its order: next/previous first
    // deliver that record itself if it still exists, else continue from where
    // it stood.
    int reset(std::string_view pos);

    // Writes. add() stores the buffer as a new record (it becomes current);
    // put() rewrites the current record; remove() deletes it. Every key
    // follows; 40 when a unique key would be duplicated (nothing written).
    int add();
    int put();
    int remove();
    // True when the buffer's values of that unique key are held by a record
    // other than the current one. False for keys with duplicates.
    bool duplicate(int keyIndex);

    // Arms change detection: the next record read (reget, get, next,
    // previous) is watched, and a put() of it fails with 89 when another
    // connection or process has written or deleted it since that read.
    void watch();

    // Driver options: "QUICKSCAN=on" / "QUICKSCAN=off" (longer read-ahead for
    // long sequential walks), "Recover=10" (accepted). Others: 90.
    int send(std::string_view option);

    int error() const;
    std::string errorText() const;
    int driverCode() const;
    std::string driverMessage() const;

    struct Impl;

private:
    friend class View;
    friend class Transaction;
    std::unique_ptr<Impl> d_;
};

// Test hook: makes chosen record file operations fail, so that tests can show
// what callers do when the nth write of a cascade fails. Not used by the
// program itself.
namespace faults {
enum class Operation { Open, Create, Add, Put, Remove, Read, Begin, Commit };
// The nth (1-based) operation of that kind on a file with that label ("" for
// any file) fails with `code` without doing anything. One rule at a time;
// counting starts when the rule is set.
void failOn(Operation op, std::string_view fileLabel, int nth, int code);
void clear();
} // namespace faults

} // namespace kestrel::platform
