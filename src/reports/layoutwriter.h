#pragma once
// The layout of rendered pages as text: one line per placed text,
//     page,x,y,width,text
// with the page counted from 1, the position and width in mils and the text
// in CSV quotes when it needs them. Tests compare it with checked-in files;
// `kestrel print --layout FILE` writes it beside the PDF.

#include "reports/page.h"

#include <QString>

class QTextStream;

namespace kestrel::reports {

// The lines of one page (1-based number), each ended by "\n".
QString layoutLines(const Page& page, int pageNumber);

// Every page, in order.
void writeLayout(const std::vector<Page>& pages, QTextStream& out);

} // namespace kestrel::reports
