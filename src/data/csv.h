#pragma once
// CSV dump and load of the record files, the way scripts and support staff
// reach the data without the program's windows.
//
// The text is RFC 4180 CSV in UTF-8: fields separated by commas, rows ended
// by CRLF (LF and CR alone are read too), a field that holds a comma, a
// quote, a line break or a leading or trailing blank written in quotes with
// inner quotes doubled. The first row names the columns.
//
// Dump: one column per field in layout order, named by its label
// ("PAT:PAT,PAT:LNAME,..."); text without its trailing blanks, dates as
// mm/dd/yyyy (empty when blank), decimals with all their places ("-15.50",
// "7"); optionally a last column HEX with the record's bytes.
//
// Load: the header names any subset of the file's fields, by label
// ("PAT:LNAME") or by name alone ("LNAME"), letter case ignored; dates as
// mm/dd/yyyy or yyyymmdd, decimals as plain numbers; fields not named stay
// blank. Either every row is added, in one transaction, or none is: every
// row that does not fit is reported with its line and the reason.

#include "platform/recorddef.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QIODevice;

namespace kestrel::data::csv {

// ------------------------------------------------------------ CSV text

// One row, UTF-8, ended by CRLF.
QByteArray formatRow(const QStringList& cells);

struct Row {
    int line = 0;  // line of the text on which the row starts (1-based)
    QStringList cells;
};

// Every row of the text. A malformed text (a quote inside an unquoted field,
// text after a closing quote, a quoted field never closed, bytes that are not
// UTF-8) gives nullopt and a message naming the line in *error. A UTF-8 byte
// order mark at the start is skipped.
std::optional<std::vector<Row>> parse(const QByteArray& utf8, QString* error = nullptr);

// --------------------------------------------------------- record rows

// "PAT:PAT", "PAT:LNAME", ... and "HEX" when asked for.
QStringList header(const platform::FileDef& file, bool hex = false);
// The values of one record, in the same order.
QStringList cells(const platform::FileDef& file, const unsigned char* record, bool hex = false);

// A key of the file by its label ("PAT:LNAMEKEY") or name alone
// ("LNAMEKEY"), letter case ignored; -1 when the file has no such key.
int keyIndexByName(const platform::FileDef& file, const QString& name);
// A field likewise; null when unknown.
const platform::FieldDef* fieldByName(const platform::FileDef& file, const QString& name);

// ---------------------------------------------------------- whole files

struct DumpOptions {
    QString key;       // a key of the file; empty for file order
    bool hex = false;  // add the HEX column
};

// Writes the header and every record of `file` in `dataDir`, in the key's
// order (the records that key lists: an excludes-empty key leaves out those
// whose components are all empty) or in file order. The file is not created
// when missing. On failure returns false with a message in *error.
bool dump(const QString& dataDir, const platform::FileDef& file, const DumpOptions& options, QIODevice& out,
          QString* error = nullptr);

struct Problem {
    int line = 0;    // line of the CSV text; 0 when not tied to a line
    QString field;   // the field or key concerned, empty when none
    QString message; // complete: "line 3: PAT:BDATE: \"02/30/2024\" is not a date ..."
};

struct LoadResult {
    int added = 0;  // records added (0 whenever there is a problem)
    std::vector<Problem> problems;
    bool ok() const { return problems.empty(); }
};

// Adds the rows of `csvText` to `file` in `dataDir`, creating the directory
// and the file when missing. All rows go in one transaction: when any row is
// refused (malformed value, a number too large for its field, a character
// that Windows-1252 cannot hold, a line break, tab or other control
// character in a cell, a text longer than its field, a duplicate
// of a unique key, an unknown field name in the header, a row with the wrong
// number of cells) nothing is added and every problem found is listed, in
// line order (up to a hundred). Empty lines, and rows whose cells are all
// empty, are skipped.
LoadResult load(const QString& dataDir, const platform::FileDef& file, const QByteArray& csvText);

} // namespace kestrel::data::csv
