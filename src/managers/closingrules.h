#pragma once
// The ways a form closes itself on an empty key, shared by the editors: a
// record whose key field is left empty is not a record, so accepting such a
// field ends the form cancelled and writes nothing.

#include "shell/formengine.h"

#include <QString>

namespace kestrel::managers {

// The field is blank.
inline shell::FieldRule closeIfBlank()
{
    return [](shell::FormContext& f) {
        return f.isBlank(f.currentField()) ? shell::Verdict::CloseCancelled : shell::Verdict::Go;
    };
}

// The field's numeric value is 0 (blank, not a number, or zeros): codes and
// identifiers that must begin with a number.
inline shell::FieldRule closeIfZero()
{
    return [](shell::FormContext& f) {
        return f.number(f.currentField()).isZero() ? shell::Verdict::CloseCancelled : shell::Verdict::Go;
    };
}

// The record number `label` is 0 or less: numbering failed or the record is
// damaged, so it is not edited.
inline shell::FieldRule closeIfNotNumbered(const char* label)
{
    return [label](shell::FormContext& f) {
        const platform::Decimal n = f.number(QString::fromLatin1(label));
        return (n.isZero() || n.isNegative()) ? shell::Verdict::CloseCancelled : shell::Verdict::Go;
    };
}

} // namespace kestrel::managers
