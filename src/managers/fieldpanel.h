#pragma once
// The detail lines that several manager browses show under their list: a
// prompt and a display-only field per line, read from the shared record
// buffers through a display picture. The browse's copy-back puts the
// highlighted record into the buffer; the panel's fill() shows it.
//
//   FieldPanel::make({{"Address 1", "HIC:HICADD1", "@s41"}, ...})
//
// gives the shell::BrowsePanel that a BrowseWindow places with its list. A
// line may have no prompt (a continuation of the line above it), and a line
// may sit on the same row as the one before it (`beside`).

#include "shell/browsewindow.h"

#include <QString>

#include <vector>

class QLabel;

namespace kestrel::managers {

struct PanelLine {
    QString prompt;
    QString field;    // full label of any file's buffer ("HIC:HICADD1")
    QString picture;  // display picture ("@s41")
    bool beside = false;
};

class FieldPanel {
public:
    // A panel with an optional heading over its lines. The widget is owned
    // by the window it is given to.
    static shell::BrowsePanel make(std::vector<PanelLine> lines, const QString& heading = {});

    // The text a line shows for the value now in the buffers (the field read
    // through the picture, trailing blanks dropped); empty for an unknown field.
    static QString textOf(const PanelLine& line);
};

} // namespace kestrel::managers
