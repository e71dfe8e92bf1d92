#pragma once
// The detail panel of the Patient screen: the highlighted patient's name,
// address (the street line and the patient city line), phones, date of
// birth, social security number and sex, shown from PAT after every
// copy-back. The name is an entry field that is also the name locator:
// text typed over it and accepted (Enter, or leaving the field) becomes
// PAT:LNAME and, unless blank, the list locates on it and takes the focus
// back. Nothing else in the panel can be edited.

#include "shell/browsewindow.h"

#include <QString>
#include <QWidget>

#include <map>

class QLabel;
class QLineEdit;

namespace kestrel::managers {

class PatientPanel final : public QWidget {
    Q_OBJECT
public:
    explicit PatientPanel(QWidget* parent = nullptr);

    static shell::BrowsePanel make();

    void fill();

    QLineEdit* nameField() const { return name_; }
    // What the panel shows for a field ("PAT:SSN"; "CITYLINE" for the city line).
    QString shownText(const QString& name) const;

private:
    void nameAccepted();
    QLabel* display(const QString& name, const QString& picture, int x, int y, const QString& tip = {});

    struct Shown {
        QLabel* label;
        QString picture;
    };
    QLineEdit* name_ = nullptr;
    std::map<QString, Shown> fields_;
};

} // namespace kestrel::managers
