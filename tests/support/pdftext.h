#pragma once
// The text a PDF shows, read back for the tests from what QPdfWriter writes:
// its streams inflated (FlateDecode), each font's glyph codes mapped through
// its ToUnicode CMap, the strings of Tj, TJ, ' and " collected. One string
// per text object (BT ... ET), which is one drawn text for QPdfWriter; pages
// in the order of the page tree. Enough for the files this program writes,
// not a general PDF reader (no object streams, no encryption, no
// cross-reference parsing).
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kestrel::test {

struct PdfText {
    std::vector<QStringList> pages;  // per page, its text objects in drawing order

    // Every text object of every page, joined by newlines.
    QString all() const;
    // Whether some text object of page `page` (0-based) equals `text`, blanks trimmed.
    bool pageShows(std::size_t page, const QString& text) const;
};

// Nullopt when the file cannot be read or holds no page.
std::optional<PdfText> readPdfText(const QString& fileName);

} // namespace kestrel::test
