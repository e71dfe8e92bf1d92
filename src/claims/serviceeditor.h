#pragma once
// The service line editor: adds, changes and deletes one service line (an
// Item record, box 24 of the claim form) of the claim in the Invoice buffer.
// Called only from the claim form's service list, with CallRequest 1, 2 or
// 3, the claim in the INV buffer and the line in the ITM buffer (for an
// Insert: cleared, with ITM:INV set). Every opening gives the line the
// claim's provider and patient.
//
// The procedure code and the rendering provider are looked up as they are
// accepted (a code not on file opens its browse), and with F12 or the right
// mouse button. The rendering browse keeps its place and size in the root's
// INI file.

#include "shell/callprotocol.h"
#include "shell/formdefinition.h"

#include <QString>

class QWidget;

namespace kestrel::claims {

// The form's help topic.
inline constexpr const char* kServiceEditorHelp = "ServiceEditor";

const shell::FormDefinition& serviceEditor();

// Runs the editor for the request in CallRequest; returns CallResponse.
// `iniFile` is the root's INI file (the rendering browse's geometry).
shell::Response runServiceEditor(const QString& iniFile, QWidget* parent = nullptr);

} // namespace kestrel::claims
