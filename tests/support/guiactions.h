#pragma once
// What a user does to real widgets in the window tests: acting on a modal
// window from inside its own event loop, typing over a field, tabbing on.
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

namespace kestrel::test {

// Runs `action` on the next modal window that opens, from inside its loop
// (the call that opens it does not return until the window closes).
inline void whenModal(std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) return;
        timer->stop();
        timer->deleteLater();
        action(w);
    });
    timer->start();
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
