#pragma once
// Shared by the update form tests: a fresh data folder per test, scripted
// messages, a headless form host that records what the engine asked of the
// window, a "user" that drives a FormEngine, and another station (a child
// process with its own record file on the same folder).

#include "data/file_access.h"
#include "data/records.h"
#include "platform/recordfile.h"
#include "shell/callprotocol.h"
#include "shell/formengine.h"
#include "support/records.h"
#include "support/scriptedmessages.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <vector>

namespace kestrel::test {

// The window side of a form, headless: remembers focus, refusals, closing.
class RecordingHost : public shell::FormHost {
public:
    void refresh() override { ++refreshes; }
    void focusControl(int index) override { focused = index; }
    void rejected(int index, const QString& why) override { refusals.push_back({index, why}); }
    void closeWindow() override { closed = true; }
    void setWaitCursor(bool on) override { waitDepth += on ? 1 : -1; }

    struct Refusal {
        int index;
        QString why;
    };
    int refreshes = 0;
    int focused = -1;
    std::vector<Refusal> refusals;
    bool closed = false;
    int waitDepth = 0;
};

// What a form finds in its file's buffer when it opens.
enum class Opened {
    Blank,     // an Insert's record cleared, as a plain browse's Add does
    AsLeft,    // exactly as the caller left it
};

// One opening of a form, driven as a user would.
class UserForm {
public:
    UserForm(const shell::FormDefinition& def, shell::Request request, Opened buffers = Opened::Blank) : engine(def)
    {
        if (request == shell::Request::Insert && buffers == Opened::Blank) {
            const data::FileBuffer* f = data::fileByLabel(def.file.toStdString());
            platform::clearRecord(*f->def, f->bytes);
        }
        shell::CallRequest = request;
        opening = engine.open();
        if (opening == shell::FormEngine::Opening::ShowWindow) {
            engine.attach(&host);
            engine.windowOpened();
        }
    }
    ~UserForm()
    {
        engine.attach(nullptr);
        engine.cancel();
    }

    int at(const QString& field) const
    {
        const int i = engine.indexOf(field);
        EXPECT_GE(i, 0) << field.toStdString();
        return i;
    }
    // Enters the field, types over it and leaves it. False when refused or closed.
    bool type(const QString& field, const QString& text)
    {
        const int i = at(field);
        engine.enter(i);
        if (engine.isClosed()) return false;
        engine.type(i, text);
        return engine.leave(i);
    }
    void enter(const QString& field) { engine.enter(at(field)); }
    QString shown(const QString& field) const { return engine.controlText(at(field)); }
    void ditto(const QString& field) { engine.ditto(at(field)); }

    bool ended() const { return opening == shell::FormEngine::Opening::Ended; }

    shell::FormEngine engine;
    RecordingHost host;
    shell::FormEngine::Opening opening;
};

// A fresh data folder, all buffers clear, scripted messages; every file
// released again at the end of each test.
class FormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(data::setDataDirectory(dir.path()));
        data::clearAllBuffers();
        shell::clearCallProtocol();
    }
    void TearDown() override
    {
        held.clear();
        platform::faults::clear();
        for (const auto& fb : data::allFiles()) EXPECT_EQ(data::openCount(*fb.def), 0) << fb.def->label;
        data::setDataDirectory(QString());
    }

    // Records added and read back as in support/records.h.
    static void addRecord(const platform::FileDef& def, const Fill& fill) { test::addRecord(def, fill); }
    template <class Read>
    static auto records(const platform::FileDef& def, const char* key, Read read)
    {
        return test::records(def, key, read);
    }

    // Reads the record with the key values now in the buffer, watching it
    // as a browse does before it calls a form for Change or Delete.
    // The file stays in use (as the browse keeps it) until the next call or
    // the end of the test.
    void readForChange(const platform::FileDef& def, const char* key)
    {
        held.clear();
        held.push_back(std::make_unique<data::FileUse>(std::initializer_list<const platform::FileDef*>{&def}));
        auto& f = data::recordFile(def);
        f.watch();
        ASSERT_EQ(f.get(def.keyIndex(key)), platform::errc::Ok);
    }
    void releaseHeld() { held.clear(); }

    TempDir dir;
    ScriptedMessages messages;
    std::vector<std::unique_ptr<data::FileUse>> held;
};

// Another station: a child process running `body` on its own record file of
// the same folder. run() returns the child's exit status.
inline int otherStation(const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace kestrel::test
