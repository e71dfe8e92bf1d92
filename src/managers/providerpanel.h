#pragma once
// The detail panel of the Provider of Service Browser: every field of the
// highlighted provider, in three groups ("Billing address", "Physical
// address", "Identification") and two check boxes. It is filled from the
// highlighted list entry alone: the copy-back has put the entry's fields
// into PRV, and the billing block's heading is the entry's BRW1::MAILTO.
// Nothing in it can be edited: changes go through the record editor.

#include "shell/browsewindow.h"

#include <QString>
#include <QWidget>

#include <map>

class QCheckBox;
class QLabel;

namespace kestrel::managers {

class ProviderPanel final : public QWidget {
    Q_OBJECT
public:
    explicit ProviderPanel(QWidget* parent = nullptr);

    // The panel and its fill, for BrowseWindow.
    static shell::BrowsePanel make();

    // Shows the highlighted provider (blank when the list is empty).
    void fill();

    // What the panel shows for a field ("PRV:BADD1", "BRW1::MAILTO").
    QString shownText(const QString& name) const;
    QCheckBox* taxIdBox() const { return taxId_; }
    QCheckBox* groupBox() const { return group_; }

private:
    QLabel* display(QWidget* parent, const QString& name, const QString& picture, int x, int y,
                    const QString& tip = {});

    struct Shown {
        QLabel* label;
        QString picture;
    };
    std::map<QString, Shown> fields_;
    QCheckBox* taxId_ = nullptr;
    QCheckBox* group_ = nullptr;
};

} // namespace kestrel::managers
