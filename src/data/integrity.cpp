#include "data/integrity.h"

#include "data/file_access.h"
#include "data/messages.h"
#include "data/records.h"
#include "platform/recordfile.h"
#include "platform/transaction.h"

#include <QLocale>

#include <cstring>

#include <stdexcept>
#include <vector>

namespace kestrel::data {

ClaimSnapshot claimSnapshot{};

namespace {
// The held claim: the file-order position of its record, so that an update
// can tell the held claim from any other (its linking values may be the
// very thing that changed).
bool snapshotHeld = false;
std::string heldPosition;
} // namespace

namespace {

using platform::FileDef;
using platform::RecordFile;
using platform::Transaction;
namespace errc = platform::errc;

struct PositionKey {
    std::string_view file;
    std::string_view key;
};

// The primary or first unique key of each file.
constexpr PositionKey positionKeys[] = {
    {"Provider", "PRV:PRVKEY"},      {"Patient", "PAT:PATKEY"},        {"Invoice", "INV:INVKEY"},
    {"Item", "ITM:PRVKEY"},          {"CPT48", "CPT:CPTCODEKEY"},      {"ICD48", "ICD:ICDCODEKEY"},
    {"Insured1", "IN1:INS1IDKEY"},   {"Insured2", "IN2:INS2IDKEY"},    {"Facility", "FAC:FACILITYIDKEY"},
    {"Referring", "REF:F17RNAME"},   {"Rendering", "REN:F24JKEY"},     {"Auth", "AUT:PATKEY"},
    {"Payer", "HIC:NAMEKEY"},        {"ICD", "ICDM:ICDVKEY"},          {"CIQL", "CIQ:CIKEY"},
    {"OIQL", "OIQ:OICODEKEY"},
};

bool is(const FileDef& def, const FileDef& which) { return FileDef::equalsNoCase(def.label, which.label); }

QString labelOf(const FileDef& def) { return QString::fromLatin1(def.label.data(), qsizetype(def.label.size())); }

int keyOf(const FileDef& def, std::string_view key)
{
    int k = def.keyIndex(key);
    if (k < 0) throw std::logic_error("no key " + std::string(key) + " in " + std::string(def.label));
    return k;
}

// A claim's linking values.
struct Link {
    long long prv = 0, pat = 0, inv = 0;
    bool operator==(const Link&) const = default;
};

Link claimLink() { return {INV.PRV.asInt(), INV.PAT.asInt(), INV.INV.asInt()}; }
Link lineLink() { return {ITM.PRV.asInt(), ITM.PAT.asInt(), ITM.INV.asInt()}; }

// Puts a claim's linking values into the line buffer. The line's patient
// and number fields are narrower than the claim's only for the number
// (ITM:INV holds 7 digits, INV:INV 9): false, with the reason, when the
// values cannot be carried by a line, and the buffer is then unchanged.
bool setLineLink(const Link& l, QString* why)
{
    ItemRecord saved = ITM;
    std::string error;
    if (ITM.PRV.set(l.prv, &error) && ITM.PAT.set(l.pat, &error) && ITM.INV.set(l.inv, &error)) return true;
    ITM = saved;
    if (why) {
        // Grouped the way the practice reads numbers, whatever the system locale.
        const QLocale c(QLocale::English, QLocale::UnitedStates);
        *why = QStringLiteral("Claim %1 of patient %2 and provider %3 cannot be carried by its lines: "
                              "ITM:INV holds claim numbers up to %4")
                   .arg(c.toString(l.inv), c.toString(l.pat), c.toString(l.prv), c.toString(9'999'999));
    }
    return false;
}

// Starts the walk of a claim's lines: the first line not below the claim's
// values with an empty date of service. False (walk nothing) when no line
// can carry those values.
int startLines(const Link& claim, bool* none)
{
    clearRecord(file::Item, bytesOf(ITM));
    *none = !setLineLink(claim, nullptr);
    if (*none) return errc::Ok;
    return recordFile(file::Item).set(keyOf(file::Item, "ITM:INVPATPRVKEY"));
}

// Reads the next line of the claim: Ok with the line in the buffer, NoRecord
// when the claim has no more lines, or the driver's read error.
int nextLine(const Link& claim)
{
    bool none = false;
    // Every step starts again from the claim's first remaining line: the
    // line just deleted or moved is no longer there, and nothing depends on
    // how the driver continues a walk whose record has changed key.
    int rc = startLines(claim, &none);
    if (none) return errc::NoRecord;
    if (rc == errc::Ok) rc = recordFile(file::Item).next();
    if (rc == errc::Ok && lineLink() != claim) rc = errc::NoRecord;
    return rc;
}

// Ends a cascade step that failed in the driver: its error is kept for the
// message and the transaction rolled back, then the message is shown.
bool failed(Transaction& t, MessageNo message, const QString& text1)
{
    captureError(t);
    standardMessage(message, text1);
    return false;
}

// Runs `step` on each line of the claim in turn, with the line in the
// buffer. True when every line is done; false when a line cannot be read
// (message 35) or `step` fails (it reports its own failure).
template <class Step>
bool eachLine(Transaction& t, const Link& claim, Step step)
{
    for (;;) {
        const int rc = nextLine(claim);
        if (rc == errc::NoRecord) return true;
        if (rc != errc::Ok) return failed(t, MessageNo::RecordRetrievalError, QStringLiteral("Item"));
        if (!step()) return false;
    }
}

// Deletes every line of the claim.
bool deleteLines(Transaction& t, const Link& claim)
{
    RecordFile& items = recordFile(file::Item);
    return eachLine(t, claim, [&] { return items.remove() == errc::Ok || failed(t, MessageNo::DeleteOperationError, QStringLiteral("Item")); });
}

// Deletes every claim of the patient in the buffer, each with its lines.
bool deleteClaims(Transaction& t)
{
    RecordFile& claims = recordFile(file::Invoice);
    const int key = keyOf(file::Invoice, "INV:PATPRVINVKEY");
    for (;;) {
        clearRecord(file::Invoice, bytesOf(INV));
        std::memcpy(INV.PAT.raw, PAT.PAT.raw, sizeof INV.PAT.raw);
        // The lowest values the fields can hold, so the walk starts at the
        // patient's first claim whatever its provider and number.
        INV.PRV.set(-999);
        INV.INV.set(-999'999'999);
        int rc = claims.set(key);
        if (rc == errc::Ok) rc = claims.next();
        if (rc == errc::NoRecord || (rc == errc::Ok && INV.PAT.asInt() != PAT.PAT.asInt())) return true;
        if (rc != errc::Ok) return failed(t, MessageNo::RecordRetrievalError, QStringLiteral("Invoice"));
        if (!deleteLines(t, claimLink())) return false;
        if (claims.remove() != errc::Ok) return failed(t, MessageNo::DeleteOperationError, QStringLiteral("Invoice"));
    }
}

Link snapshotLink() { return {claimSnapshot.PRV.asInt(), claimSnapshot.PAT.asInt(), claimSnapshot.INV.asInt()}; }

// Gives the lines that carry the snapshot's values the claim's new ones.
bool moveLines(Transaction& t, const Link& from, const Link& to)
{
    RecordFile& items = recordFile(file::Item);
    return eachLine(t, from, [&] {
        QString why;
        if (!setLineLink(to, &why)) {
            // Cutting the number would hand the lines to another claim.
            captureRefusal(t, why);
            standardMessage(MessageNo::UpdateOperationError, QStringLiteral("Item"));
            return false;
        }
        return items.put() == errc::Ok || failed(t, MessageNo::UpdateOperationError, QStringLiteral("Item"));
    });
}

std::vector<const FileDef*> childrenOf(const FileDef& def, bool forDelete)
{
    if (forDelete && is(def, file::Patient)) return {&file::Invoice, &file::Item};
    if (is(def, file::Invoice)) return {&file::Item};
    return {};
}

std::vector<RecordFile*> transactionFiles(const FileDef& def, const std::vector<const FileDef*>& children)
{
    std::vector<RecordFile*> files{&recordFile(def)};
    for (const FileDef* c : children) files.push_back(&recordFile(*c));
    return files;
}

} // namespace

std::string_view positionKey(const FileDef& def)
{
    for (const auto& p : positionKeys)
        if (FileDef::equalsNoCase(p.file, def.label)) return p.key;
    throw std::invalid_argument("no record file " + std::string(def.label));
}

namespace {
void recordClaimSnapshot()
{
    claimSnapshot.INV = INV.INV;
    claimSnapshot.PAT = INV.PAT;
    claimSnapshot.PRV = INV.PRV;
}

// Whether the claim now being written is the one whose snapshot is held
// (always true while nothing is held).
bool writingHeldClaim(RecordFile& claims)
{
    return !snapshotHeld || heldPosition.empty() || claims.position(platform::FileOrder) == heldPosition;
}
} // namespace

bool takeClaimSnapshot()
{
    if (snapshotHeld) return false;
    recordClaimSnapshot();
    return true;
}

ClaimSnapshotHold::ClaimSnapshotHold()
{
    if (snapshotHeld) return;
    recordClaimSnapshot();
    heldPosition = recordFile(file::Invoice).position(platform::FileOrder);
    snapshotHeld = held_ = true;
}

ClaimSnapshotHold::~ClaimSnapshotHold()
{
    if (!held_) return;
    snapshotHeld = false;
    heldPosition.clear();
}

bool ClaimSnapshotHold::active() { return snapshotHeld; }

bool deleteRecord(const FileDef& def)
{
    RecordFile& f = recordFile(def);
    const QString label = labelOf(def);
    const std::string position = f.position(keyOf(def, positionKey(def)));

    const std::vector<const FileDef*> children = childrenOf(def, true);
    FileUse use(children);
    Transaction t(transactionFiles(def, children));
    if (t.start() != errc::Ok) {
        captureError(t);
        standardMessage(MessageNo::TransactionFramingError, QStringLiteral("Delete"), label);
        return false;
    }
    // The record as stored now, not as the caller last saw it: the cascade
    // must find the lines by their stored values. A record that is gone
    // cannot be deleted.
    if (f.reget(position) != errc::Ok) return failed(t, MessageNo::DeleteOperationError, label);
    if (is(def, file::Patient) || is(def, file::Invoice)) {
        // The cascades walk other files (and their buffers); this file's
        // current record stays the one to delete.
        const bool ok = is(def, file::Patient) ? deleteClaims(t) : deleteLines(t, claimLink());
        if (!ok) {
            t.rollback();
            return false;
        }
    }
    if (f.remove() != errc::Ok) return failed(t, MessageNo::DeleteOperationError, label);
    // A commit that fails has stored nothing: reported like a failed delete.
    if (t.commit() != errc::Ok) return failed(t, MessageNo::DeleteOperationError, label);
    return true;
}

UpdateResult updateRecord(const FileDef& def)
{
    RecordFile& f = recordFile(def);
    const QString label = labelOf(def);
    const bool claim = is(def, file::Invoice);

    const std::vector<const FileDef*> children = childrenOf(def, false);
    FileUse use(children);
    Transaction t(transactionFiles(def, children));
    if (t.start() != errc::Ok) {
        captureError(t);
        standardMessage(MessageNo::TransactionFramingError, QStringLiteral("Update"), label);
        return UpdateFailed;
    }
    const bool byKey = is(def, file::Provider) || is(def, file::Patient) || claim;
    const std::string position = f.position(byKey ? keyOf(def, positionKey(def)) : platform::FileOrder);

    const int rc = f.put();
    if (rc != errc::Ok) {
        captureError(t);
        if (rc == errc::ChangedByOther) {
            f.watch();
            const int read = f.reget(position);
            if (read == errc::NoRecord) {
                // Deleted by the other station: there is no version to show,
                // and the buffer keeps what the user typed.
                standardMessage(MessageNo::RecordWasDeleted);
                return UpdateDeleted;
            }
            if (read != errc::Ok) {
                takeSavedError();  // report the read's error, not the write's
                standardMessage(MessageNo::RecordRetrievalError, label);
                return UpdateFailed;
            }
            standardMessage(MessageNo::RecordWasNotUpdated);
            return UpdateChanged;
        }
        standardMessage(MessageNo::UpdateOperationError, label);
        return UpdateFailed;
    }
    const bool heldClaim = claim && writingHeldClaim(f);
    if (heldClaim) {
        const Link from = snapshotLink();
        const Link to = claimLink();
        if (from != to) {
            // The lines walk the line buffer only; the claim buffer keeps
            // the values just written.
            if (!moveLines(t, from, to)) {
                t.rollback();
                return UpdateFailed;
            }
        }
    }
    if (t.commit() != errc::Ok) {
        captureError(t);
        standardMessage(MessageNo::UpdateOperationError, label);
        return UpdateFailed;
    }
    if (heldClaim) recordClaimSnapshot();
    return UpdateDone;
}

} // namespace kestrel::data
