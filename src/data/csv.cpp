#include "data/csv.h"

#include "data/records.h"
#include "platform/privatefiles.h"
#include "platform/recordfile.h"
#include "platform/transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <algorithm>
#include <climits>

namespace kestrel::data::csv {

using platform::FieldDef;
using platform::FileDef;
using platform::RecordFile;

namespace {

QString latin1(std::string_view s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }

bool needsQuotes(const QString& cell)
{
    if (cell.isEmpty()) return false;
    if (cell.front().isSpace() || cell.back().isSpace()) return true;
    for (QChar c : cell)
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return true;
    return false;
}

// The first control character of a cell, named for the user ("a line
// break", "a tab", "the control character U+0007"); none when there is none.
std::optional<QString> controlCharacter(const QString& cell)
{
    for (QChar c : cell) {
        if (c.category() != QChar::Other_Control) continue;
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) return QStringLiteral("a line break");
        if (c == QLatin1Char('\t')) return QStringLiteral("a tab");
        return QStringLiteral("the control character U+%1")
            .arg(QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0')));
    }
    return std::nullopt;
}

// Past this many problems a load stops listing them: the first ones tell
// what is wrong with the file.
constexpr std::size_t kMaxProblems = 100;

class Problems {
public:
    explicit Problems(std::vector<Problem>& list) : list_(list) {}
    void add(int line, const QString& field, const QString& text)
    {
        if (list_.size() == kMaxProblems) {
            list_.push_back({0, {}, QStringLiteral("more problems were found; only the first %1 are listed").arg(kMaxProblems)});
            return;
        }
        if (list_.size() > kMaxProblems) return;
        QString message = line > 0 ? QStringLiteral("line %1: %2").arg(line).arg(text) : text;
        list_.push_back({line, field, message});
    }
    bool full() const { return list_.size() > kMaxProblems; }
    bool any() const { return !list_.empty(); }

private:
    std::vector<Problem>& list_;
};

QString driverError(const RecordFile& f)
{
    QString text = QString::fromStdString(f.errorText()).trimmed();
    if (f.error() == platform::errc::DriverError && !f.driverMessage().empty())
        text = QString::fromStdString(f.driverMessage()) + QStringLiteral(" (%1)").arg(f.driverCode());
    else
        text += QStringLiteral(" (%1)").arg(f.error());
    return text;
}

// The output refused the text (a full disk, a closed pipe): the device's
// own words alone ("Invalid argument") would not say what failed.
QString writeFailed(const QIODevice& out)
{
    return QStringLiteral("writing the CSV failed (%1); what was written is incomplete").arg(out.errorString());
}

// A file that would not open: when it is damaged rather than busy, where
// to look next.
QString openingFailed(const RecordFile& f)
{
    QString text = QStringLiteral("Error: (%1) opening %2").arg(driverError(f), QDir::toNativeSeparators(f.name()));
    const int e = f.error();
    if (e == platform::errc::InvalidFile || e == platform::errc::InvalidKeyFile || e == platform::errc::DriverError)
        text += QStringLiteral("; \"kestrel check\" tells what is wrong with it");
    return text;
}

// The values of a unique key in a record, for a duplicate's message:
// "PAT:PAT = 5".
QString keyValues(const FileDef& file, const platform::KeyDef& key, const unsigned char* record)
{
    QStringList parts;
    for (int i = 0; i < key.count(); ++i) {
        const FieldDef* f = file.field(key.parts[std::size_t(i)]);
        parts << latin1(f->label) + QStringLiteral(" = ") + quoted(fieldText(*f, record));
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace

// ------------------------------------------------------------------ CSV text

QByteArray formatRow(const QStringList& cells)
{
    QString line;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i) line += QLatin1Char(',');
        const QString& c = cells[i];
        if (needsQuotes(c)) {
            QString q = c;
            q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            line += QLatin1Char('"') + q + QLatin1Char('"');
        } else {
            line += c;
        }
    }
    line += QStringLiteral("\r\n");
    return line.toUtf8();
}

std::optional<std::vector<Row>> parse(const QByteArray& utf8, QString* error)
{
    auto fail = [&](int line, const QString& why) -> std::optional<std::vector<Row>> {
        if (error) *error = QStringLiteral("line %1: %2").arg(line).arg(why);
        return std::nullopt;
    };

    // Decode line by line so that bad bytes are reported where they are.
    QByteArrayView bytes(utf8);
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes = bytes.sliced(3);
    QString text;
    text.reserve(bytes.size());
    {
        int line = 1;
        qsizetype from = 0;
        while (from < bytes.size()) {
            qsizetype nl = bytes.indexOf('\n', from);
            qsizetype end = nl < 0 ? bytes.size() : nl + 1;
            // Each line's own decoder would drop a byte order mark at the
            // start of every line; only the file's was meant (skipped above).
            QStringDecoder decode(QStringConverter::Utf8,
                                  QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
            QString part = decode(bytes.sliced(from, end - from));
            // Most often a spreadsheet's plain CSV, written in the Windows
            // character set: say how to get the text this load reads.
            if (decode.hasError())
                return fail(line, QStringLiteral("the text is not UTF-8 (in the spreadsheet, save it as \"CSV UTF-8\")"));
            text += part;
            from = end;
            ++line;
        }
    }

    std::vector<Row> rows;
    Row row;
    QString cell;
    int line = 1;
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool rowOpen = false;  // something of the current row has been read

    auto endOfLine = [&](qsizetype at) -> int {  // length of a line break at `at`, 0 if none
        if (at >= n) return 0;
        if (text[at] == QLatin1Char('\r')) return at + 1 < n && text[at + 1] == QLatin1Char('\n') ? 2 : 1;
        return text[at] == QLatin1Char('\n') ? 1 : 0;
    };

    while (i < n) {
        if (!rowOpen) {
            row = Row{line, {}};
            rowOpen = true;
        }
        cell.clear();
        if (text[i] == QLatin1Char('"')) {
            const int startLine = line;
            ++i;
            for (;;) {
                if (i >= n) return fail(startLine, QStringLiteral("a quoted field is not closed"));
                QChar c = text[i];
                if (c == QLatin1Char('"')) {
                    if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                        cell += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                if (int eol = endOfLine(i)) {
                    cell += text.mid(i, eol);
                    i += eol;
                    ++line;
                    continue;
                }
                cell += c;
                ++i;
            }
            if (i < n && text[i] != QLatin1Char(',') && !endOfLine(i))
                return fail(line, QStringLiteral("text after the closing quote of a field"));
        } else {
            while (i < n && text[i] != QLatin1Char(',') && !endOfLine(i)) {
                if (text[i] == QLatin1Char('"'))
                    return fail(line, QStringLiteral("a quote inside a field that does not begin with one "
                                                     "(write the whole field in quotes, the quote doubled)"));
                cell += text[i];
                ++i;
            }
        }
        row.cells << cell;
        if (i < n && text[i] == QLatin1Char(',')) {
            ++i;
            if (i == n) row.cells << QString();  // a trailing comma ends with an empty field
            continue;
        }
        if (int eol = endOfLine(i)) {
            i += eol;
            ++line;
        }
        rows.push_back(std::move(row));
        rowOpen = false;
    }
    if (rowOpen) rows.push_back(std::move(row));
    return rows;
}

// --------------------------------------------------------------- record rows

QStringList header(const FileDef& file, bool hex)
{
    QStringList h;
    for (const auto& f : file.fields) h << latin1(f.label);
    if (hex) h << QStringLiteral("HEX");
    return h;
}

QStringList cells(const FileDef& file, const unsigned char* record, bool hex)
{
    QStringList c;
    for (const auto& f : file.fields) c << fieldText(f, record);
    if (hex)
        c << QString::fromLatin1(
                 QByteArray(reinterpret_cast<const char*>(record), file.recordLength).toHex().toUpper());
    return c;
}

namespace {
// "PAT:LNAME" or "LNAME" -> "PAT:LNAME"; empty when the name carries another
// file's prefix.
std::string fullLabel(const FileDef& file, const QString& name)
{
    QString n = name.trimmed();
    int colon = int(n.indexOf(QLatin1Char(':')));
    if (colon < 0) return std::string(file.prefix) + ":" + n.toStdString();
    return n.toStdString();
}
} // namespace

int keyIndexByName(const FileDef& file, const QString& name)
{
    return file.keyIndex(fullLabel(file, name));
}

const FieldDef* fieldByName(const FileDef& file, const QString& name)
{
    return file.field(fullLabel(file, name));
}

// --------------------------------------------------------------- whole files

bool dump(const QString& dataDir, const FileDef& file, const DumpOptions& options, QIODevice& out, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    int key = platform::FileOrder;
    if (!options.key.isEmpty()) {
        key = keyIndexByName(file, options.key);
        if (key < 0) {
            QStringList names;
            for (const auto& k : file.keys) names << latin1(k.label);
            return fail(QStringLiteral("%1 has no key \"%2\"; its keys are %3")
                            .arg(latin1(file.label), options.key, names.join(QStringLiteral(", "))));
        }
    }

    std::vector<unsigned char> buffer(std::size_t(file.recordLength));
    RecordFile rf(file, buffer.data());
    rf.setDirectory(dataDir);
    int rc = rf.open();
    if (rc == platform::errc::FileNotFound)
        return fail(QStringLiteral("%1 not found").arg(QDir::toNativeSeparators(rf.name())));
    if (rc != 0 && rc != platform::errc::AlreadyOpen)
        return fail(openingFailed(rf));

    rc = key == platform::FileOrder ? rf.setFileOrder() : rf.set(key, RecordFile::Start::AtEnds);
    if (rc != 0) return fail(QStringLiteral("Error: (%1) reading %2").arg(driverError(rf), QDir::toNativeSeparators(rf.name())));
    rf.send("QUICKSCAN=on");
    if (out.write(formatRow(header(file, options.hex))) < 0) return fail(writeFailed(out));
    for (;;) {
        rc = rf.next();
        if (rc == platform::errc::NoRecord) break;
        if (rc != 0)
            return fail(QStringLiteral("Error: (%1) reading %2").arg(driverError(rf), QDir::toNativeSeparators(rf.name())));
        if (out.write(formatRow(cells(file, buffer.data(), options.hex))) < 0) return fail(writeFailed(out));
    }
    rf.send("QUICKSCAN=off");
    rf.close();
    return true;
}

namespace {

// A row made into a record, not yet written.
struct Pending {
    int line;
    std::vector<unsigned char> bytes;
};

// The record number of a numbered file (PRV:PRV, PAT:PAT, INV:INV): the one
// field of its primary key; null for the other files.
const FieldDef* recordNumberField(const FileDef& file)
{
    for (const auto& k : file.keys) {
        if (!k.primary() || k.count() != 1) continue;
        const FieldDef* f = file.field(k.parts[0]);
        if (f && f->kind == platform::FieldKind::Packed && f->places == 0) return f;
    }
    return nullptr;
}

// The header: which field each column fills. Empty when it names a field
// that is not there, names one twice or leaves out the record number.
std::vector<const FieldDef*> readHeader(const FileDef& file, const Row& head, Problems& problems)
{
    std::vector<const FieldDef*> columns;
    for (const QString& name : head.cells) {
        const FieldDef* f = fieldByName(file, name);
        if (!f) {
            problems.add(head.line, name.trimmed().left(kQuotedLength),
                         QStringLiteral("%1 is not a field of %2").arg(quoted(name.trimmed()), latin1(file.label)));
        } else if (std::find(columns.begin(), columns.end(), f) != columns.end()) {
            problems.add(head.line, latin1(f->label), QStringLiteral("%1 is named twice").arg(latin1(f->label)));
        }
        columns.push_back(f);
    }
    // The windows number every record; one without its number would not be
    // found by the number's key, which leaves out empty values.
    const FieldDef* number = recordNumberField(file);
    if (number && std::find(columns.begin(), columns.end(), number) == columns.end())
        problems.add(head.line, latin1(number->label),
                     QStringLiteral("%1 is not named: every %2 record has its number, 1 or more")
                         .arg(latin1(number->label), latin1(file.label)));
    if (problems.any()) columns.clear();
    return columns;
}

// One row into `p`: false (with the problems listed) when a cell does not fit.
bool readRow(const FileDef& file, const std::vector<const FieldDef*>& columns, const Row& row, Pending& p,
             Problems& problems)
{
    const FieldDef* number = recordNumberField(file);
    bool fits = true;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const FieldDef& field = *columns[c];
        const QString& cell = row.cells[qsizetype(c)];
        QString why;
        // A line break or tab in a quoted cell is valid CSV, but a field
        // is one line: it would show cut in the windows and break the
        // printed form's lines.
        if (const auto control = controlCharacter(cell)) {
            problems.add(row.line, latin1(field.label),
                         QStringLiteral("%1: the text holds %2, which a field cannot hold").arg(latin1(field.label), *control));
            fits = false;
        } else if (!setFieldText(field, p.bytes.data(), cell, &why, Overlong::Refuse)) {
            problems.add(row.line, latin1(field.label), why);
            fits = false;
        } else if (&field == number && (cell.trimmed().isEmpty() || fieldText(field, p.bytes.data()).toLongLong() < 1)) {
            problems.add(row.line, latin1(field.label),
                         cell.trimmed().isEmpty()
                             ? QStringLiteral("%1 is blank: every record has its number, 1 or more").arg(latin1(field.label))
                             : QStringLiteral("%1: %2 is not a record number (they are 1 or more)")
                                   .arg(latin1(field.label), quoted(cell.trimmed())));
            fits = false;
        }
    }
    return fits;
}

// The rows of the text as records. False when the text or its header is
// unusable, so that no row can be read.
bool readRecords(const FileDef& file, const QByteArray& csvText, std::vector<Pending>& records, Problems& problems)
{
    QString syntax;
    auto rows = parse(csvText, &syntax);
    if (!rows) {
        problems.add(0, {}, syntax);
        return false;
    }
    if (rows->empty()) {
        problems.add(0, {}, QStringLiteral("the text is empty: the first line must name the fields"));
        return false;
    }
    const std::vector<const FieldDef*> columns = readHeader(file, rows->front(), problems);
    if (columns.empty()) return false;

    for (std::size_t r = 1; r < rows->size() && !problems.full(); ++r) {
        const Row& row = (*rows)[r];
        // An empty line, or a row of empty cells as spreadsheets write
        // after the last row: a record of blanks would number 0.
        if (std::all_of(row.cells.begin(), row.cells.end(), [](const QString& c) { return c.trimmed().isEmpty(); }))
            continue;
        if (row.cells.size() != qsizetype(columns.size())) {
            problems.add(row.line, {},
                         QStringLiteral("the row has %1 field%2, the header names %3")
                             .arg(row.cells.size())
                             .arg(row.cells.size() == 1 ? "" : "s")
                             .arg(columns.size()));
            continue;
        }
        Pending p{row.line, std::vector<unsigned char>(std::size_t(file.recordLength))};
        platform::clearRecord(file, p.bytes.data());
        if (readRow(file, columns, row, p, problems)) records.push_back(std::move(p));
    }
    return true;
}

void addDuplicateProblem(RecordFile& rf, const FileDef& file, const Pending& p, Problems& problems)
{
    for (std::size_t k = 0; k < file.keys.size(); ++k) {
        const auto& key = file.keys[k];
        if (!key.unique() || !rf.duplicate(int(k))) continue;
        problems.add(p.line, latin1(key.label),
                     QStringLiteral("%1: %2 is already held by another record")
                         .arg(latin1(key.label), keyValues(file, key, p.bytes.data())));
        return;
    }
    problems.add(p.line, {}, QStringLiteral("the record duplicates a unique key"));
}

// Adds the records to `file` in `dataDir` (created when missing) in one
// transaction. The rows that fit are added even when others did not, and
// then rolled back, to find the duplicates among them: one run lists every
// problem. True when the records were committed.
bool addRecords(const QString& dataDir, const FileDef& file, const std::vector<Pending>& records, Problems& problems)
{
    std::vector<unsigned char> buffer(std::size_t(file.recordLength));
    RecordFile rf(file, buffer.data());
    rf.setDirectory(dataDir);
    int rc = rf.open();
    if (rc == platform::errc::FileNotFound) {
        rc = rf.create();
        if (rc != 0) {
            problems.add(0, {}, QStringLiteral("Error: (%1) creating %2").arg(driverError(rf), QDir::toNativeSeparators(rf.name())));
            return false;
        }
        rc = rf.open();
    }
    if (rc != 0 && rc != platform::errc::AlreadyOpen) {
        problems.add(0, {}, openingFailed(rf));
        return false;
    }

    platform::Transaction tx({&rf});
    if (tx.start() != 0) {
        problems.add(0, {}, QStringLiteral("Error: (%1) starting the load of %2").arg(driverError(rf), QDir::toNativeSeparators(rf.name())));
        return false;
    }
    for (const Pending& p : records) {
        std::copy(p.bytes.begin(), p.bytes.end(), buffer.begin());
        rc = rf.add();
        if (rc == 0) continue;
        if (rc != platform::errc::DuplicateKey) {
            problems.add(p.line, {}, QStringLiteral("Error: (%1) adding the record").arg(driverError(rf)));
            break;
        }
        addDuplicateProblem(rf, file, p, problems);
        if (problems.full()) break;
    }
    if (problems.any()) {
        tx.rollback();
        rf.close();
        return false;
    }
    if (tx.commit() != 0) {
        problems.add(0, {}, QStringLiteral("Error: (%1) committing the load of %2").arg(driverError(rf), QDir::toNativeSeparators(rf.name())));
        rf.close();
        return false;
    }
    rf.close();
    return true;
}

// A file that does not exist yet is made and filled in a scratch folder
// beside it and moved into place only when every record is in: a load that
// fails leaves nothing behind (the folder too, when the load made it).
bool addToNewFile(const QString& dataDir, const FileDef& file, const std::vector<Pending>& records, Problems& problems)
{
    const bool hadFolder = QFileInfo(dataDir).isDir();
    if (!platform::makePrivateFolder(dataDir)) {
        problems.add(0, {}, QStringLiteral("the folder %1 cannot be created").arg(QDir::toNativeSeparators(dataDir)));
        return false;
    }
    const QString name = latin1(file.fileName);
    const QString path = QDir(dataDir).filePath(name);
    bool added = false;
    {
        QTemporaryDir scratch(path + QStringLiteral(".load-XXXXXX"));  // 0700, removed with all it holds
        if (!scratch.isValid()) {
            problems.add(0, {}, QStringLiteral("a scratch folder cannot be made in %1: %2")
                                    .arg(QDir::toNativeSeparators(dataDir), scratch.errorString()));
        } else if (addRecords(scratch.path(), file, records, problems)) {
            // Never replaces: when another station created the file meanwhile,
            // the records go into theirs, duplicates checked against it.
            added = QFile::rename(scratch.filePath(name), path) ||
                    (QFile::exists(path) && addRecords(dataDir, file, records, problems));
            if (!added && !problems.any())
                problems.add(0, {}, QStringLiteral("%1 cannot be moved into place").arg(QDir::toNativeSeparators(path)));
        }
    }
    if (!added && !hadFolder) QDir().rmdir(dataDir);
    return added;
}

} // namespace

LoadResult load(const QString& dataDir, const FileDef& file, const QByteArray& csvText)
{
    LoadResult result;
    Problems problems(result.problems);
    std::vector<Pending> records;
    if (!readRecords(file, csvText, records, problems)) return result;

    // A file that is there but out of reach is not "missing": creating it
    // would fail, and the message would say the wrong thing.
    const QString path = QDir(dataDir).filePath(latin1(file.fileName));
    const platform::PathState state = platform::probeFile(path);
    if (state.kind == platform::PathState::Unreachable) {
        problems.add(0, {}, QStringLiteral("unable to open %1: %2").arg(QDir::toNativeSeparators(path), state.reason));
        return result;
    }
    if (problems.full()) return result;
    const bool added = state.kind == platform::PathState::File ? addRecords(dataDir, file, records, problems)
                                                                : addToNewFile(dataDir, file, records, problems);
    if (!added) {
        // Value problems were listed before the duplicates: list them by line.
        std::stable_sort(result.problems.begin(), result.problems.end(), [](const Problem& a, const Problem& b) {
            return (a.line == 0 ? INT_MAX : a.line) < (b.line == 0 ? INT_MAX : b.line);
        });
        return result;
    }
    result.added = int(records.size());
    return result;
}

} // namespace kestrel::data::csv
