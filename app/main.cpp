// The kestrel executable: global options, then either a subcommand from the
// table in commands.h or, with none, the program itself.
#include "commands.h"
#include "frame.h"

#include "data/file_access.h"
#include "data/messages.h"
#include "data/records.h"
#include "managers/backupwindows.h"
#include "platform/rootdir.h"
#include "shell/mainwindow.h"
#include "shell/menus.h"
#include "shell/printersettings.h"
#include "shell/qtmessageservice.h"
#include "shell/runtimelog.h"
#include "shell/startup.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace kestrel;

namespace {

struct Options {
    QString root;            // --root DIR
    bool log = false;        // --log
    bool help = false;       // --help / -h
    const app::Command* command = nullptr;
    QStringList commandArgs;
    std::vector<char*> qtArgs;  // argv[0] and the toolkit's own options (-platform ...)
    std::string error;
};

// The toolkit's options that take a value, so the value is not taken for a subcommand.
bool qtOptionTakesValue(const char* arg)
{
    static const char* const withValue[] = {"-platform", "-platformpluginpath", "-platformtheme", "-plugin",
                                            "-qwindowgeometry", "-qwindowicon", "-qwindowtitle", "-style",
                                            "-stylesheet", "-display", "-geometry", "-session", "-title"};
    for (const char* o : withValue)
        if (std::strcmp(arg, o) == 0)
            return true;
    return false;
}

const app::Command* findCommand(const char* name)
{
    for (const app::Command& c : app::kCommands)
        if (std::strcmp(c.name, name) == 0)
            return &c;
    return nullptr;
}

Options parse(int argc, char** argv)
{
    Options o;
    o.qtArgs.push_back(argv[0]);
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!optionsEnded && std::strcmp(a, "--") == 0) {
            optionsEnded = true;
        } else if (!optionsEnded && std::strcmp(a, "--root") == 0) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                o.error = "--root needs a directory";
                return o;
            }
            o.root = QString::fromLocal8Bit(argv[++i]);
        } else if (!optionsEnded && std::strncmp(a, "--root=", 7) == 0) {
            if (a[7] == '\0') {
                o.error = "--root needs a directory";
                return o;
            }
            o.root = QString::fromLocal8Bit(a + 7);
        } else if (!optionsEnded && std::strcmp(a, "--log") == 0) {
            o.log = true;
        } else if (!optionsEnded && (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0)) {
            o.help = true;
        } else if (o.command) {
            o.commandArgs << QString::fromLocal8Bit(a);
        } else if (!optionsEnded && a[0] == '-' && a[1] != '-') {
            o.qtArgs.push_back(argv[i]);
            if (qtOptionTakesValue(a) && i + 1 < argc)
                o.qtArgs.push_back(argv[++i]);
        } else if (!optionsEnded && a[0] == '-') {
            o.error = std::string("unknown option ") + a;
            return o;
        } else if (!(o.command = findCommand(a))) {
            o.error = std::string("unknown command ") + a;
            return o;
        }
    }
    return o;
}

void printUsage(std::FILE* out)
{
    std::fprintf(out,
                 "KESTREL - billing for a physician's practice (CMS-1500 claims)\n\n"
                 "usage: kestrel [--root DIR] [--log]              start the program\n"
                 "       kestrel [--root DIR] COMMAND [ARGS...]    run a command without windows\n\n"
                 "options:\n"
                 "  --root DIR   the folder holding DATA/, Backup/ and KESTRI~1.INI\n"
                 "               (else $KESTREL_ROOT, else %s)\n"
                 "  --log        write the session's diagnostics to ROOT/kestrel.log\n"
                 "               (deleted when the program closes normally)\n"
                 "  -h, --help   this text\n\n"
                 "commands:\n",
                 qPrintable(platform::RootDir::nativePath(platform::RootDir::defaultPath())));
    for (const app::Command& c : app::kCommands) {
        const std::string head = std::string(c.name) + (*c.arguments ? std::string(" ") + c.arguments : "");
        std::fprintf(out, "  %-22s %s\n", head.c_str(), c.summary);
    }
}

int runProgram(Options& o)
{
    int qtArgc = int(o.qtArgs.size());
    o.qtArgs.push_back(nullptr);
    QApplication app(qtArgc, o.qtArgs.data());
    QApplication::setApplicationName(QStringLiteral("KESTREL"));

    const platform::RootDir root = platform::RootDir::resolve(o.root);
    QString error;
    QStringList tightened;
    if (!root.ensureExists(&error, &tightened)) {
        std::fprintf(stderr, "kestrel: %s\n", qPrintable(error));
        QMessageBox::critical(nullptr, QStringLiteral("KESTREL"), error);
        return 1;
    }
    if (o.log)
        shell::runtimelog::start(root.logFile());
    for (const QString& line : tightened) qInfo("%s", qPrintable(line));
    // Standard messages as message boxes; record files in the root's DATA folder.
    shell::QtMessageService messages;
    data::setMessageService(&messages);
    data::setDataDirectory(root.dataDir());

    shell::PrinterSettings printer;
    shell::StartUpSteps steps;
    steps.clearRecordBuffers = data::clearAllBuffers;
    steps.offerSamplePractice = true;
    const auto frame = shell::startUp(root, printer, steps);
    app::connectFrameMenu(*frame);
    // Backup and reload run this executable's own commands on the same root.
    managers::setBackupCommand({QCoreApplication::applicationFilePath(), {QStringLiteral("--root"), root.path()}});
    const int status = app.exec();
    data::setMessageService(nullptr);
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    Options o = parse(argc, argv);
    if (!o.error.empty()) {
        std::fprintf(stderr, "kestrel: %s\n\n", o.error.c_str());
        printUsage(stderr);
        return 2;
    }
    if (o.help) {
        printUsage(stdout);
        return 0;
    }
    if (!o.command)
        return runProgram(o);

    int qtArgc = int(o.qtArgs.size());
    o.qtArgs.push_back(nullptr);
    if (o.command->draws) {
        // Fonts need a GUI application; without a display it is the offscreen one.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(qtArgc, o.qtArgs.data());
        QGuiApplication::setApplicationName(QStringLiteral("KESTREL"));
        return o.command->run(app::CommandContext{platform::RootDir::resolve(o.root), o.commandArgs});
    }
    QCoreApplication app(qtArgc, o.qtArgs.data());
    QCoreApplication::setApplicationName(QStringLiteral("KESTREL"));
    return o.command->run(app::CommandContext{platform::RootDir::resolve(o.root), o.commandArgs});
}
