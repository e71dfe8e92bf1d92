#pragma once
// Shared by the insurance and claim party manager tests: opening a browse as
// a lookup over a headless window (settle and whenOpened are in
// support/guiactions.h).

#include "shell/browsetesting.h"
#include "support/guiactions.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace kestrel::test {

// A browse engine over a headless window, opened as its window would open
// it (the request is whatever CallRequest holds).
struct HeadlessBrowse {
    explicit HeadlessBrowse(const shell::BrowseDefinition& def, int page = 5) : engine(def)
    {
        host.page = page;
        host.engine = &engine;
        engine.attach(&host);
        engine.open();
        engine.windowOpened();
        host.deliver();
    }
    ~HeadlessBrowse() { engine.close(); }

    // Queue field `field` of every row, as stored (trailing blanks dropped).
    std::vector<std::string> column(int field = 0) const
    {
        std::vector<std::string> out;
        for (int r = 1; r <= engine.entryCount(); ++r) {
            auto v = engine.value(r, field);
            if (auto* s = std::get_if<std::string>(&v)) out.push_back(*s);
            else out.push_back(std::get<platform::Decimal>(v).toString());
        }
        return out;
    }
    void scroll(shell::ScrollEvent e)
    {
        engine.scroll(e);
        host.deliver();
    }
    void type(char c)
    {
        engine.characterTyped(c);
        host.deliver();
    }

    HeadlessBrowseHost host;
    shell::BrowseEngine engine;
};

} // namespace kestrel::test
