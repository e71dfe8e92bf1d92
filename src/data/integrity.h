#pragma once
// The update and delete operations of every record file: the only way a
// stored record is changed or deleted.
//
// Each operation frames its writes in a transaction (2-second wait) over the
// file and the child files it touches, so that either all of them happen or
// none: on any failure the stored data is as it was. Failures are reported
// inside the operation with the standard messages (15, 17, 34, 35, 38, 39); the
// caller learns only the outcome.
//
// The two maintained relationships:
//   - a patient owns its claims: deleting a patient deletes every claim of it
//     (INV:PATPRVINVKEY), each with its lines;
//   - a claim owns its lines (ITM:INVPATPRVKEY): deleting a claim deletes its
//     lines, and when a claim's provider, patient or number changes, its
//     lines (services and receivable transactions alike) take the new values.
// No other file is touched by another's change or deletion.
//
// The operations work on the record now in the file's shared buffer, which
// must be the file's current record (read by a browse or a form). They use
// (open counters) the child files they touch; the file itself must be in use
// by the caller.

#include "platform/fields.h"
#include "platform/recorddef.h"

#include <string_view>

namespace kestrel::data {

// Outcome of an update operation.
enum UpdateResult : int {
    UpdateDone = 0,
    UpdateFailed = 1,   // reported; nothing stored
    UpdateChanged = 2,  // changed by another station: the buffer now holds the
                        // stored version, watched again for the next save
    UpdateDeleted = 3,  // deleted by another station: reported; the buffer
                        // keeps the record as it was to be written
};

// The key whose position an operation keeps to read its record again.
std::string_view positionKey(const platform::FileDef& def);

// Deletes the record in the file's buffer, with its cascade. True on success.
bool deleteRecord(const platform::FileDef& def);

// Writes the record in the file's buffer over the stored one. For a claim,
// compares its provider, patient and number with the claim snapshot and moves
// the lines along when they differ.
UpdateResult updateRecord(const platform::FileDef& def);

// The claim snapshot: the linking values of the claim as they were when its
// change began. Windows that open a claim for change take it; a successful
// update moves it to the values just stored, so that saving the same claim
// again compares against where its lines now are.
//
// There is one snapshot for the whole process. A window that keeps a claim
// open for change (the claim form) holds it with a ClaimSnapshotHold: while
// the hold lives nothing else replaces it, and an update of any other claim
// moves no lines (it has no snapshot of its own to compare against), so the
// held claim's lines can never be handed to another claim.
struct ClaimSnapshot {
    platform::Packed<5, 0> INV;
    platform::Packed<3, 0> PAT;
    platform::Packed<2, 0> PRV;
};
extern ClaimSnapshot claimSnapshot;
// Records the claim buffer's INV:INV, INV:PAT and INV:PRV. False, with the
// snapshot unchanged, while a hold lives.
bool takeClaimSnapshot();

class ClaimSnapshotHold {
public:
    // Takes the snapshot of the claim in the INV buffer, which must be the
    // Invoice file's current record (read for change), and holds it.
    // held() is false when another hold lives; that one keeps the snapshot.
    ClaimSnapshotHold();
    ~ClaimSnapshotHold();
    ClaimSnapshotHold(const ClaimSnapshotHold&) = delete;
    ClaimSnapshotHold& operator=(const ClaimSnapshotHold&) = delete;

    bool held() const { return held_; }
    // Whether any hold lives now.
    static bool active();

private:
    bool held_ = false;
};

} // namespace kestrel::data
