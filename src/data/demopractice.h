#pragma once
// A small sample practice to learn and show the program with: two providers
// (one billing under its group), twenty patients with their coverages and
// signatures on file, plans, claim parties, the standard qualifier and
// edition codes, a few hundred procedure and diagnosis codes of our own
// wording, and a few dozen claims with service lines and the payments,
// adjustments, a refund and a write-off posted against them.
//
// The claims' stored figures (INV:TFEE, INV:TPAY, INV:TADJ, INV:BDUE) and
// each patient's PAT:NOWBALAN are computed with the claim totals rules, so
// they are what the windows would have stored. The practice is the same on
// every run. Window-free: `kestrel demo` and the program's first start both
// load it.

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace kestrel::data {

struct DemoLoad {
    enum class Result {
        Loaded,    // every file filled
        NotEmpty,  // the data directory already holds records: nothing written
        Failed,    // a file could not be examined or written: nothing kept
    };
    Result result = Result::Failed;
    QStringList problems;                        // NotEmpty: the files holding records; Failed: what went wrong
    std::vector<std::pair<QString, int>> added;  // Loaded: records added per file label, in dictionary order
};

// Fills the record files of the data directory set in file_access, only
// when none of them holds a record (a missing file counts as empty and is
// not created before the load starts). Each file is written in one
// transaction; when one fails, the files already filled are emptied again,
// so a failed load leaves the directory as it found it. Write errors go
// through the message service as well. The record buffers are left as they
// were.
DemoLoad loadDemoPractice();

// True when no record file of the data directory holds a record (a missing
// file counts as empty and is not created). A file that cannot be examined
// counts as holding records.
bool dataDirectoryIsEmpty();

} // namespace kestrel::data
