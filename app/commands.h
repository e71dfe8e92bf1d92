#pragma once
// Subcommands of the kestrel executable:
//
//     kestrel [--root DIR] [--log] NAME [ARGS...]
//
// With no NAME the program starts. To add a subcommand, write
// app/cmd_<name>.cpp defining `int cmd<Name>(const CommandContext&)` (returns
// the exit status), declare it below and add one line to kCommands. The
// commands run without a display (a QCoreApplication exists); they print
// their results to standard output and their errors to standard error.

#include "platform/rootdir.h"

#include <QStringList>

#include <cstdio>

namespace kestrel::app {

struct CommandContext {
    platform::RootDir root;  // resolved from --root, KESTREL_ROOT or the default; not created yet
    QStringList args;        // the arguments after the command's name
};

using CommandFn = int (*)(const CommandContext&);

// For a command that writes: creates the root's folders, or tightens them
// (RootDir::ensureExists). What stood in the way, and any folder that had to
// be made private, goes to standard error. False when the command cannot go on.
inline bool prepareRoot(const CommandContext& ctx, const char* command)
{
    QString error;
    QStringList tightened;
    const bool ok = ctx.root.ensureExists(&error, &tightened);
    for (const QString& line : tightened) std::fprintf(stderr, "kestrel %s: %s\n", command, qPrintable(line));
    if (!ok) std::fprintf(stderr, "kestrel %s: %s\n", command, qPrintable(error));
    return ok;
}

struct Command {
    const char* name;
    const char* arguments;  // e.g. "FILE [CSV]"; empty when none
    const char* summary;    // one line
    CommandFn run;
    bool draws = false;     // renders pages: runs under a GUI application (offscreen), not built window-free
};

int cmdPaths(const CommandContext&);
int cmdDump(const CommandContext&);
int cmdLoad(const CommandContext&);
int cmdCheck(const CommandContext&);
int cmdSeed(const CommandContext&);
int cmdPrint(const CommandContext&);
int cmdBackup(const CommandContext&);
int cmdReload(const CommandContext&);
int cmdDemo(const CommandContext&);

inline constexpr Command kCommands[] = {
    {"paths", "", "print the root directory and the folders and files the program uses under it", cmdPaths},
    {"dump", "LABEL [--key KEY] [--hex]", "write every record of a file as CSV, in file order or a key's order", cmdDump},
    {"load", "LABEL FILE.csv", "add the records of a CSV file to a file: all of them, or none if a row does not fit", cmdLoad},
    {"check", "[--rebuild [--accept-loss]]", "examine every record file (after a crash or a bad copy); --rebuild rebuilds damaged keys, --accept-loss also those that name records the file lost", cmdCheck},
    {"seed", "", "add the standard ICD editions and box 14/15 date qualifiers to those tables that are empty", cmdSeed},
    {"backup", "", "copy every record file into Backup/, checked; the previous backup stays until the new one is whole", cmdBackup},
    {"reload", "", "copy every record file of Backup/ over its namesake in DATA/; a damaged backup changes nothing", cmdReload},
    {"demo", "", "fill an empty root with a small sample practice (providers, patients, codes, claims and payments)", cmdDemo},
    {"print", "REPORT [--claim N] [--patient N] --pdf FILE [--layout FILE]", "render a report into a PDF file without any window; --layout also writes each placed text as page,x,y,width,text", cmdPrint, true},
};

} // namespace kestrel::app
