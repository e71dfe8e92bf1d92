#pragma once
// Runs the kestrel executable built with the tests, as a user runs it: its
// exit status and what it prints.

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#if defined(Q_OS_LINUX)
#include <linux/capability.h>
#include <sys/prctl.h>
#endif

namespace kestrel::test {

inline QString kestrelBinary()
{
    const QString fromEnv = qEnvironmentVariable("KESTREL_TEST_BINARY_DIR");
    const QString dir = fromEnv.isEmpty() ? QCoreApplication::applicationDirPath() + "/.." : fromEnv;
    return QDir(dir).absoluteFilePath("kestrel");
}

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

// Bound: permission bits bind the child even when the tests run as root (as
// in CI), whose override of them is dropped from the child's capabilities.
enum class Permissions { AsTheTests, Bound };

// The exit status of a child that could not give up root's override.
inline constexpr int kCannotDropOverride = 97;

// Runs kestrel under umask 022 in `env`; a run that does not end within a minute
// fails the test and is killed.
inline Outcome runKestrel(const QStringList& args, Permissions permissions = Permissions::AsTheTests,
                          const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setChildProcessModifier([bound = permissions == Permissions::Bound] {
        ::umask(022);
        if (!bound || ::geteuid() != 0) return;
#if defined(Q_OS_LINUX)
        if (::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) == 0 &&
            ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) == 0)
            return;
#endif
        ::_exit(kCannotDropOverride);
    });
    p.start(kestrelBinary(), args);
    Outcome r;
    if (!p.waitForFinished(60000)) {
        ADD_FAILURE() << "kestrel " << args.join(' ').toStdString() << " did not finish";
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

} // namespace kestrel::test
