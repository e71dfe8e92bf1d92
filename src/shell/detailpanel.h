#pragma once
// A detail panel: what a browse shows of its highlighted record beside or
// under the list, declared as a list of lines the way a form declares its
// controls. The browse's copy-back puts the highlighted record into the
// record buffers; the panel's fill() shows it after every redisplay.
//
//     DetailPanel::make({
//         detailGroup("Billing address"),
//         detail("", "BRW1::MAILTO", "@s29"),
//         detail("Telephone number", "PRV:BPAREACODE", "@p(###)p"),
//         detail("", "PRV:BPHONE", "@s9").beside(),
//         detailMark(" Is mark, if SSN is the Federal Tax I.D. Number.", "PRV:TIDX", "S"),
//     })
//
// Lines run down the panel, one row each; a line `beside()` the one before
// shares its row, after it. A prompt sits in the panel's prompt column, a
// value box after it, sized for its picture's
// width in capitals or digits: a display field cannot scroll, so what it
// holds must fit. A group is a titled box holding the lines that follow it,
// up to the next group (an untitled one ends it); groups take one width.
//
// A value is a field of any buffer ("HIC:HICADD1"), a field of the browse's
// queue ("BRW1::MAILTO", read from the highlighted entry), or computed. Only
// the locator can be typed into: text accepted there (Enter, or leaving it)
// becomes its field and, unless blank, the list locates on it and takes the
// focus back. The lines are hand-placed controls of the browse window, so
// the resizer stretches and moves each with the window.

#include "shell/browsewindow.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace kestrel::shell {

struct DetailLine {
    enum class Kind { Value, Mark, Locator, Heading, Group };
    Kind kind = Kind::Value;
    QString prompt;   // a Value's prompt, a Mark's text, a Heading's or Group's title
    QString field;    // what the line shows; the name of a computed value
    QString picture;  // display picture ("@s41"); a Mark: the stored mark ("S")
    QString tooltip;
    bool besidePrevious = false;
    std::function<std::string()> compute;  // a computed text (Windows-1252), before its picture

    DetailLine& beside()
    {
        besidePrevious = true;
        return *this;
    }
    DetailLine& tip(QString text)
    {
        tooltip = std::move(text);
        return *this;
    }
};

// A prompt (may be empty) and a display-only box showing `field` through `picture`.
DetailLine detail(QString prompt, QString field, QString picture);
// The same for a value worked out afresh at every fill, shown through `picture`.
DetailLine detailComputed(QString prompt, QString name, QString picture,
                          std::function<std::string()> compute);
// A check box, ticked when `field` holds `mark` (letter case ignored); it
// shows the stored mark and cannot change it.
DetailLine detailMark(QString text, QString field, QString mark);
// An entry `chars` wide over a text field, which locates the list (above).
DetailLine detailLocator(QString field, int chars);
// The same after a prompt of its own on its row ("PATIENT BROWSER:").
DetailLine detailLocator(QString prompt, QString field, int chars);
// A bold line of text over the lines that follow.
DetailLine detailHeading(QString text);
// A titled box holding the lines that follow, up to the next group; an
// empty title ends the group before it.
DetailLine detailGroup(QString title);

class DetailPanel final : public QWidget {
    Q_OBJECT
public:
    explicit DetailPanel(std::vector<DetailLine> lines, QWidget* parent = nullptr);

    // The panel and its fill, for BrowseWindow.
    static BrowsePanel make(std::vector<DetailLine> lines, BrowsePanel::Placement placement = {});

    // Shows the record in the buffers (blank boxes for an empty list).
    void fill();

    // What the line of `field` shows (trailing blanks dropped); empty for a
    // field the panel has no line for.
    QString shownText(const QString& field) const;
    QCheckBox* mark(const QString& field) const;
    QLineEdit* locator() const { return locator_; }

    // The text a line shows for the record in the buffers, outside a browse.
    static QString textOf(const DetailLine& line);

private:
    struct Shown {
        DetailLine line;
        QWidget* widget;
    };
    class Builder;

    QString valueText(const DetailLine& line) const;
    void locatorAccepted();
    const Shown* find(const QString& field) const;

    std::vector<Shown> shown_;
    QLineEdit* locator_ = nullptr;
    QString locatorField_;
};

} // namespace kestrel::shell
