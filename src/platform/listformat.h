#pragma once
// Column formats of list boxes. A format is a run of columns, each written as
//
//   width  alignment [ (indent) ]  modifiers...  @picture@
//
// width      in dialog units (a quarter of the average character width)
// alignment  L left, R right, C centre, D decimal; indent in dialog units
// modifiers  |  a line at the column's right edge
//            M  the user may resize the column
//            F  the column keeps its width
//            ~header~ the column header, optionally followed by the header's
//                 own alignment and indent (~Facility ID~C(0)); without one
//                 the header is aligned like the column
// e.g. "150L(2)|F~Last, First Name~@s29@50C|F~ID #~@n05@" is two columns.

#include "platform/picture.h"

#include <QString>
#include <QStringView>
#include <Qt>

#include <optional>
#include <vector>

namespace kestrel::platform {

struct ListColumn {
    enum class Align { Left, Right, Center, Decimal };

    int width = 0;                  // dialog units
    Align align = Align::Left;
    int indent = 0;                 // dialog units
    bool rightBorder = false;       // '|'
    bool resizable = false;         // 'M'
    bool fixed = false;             // 'F'
    bool hasHeader = false;
    QString header;
    Align headerAlign = Align::Left;
    int headerIndent = 0;
    Picture picture = Picture::from("@s1");

    // The Qt alignment of the cell text (decimal alignment lines numbers up
    // on the right, which is where their points fall for a fixed place count).
    Qt::Alignment cellAlignment() const { return toQt(align); }
    Qt::Alignment headerAlignment() const { return toQt(headerAlign); }
    static Qt::Alignment toQt(Align a);
};

class ListFormat {
public:
    // A malformed format gives nullopt and a reason (with the position of the
    // fault) in *why; it never half-parses.
    static std::optional<ListFormat> parse(QStringView format, QString* why = nullptr);
    // For formats written in the program's own source: a malformed one is a
    // programming error and throws std::invalid_argument.
    static ListFormat from(QStringView format);

    const std::vector<ListColumn>& columns() const { return columns_; }
    int count() const { return int(columns_.size()); }
    const ListColumn& operator[](int i) const { return columns_[std::size_t(i)]; }
    // True when at least one column has a header (the list shows a header row).
    bool hasHeaders() const;

private:
    std::vector<ListColumn> columns_;
};

} // namespace kestrel::platform
