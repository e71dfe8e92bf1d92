#pragma once
// Rendering providers (file Rendering, box 24J of each service line): the
// rendering browser, opened as a lookup by the service line editor, and the
// editor that its Add and Change run.
//
// The browser lists the file in the order its records were stored (it has
// no key order): typing a letter does nothing, and its thumb only tells
// whether the page is at the top (0), at the bottom (100) or between (50).
// It remembers its place and size between runs in the INI file, section
// "F24jEditor".
//
// Lookup contract: the caller sets CallRequest to 4 and calls
// selectRendering(); on CallResponse 1 the chosen provider is in the
// Rendering buffer.

#include "shell/callprotocol.h"
#include "shell/browsedefinition.h"
#include "shell/formdefinition.h"

#include <QString>

class QWidget;

namespace kestrel::managers {

// The INI section of the browser's remembered geometry.
inline constexpr const char* kRenderingGeometrySection = "F24jEditor";

const shell::BrowseDefinition& renderingBrowse();
const shell::FormDefinition& renderingForm();

// The lookup: a modal browser for the request in CallRequest, placed and
// sized as it was left last time (read from and saved to `iniFile`);
// returns CallResponse.
shell::Response selectRendering(const QString& iniFile, QWidget* parent = nullptr);

} // namespace kestrel::managers
