#pragma once
// Headless side of a browse for the engine tests: a host that remembers what
// the engine asked of the window and delivers posted new-selection events
// when the test says so (as the event loop would), and a fixture with a
// fresh data folder per test and helpers to seed the files.

#include "data/file_access.h"
#include "data/records.h"
#include "platform/recordfile.h"
#include "shell/browseengine.h"
#include "shell/callprotocol.h"
#include "support/records.h"
#include "support/scriptedmessages.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace kestrel::test {

// Queue field `field` of every row of a page, numbers as their text.
inline std::vector<std::string> columnOf(const shell::BrowseEngine& engine, int field)
{
    std::vector<std::string> out;
    for (int r = 1; r <= engine.entryCount(); ++r) {
        auto v = engine.value(r, field);
        if (auto* s = std::get_if<std::string>(&v)) out.push_back(*s);
        else out.push_back(std::get<platform::Decimal>(v).toString());
    }
    return out;
}

class HeadlessBrowseHost : public shell::BrowseHost {
public:
    shell::BrowseEngine* engine = nullptr;
    int page = 5;
    int row = 0;
    bool scrollBar = false;
    int thumbPosition = -1;
    bool changeDelete = false;
    bool selectShown = false;
    bool selectDefault = false;
    bool posted = false;
    int popupChoice = 0;
    QString lastPopup;
    std::vector<int> pressed;
    QString help;
    bool closedWindow = false;
    int redisplays = 0;

    int pageSize() const override { return page; }
    int currentRow() const override { return row; }
    void setCurrentRow(int r) override { row = r; }
    void setScrollBarVisible(bool v) override { scrollBar = v; }
    void setThumb(int p) override { thumbPosition = p; }
    void setChangeDeleteEnabled(bool e) override { changeDelete = e; }
    void setSelectButton(bool shown, bool isDefault) override
    {
        selectShown = shown;
        selectDefault = isDefault;
    }
    void pressButton(int index) override
    {
        pressed.push_back(index);
        if (engine->buttonEnabled(index)) engine->buttonPressed(index);
    }
    void redisplay() override { ++redisplays; }
    void postNewSelection() override { posted = true; }
    int popupMenu(const QString& text) override
    {
        lastPopup = text;
        return popupChoice;
    }
    void focusList() override {}
    void setWaitCursor(bool) override {}
    void showHelp(const QString& topic) override { help = topic; }
    void closeWindow() override { closedWindow = true; }

    // Runs the posted new-selection events, as the event loop would.
    void deliver()
    {
        for (int guard = 0; posted && guard < 10; ++guard) {
            posted = false;
            engine->newSelection();
        }
    }
};

// A fresh data folder per test, the scripted message service, and an engine
// over a definition the test sets up.
class BrowseFixture : public ::testing::Test {
protected:
    TempDir dir;
    ScriptedMessages messages;
    HeadlessBrowseHost host;
    std::unique_ptr<shell::BrowseEngine> engine;
    std::unique_ptr<data::FileUse> files;

    void SetUp() override
    {
        ASSERT_TRUE(data::setDataDirectory(dir.path()));
        data::clearAllBuffers();
        shell::clearCallProtocol();
    }
    void TearDown() override
    {
        platform::faults::clear();
        engine.reset();
        files.reset();
    }

    // Uses the files for the seeding helpers (and keeps them open).
    void useFiles(std::initializer_list<const platform::FileDef*> defs)
    {
        files = std::make_unique<data::FileUse>(defs);
    }

    // Opens the browse as the window would: open, window opened, events.
    void openBrowse(const shell::BrowseDefinition& def)
    {
        engine = std::make_unique<shell::BrowseEngine>(def);
        host.engine = engine.get();
        engine->attach(&host);
        engine->open();
        engine->windowOpened();
        host.deliver();
    }

    // Moves the list's highlight as the user would, then the list reports it.
    void pick(int row)
    {
        host.row = row;
        engine->newSelection();
        host.deliver();
    }
    void scroll(shell::ScrollEvent e)
    {
        engine->scroll(e);
        host.deliver();
    }
    void type(char c)
    {
        engine->characterTyped(c);
        host.deliver();
    }

    // Queue field 0 of every row, without trailing blanks.
    std::vector<std::string> column(int field = 0) const { return columnOf(*engine, field); }
    std::string highlightedText(int field = 0) const
    {
        if (engine->highlighted() < 1) return {};
        return column(field)[std::size_t(engine->highlighted() - 1)];
    }
};

// Adds a CPT48 record (the file must be in use).
inline void addCpt(const std::string& code, const std::string& description)
{
    data::CPT.CPTCODE.set(code);
    data::CPT.CPTDESCRIPTION.set(description);
    ASSERT_EQ(data::recordFile(data::file::CPT48).add(), 0) << code;
}

// Codes "C01".."Cnn" with descriptions in reverse order ("D<nn>" falling),
// so the two orders of the file differ.
inline std::vector<std::string> seedCpt(int n)
{
    std::vector<std::string> codes;
    for (int i = 1; i <= n; ++i) {
        std::string code = (i < 10 ? "C0" : "C") + std::to_string(i);
        std::string desc = (n + 1 - i < 10 ? "D0" : "D") + std::to_string(n + 1 - i);
        addCpt(code, desc);
        codes.push_back(code);
    }
    return codes;
}

inline std::vector<std::string> slice(const std::vector<std::string>& v, int from, int to)
{
    return {v.begin() + (from - 1), v.begin() + to};
}

} // namespace kestrel::test
