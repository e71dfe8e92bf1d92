#pragma once
// Leaving a report's preview from a test: Print would open the system's
// printer dialog, so the tests read what reached the preview and Exit.
#include "reports/previewwindow.h"
#include "support/guiactions.h"

#include <QApplication>

#include <functional>

namespace kestrel::test {

// When the next report preview shows, hands it to `seen` and leaves it with
// Exit.
inline void exitNextPreview(std::function<void(reports::PreviewWindow&)> seen)
{
    whenFound(
        []() -> QWidget* {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* p = qobject_cast<reports::PreviewWindow*>(w); p && p->isVisible()) return p;
            return nullptr;
        },
        [seen = std::move(seen)](QWidget* w) {
            auto* preview = static_cast<reports::PreviewWindow*>(w);
            seen(*preview);
            preview->exitAction()->trigger();
        });
}

} // namespace kestrel::test
