#pragma once
// Inside of RecordFile, shared with View and Transaction. Private to the driver.

#include "platform/recordfile.h"
#include "platform/sqlitehandle.h"
#include "platform/sqlitelayout.h"
#include "platform/view.h"

#include <sqlite3.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace kestrel::platform {

namespace faults {
// The code to fail with when the test hook fires for this operation, else 0.
int fires(Operation op, std::string_view fileLabel);
} // namespace faults

namespace detail {

// Wait for another station's lock, in milliseconds.
constexpr int BusyWaitMs = 2000;

// Ids of the cached statements of a file.
constexpr std::uint32_t StByRid = 1, StInsert = 2, StUpdate = 3, StUpdateWatched = 4, StRemove = 5;
constexpr std::uint32_t walkId(int order, WalkMode mode, bool forward, int range)
{
    return 0x100000u | (std::uint32_t(order + 1) << 8) | (std::uint32_t(mode) << 4) | (forward ? 8u : 0u) |
           std::uint32_t(range);
}
constexpr std::uint32_t getId(int key) { return 0x200000u | std::uint32_t(key); }
constexpr std::uint32_t duplicateId(int key) { return 0x300000u | std::uint32_t(key); }

// The count of writes made in this process to the file at `path`, through
// any of its handles: one handle's read-ahead must not outlive another
// handle's write. The counter lives as long as the process.
std::atomic<std::uint64_t>* writesTo(const QString& path);

// Prepared statements of one connection and schema, by a small number that
// names the query.
class StatementCache {
public:
    // The cached statement for `id`, preparing `sql()` on a miss; nullptr
    // when preparing fails (the connection holds the error).
    template <class MakeSql>
    sqlite3_stmt* get(sqlite3* db, std::uint32_t id, MakeSql sql)
    {
        auto it = map_.find(id);
        if (it != map_.end()) return it->second.get();
        sqlite3_stmt* st = nullptr;
        std::string text = sql();
        if (sqlite3_prepare_v3(db, text.c_str(), int(text.size()), SQLITE_PREPARE_PERSISTENT, &st, nullptr) !=
            SQLITE_OK) {
            sqlite3_finalize(st);
            return nullptr;
        }
        map_.emplace(id, Statement(st));
        return st;
    }
    void clear() { map_.clear(); }

private:
    std::unordered_map<std::uint32_t, Statement> map_;
};

// Where the operations of a file run: its own connection, or the connection
// of the transaction it is in, under the schema name it is attached as.
struct Route {
    sqlite3* db = nullptr;
    std::string schema = "main";
    StatementCache* cache = nullptr;
};

// Rows read ahead by a walk: record images with their identity and version.
struct Batch {
    int direction = 0;   // +1 forward, -1 backward, 0 empty
    std::uint64_t generation = 0;
    std::vector<unsigned char> images;
    std::vector<std::int64_t> rids, versions;
    std::size_t at = 0;
    int lastSize = 0;     // rows asked for by the last fetch
    bool exhausted = false;

    std::size_t left() const { return rids.size() - at; }
    void drop()
    {
        direction = 0;
        images.clear();
        rids.clear();
        versions.clear();
        at = 0;
        lastSize = 0;
        exhausted = false;
    }
};

} // namespace detail

// A walk over one order: where it stands and what it has read ahead.
struct View::Walk {
    int order = FileOrder;
    detail::WalkMode mode = detail::WalkMode::Ends;
    std::vector<unsigned char> image;       // key values of the standing point
    std::int64_t rid = 0;                   // identity of the standing point
    int range = 0;                          // leading components held
    std::vector<unsigned char> rangeImage;  // their values
    detail::Batch batch;
};

struct RecordFile::Impl {
    Impl(const FileDef& d, unsigned char* b) : def(d), buffer(b), layout(d) {}

    const FileDef& def;
    unsigned char* buffer;
    detail::SqlLayout layout;
    QString dir;
    QString path;        // of the open file
    detail::Connection db;  // before the caches: their statements go first
    detail::StatementCache ownCache;
    detail::StatementCache txCache;
    detail::Route route;
    Transaction* transaction = nullptr;

    // Bumped by every write through this file and at transaction edges:
    // read-ahead taken before is dropped.
    std::uint64_t generation = 1;
    // Writes through every handle of the process on this file (set by open).
    std::atomic<std::uint64_t>* sharedWrites = nullptr;
    // What read-ahead is valid for: changes with this handle's generation
    // and with a write through any other handle on the same file.
    std::uint64_t stamp() const { return generation + (sharedWrites ? sharedWrites->load() : 0); }
    // After a write (or a commit) through this handle.
    void wrote()
    {
        ++generation;
        if (sharedWrites) ++*sharedWrites;
    }
    bool quickScan = false;

    View::Walk walk;  // the file's own walk (set/next/previous)

    // Current record: the last one read, added or written.
    bool hasCurrent = false;
    std::int64_t currentRid = 0;
    std::int64_t currentVersion = 0;
    std::vector<unsigned char> currentImage;
    bool watchArmed = false;  // the next read is watched
    bool watched = false;     // the current record is watched

    // Error state of the last operation.
    int error = 0;
    int driverCode = 0;
    std::string driverMessage;

    // --- used by RecordFile, View and Transaction ---
    int done(int code);                       // records a code without a driver error
    int sqlFailure(int rc, sqlite3* on);      // maps an SQLite failure, records it
    int notOpen() { return done(errc::FileNotOpen); }
    // Records a code with a message of the driver's own (and its own code).
    int failWith(int code, std::string message, int ownCode = 0);
    bool injected(faults::Operation op);      // the test hook fired; error recorded

    sqlite3_stmt* statement(std::uint32_t id, const std::function<std::string()>& sql);
    int prepareFailure();

    void bindField(sqlite3_stmt* st, int param, int field, const unsigned char* image) const;
    // The field's fold (what its fold column holds).
    void bindFold(sqlite3_stmt* st, int param, int field, const unsigned char* image) const;
    // A key component's value as the key compares it.
    void bindKeyPart(sqlite3_stmt* st, int param, int order, int component, const unsigned char* image) const;
    // Every field, then every fold column, from parameter 1; returns the
    // next free parameter.
    int bindRecord(sqlite3_stmt* st, const unsigned char* image) const;
    // Reads a full row (rid, version, fields) into an image; false with the
    // error recorded when a stored value does not fit its field.
    bool readRow(sqlite3_stmt* st, unsigned char* image);

    // Walk engine.
    void startWalk(View::Walk& w, int order, detail::WalkMode mode, const unsigned char* image, std::int64_t rid,
                   int range, const unsigned char* rangeImage);
    // Delivers the next row of the walk into the buffer: 0, 33 or an error.
    int step(View::Walk& w, int direction);
    int fetch(View::Walk& w, int direction);
    void makeCurrent(const unsigned char* image, std::int64_t rid, std::int64_t version);

    std::string positionOf(int order) const;
    // Parses a position: order, rid and (when it carries them) the key values
    // written into `image`. False when the text is not a position of this file.
    bool parsePosition(std::string_view pos, int& order, std::int64_t& rid, std::vector<unsigned char>& image,
                       bool& hasValues) const;
    // Reads the record `rid` into `image` (0, 33 or an error).
    int readByRid(std::int64_t rid, unsigned char* image, std::int64_t* version);

    int classifyCorruption(sqlite3* on, const std::string& schema);
    // Checks that the open database is a sound file of this layout; `upgrade`
    // tells that it is one of the previous format.
    int checkFile(bool& upgrade);
    // After the database was opened: checks it, sets its journal and
    // upgrades a file of the previous format (0 or the error, recorded).
    int checkOpened();
    // The quick structural check of open, and whether every key holds as
    // many entries as the table has records for it (0, or 46/47, recorded).
    int quickCheck();
    // Before a rebuild, on its database with the file attached as "src": 0,
    // or 47 (recorded) for a file not ours, or one whose keys name records
    // its table lost unless the loss was accepted; SQLite's failure in `rc`.
    int refuseRebuild(sqlite3* fresh, Loss loss, int& rc);
    // Upgrades a file of the previous format in place (0, 32, 46 when a
    // unique key's values collide once folded, or 90).
    int upgradeFormat();
};

} // namespace kestrel::platform
