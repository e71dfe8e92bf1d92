#pragma once
// What a user does to real widgets in the window tests: acting on a modal
// window or popup from inside its own event loop, typing over a field, tabbing
// on; and letting pending events through.
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

namespace kestrel::test {

// Lets the event loop deliver what is already pending (posted events, zero
// timers such as a window's opening step) without waiting for time to pass.
inline void settle()
{
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

// Runs `action` on the first widget `find` returns, polled from the event
// loop (so from inside the loop of a modal window that is opening: the call
// that opens it does not return until the window closes).
inline void whenFound(std::function<QWidget*()> find, std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, find, action] {
        QWidget* w = find();
        if (!w) return;
        timer->stop();
        timer->deleteLater();
        action(w);
    });
    timer->start();
}

// Runs `action` on the next modal window that opens, from inside its loop.
inline void whenModal(std::function<void(QWidget*)> action)
{
    whenFound([] { return QApplication::activeModalWidget(); }, std::move(action));
}

// Runs `action` on the next popup or modal window that opens (other than
// `except`), from inside its loop.
inline void whenOpened(std::function<void(QWidget*)> action, QWidget* except = nullptr)
{
    whenFound(
        [except]() -> QWidget* {
            QWidget* w = QApplication::activePopupWidget();
            if (!w) w = QApplication::activeModalWidget();
            return w == except ? nullptr : w;
        },
        std::move(action));
}

// What a user does to fill a field: click into it, select what is there,
// type over it.
inline void typeInto(QLineEdit* edit, const QString& text)
{
    ASSERT_NE(edit, nullptr);
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, text);
}

// Tab from whatever has the focus.
inline void tab() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); }

} // namespace kestrel::test
