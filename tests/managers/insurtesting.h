#pragma once
// Shared by the insurance and claim party manager tests: waiting for the
// event loop, acting on the next modal window from inside its loop, and
// opening a browse as a lookup over a headless window.

#include "shell/browsetesting.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace kestrel::test {

inline void settle()
{
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

// Runs `action` on the next modal or popup widget that opens (other than
// `except`), from inside its event loop.
inline void whenOpened(std::function<void(QWidget*)> action, QWidget* except = nullptr)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action, except] {
        QWidget* w = QApplication::activePopupWidget();
        if (!w) w = QApplication::activeModalWidget();
        if (!w || w == except) return;
        timer->stop();
        timer->deleteLater();
        action(w);
    });
    timer->start();
}

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
