// kestrel check: examines every record file after a crash or a bad copy and,
// with --rebuild, rebuilds the keys of the files whose keys are damaged. Keys
// that name records the table lost are rebuilt only with --accept-loss: the
// rebuild drops those records, and the line says so. It also names the
// placeholders a killed station left in the numbered files and, with
// --rebuild, removes them: run it while no station is entering records.
#include "commands.h"

#include "data/records.h"
#include "platform/filecheck.h"
#include "platform/recordfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace kestrel::app {

namespace {

using platform::FileCheck;

QString describe(const FileCheck& c)
{
    const QString done = c.notes.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(c.notes.join(QStringLiteral("; ")));
    switch (c.state) {
    case FileCheck::State::Ok: return QStringLiteral("OK") + done;
    case FileCheck::State::Missing:
        return QStringLiteral("OK (not created yet; created empty on first use%1)")
            .arg(c.notes.isEmpty() ? QString() : QStringLiteral("; ") + c.notes.join(QStringLiteral("; ")));
    default: return c.problems.join(QStringLiteral("; ")) + done;
    }
}

} // namespace

namespace {

// What --rebuild did to one file, appended to its line.
QString rebuilt(const data::FileBuffer& fb, const QString& dir, FileCheck& c, bool acceptLoss)
{
    const QString path = QDir(dir).filePath(QString::fromLatin1(fb.def->fileName.data(),
                                                               qsizetype(fb.def->fileName.size())));
    const long long lost = c.lostRecords;
    // A buffer of its own: the rebuild reads no record into it, and the
    // shared one belongs to the program's procedures.
    std::vector<unsigned char> buffer(std::size_t(fb.def->recordLength), ' ');
    platform::RecordFile f(*fb.def, buffer.data());
    f.setDirectory(dir);
    using Loss = platform::RecordFile::Loss;
    // Only the loss the check named and the user accepted: a file whose
    // keys were merely damaged is rebuilt refusing any loss.
    if (f.build(acceptLoss && lost > 0 ? Loss::Accept : Loss::Refuse) != platform::errc::Ok) {
        QString why = QString::fromStdString(f.errorText());
        if (!f.driverMessage().empty()) why += QStringLiteral(": ") + QString::fromStdString(f.driverMessage());
        return QStringLiteral("; rebuilding the keys failed (%1)").arg(why);
    }
    c = platform::checkRecordFile(*fb.def, path);
    if (lost == 0) return QStringLiteral("; keys rebuilt: ") + describe(c);
    // Sound again, but never "OK": the records are gone.
    QString line = QStringLiteral("; keys rebuilt without the %1 lost records, which are gone for good (restore them "
                                  "from a backup)")
                       .arg(lost);
    if (c.state != FileCheck::State::Ok) line += QStringLiteral("; still: ") + describe(c);
    c.state = FileCheck::State::RecordsLost;
    return line;
}

// The files whose records the program numbers, and the fields an Insert
// fills before its window opens (a claim takes its patient from the caller).
struct NumberedFile {
    const platform::FileDef* def;
    platform::Numbered numbered;
};
const platform::Numbered* numberingOf(const platform::FileDef& def)
{
    static const NumberedFile numbered[] = {
        {&data::file::Provider, {"PRV:PRV", {}}},
        {&data::file::Patient, {"PAT:PAT", {}}},
        {&data::file::Invoice, {"INV:INV", {"INV:PAT"}}},
    };
    for (const NumberedFile& n : numbered)
        if (n.def == &def) return &n.numbered;
    return nullptr;
}

// Placeholders named in a line; the rest are counted.
constexpr std::size_t PlaceholdersListed = 20;

QString numbersText(std::string_view field, const std::vector<long long>& numbers)
{
    QStringList shown;
    for (std::size_t i = 0; i < numbers.size() && i < PlaceholdersListed; ++i) shown << QString::number(numbers[i]);
    QString text = QString::fromLatin1(field.data(), qsizetype(field.size())) + u' ' + shown.join(QStringLiteral(", "));
    if (numbers.size() > PlaceholdersListed)
        text += QStringLiteral(" and %1 more").arg(numbers.size() - PlaceholdersListed);
    return text;
}

// Names the placeholders of a numbered file, or removes them with --rebuild;
// false when some are left.
bool placeholders(const platform::FileDef& def, const QString& dir, const QString& path, bool rebuild, QString& line)
{
    const platform::Numbered* numbered = numberingOf(def);
    if (!numbered) return true;
    const std::vector<long long> found = platform::findPlaceholders(def, path, *numbered);
    if (found.empty()) return true;
    if (!rebuild) {
        line += QStringLiteral("; %1 records hold nothing but their number (%2): placeholders of an Insert never "
                               "saved (check --rebuild removes them)")
                    .arg(found.size())
                    .arg(numbersText(numbered->numberField, found));
        return false;
    }
    int error = platform::errc::Ok;
    const std::vector<long long> removed = platform::removePlaceholders(def, dir, *numbered, error);
    if (!removed.empty())
        line += QStringLiteral("; removed %1 placeholders holding nothing but their number (%2)")
                    .arg(removed.size())
                    .arg(numbersText(numbered->numberField, removed));
    if (error == platform::errc::Ok) return true;
    line += QStringLiteral("; removing placeholders failed (%1)").arg(QString::fromLatin1(platform::errorTextOf(error)));
    return false;
}

} // namespace

int cmdCheck(const CommandContext& ctx)
{
    const char* usage = "usage: kestrel [--root DIR] check [--rebuild [--accept-loss]]\n";
    bool rebuild = false, acceptLoss = false;
    for (const QString& a : ctx.args) {
        if (a == QLatin1String("--rebuild")) {
            rebuild = true;
        } else if (a == QLatin1String("--accept-loss")) {
            acceptLoss = true;
        } else {
            std::fprintf(stderr, "kestrel check: unexpected argument %s\n%s", qPrintable(a), usage);
            return 2;
        }
    }
    if (acceptLoss && !rebuild) {
        std::fprintf(stderr, "kestrel check: --accept-loss goes with --rebuild\n%s", usage);
        return 2;
    }

    const QString dir = ctx.root.dataDir();
    // Without the folder every file would read "not created yet", which a
    // mistyped --root must not pass for a clean bill of health.
    if (!QFileInfo(dir).isDir()) {
        std::fprintf(stderr, "kestrel check: there is no data folder %s: nothing was examined (is the root right?)\n",
                     qPrintable(QDir::toNativeSeparators(dir)));
        return 1;
    }
    // An unreadable folder would hide every file in it: they would all read
    // "not created yet".
    if (::access(QFile::encodeName(dir).constData(), R_OK | X_OK) != 0) {
        std::fprintf(stderr, "kestrel check: the data folder %s cannot be read (%s): nothing was examined\n",
                     qPrintable(QDir::toNativeSeparators(dir)), std::strerror(errno));
        return 1;
    }
    bool allSound = true;
    for (const data::FileBuffer& fb : data::allFiles()) {
        const QString name = QString::fromLatin1(fb.def->fileName.data(), qsizetype(fb.def->fileName.size()));
        const QString path = QDir(dir).filePath(name);
        FileCheck c = platform::checkRecordFile(*fb.def, path);
        QString line = describe(c);
        const bool lost = c.state == FileCheck::State::RecordsLost;
        if (rebuild && (c.state == FileCheck::State::KeysDamaged || (lost && acceptLoss))) {
            line += rebuilt(fb, dir, c, acceptLoss);
        } else if (c.state == FileCheck::State::KeysDamaged) {
            line += QStringLiteral(" (check --rebuild rebuilds the keys)");
        } else if (lost) {
            line += QStringLiteral(" (not rebuilt: rebuilding the keys would lose these %1 records; look for them "
                                   "in a backup first; check --rebuild --accept-loss rebuilds without them)")
                        .arg(c.lostRecords);
        }
        bool sound = c.sound();
        if (c.state == FileCheck::State::Ok) sound = placeholders(*fb.def, dir, path, rebuild, line) && sound;
        std::printf("%s: %s\n", qPrintable(QDir::toNativeSeparators(path)), qPrintable(line));
        allSound = allSound && sound;
    }
    std::fflush(stdout);
    return allSound ? 0 : 1;
}

} // namespace kestrel::app
