#include "platform/listformat.h"

#include <stdexcept>

namespace kestrel::platform {

Qt::Alignment ListColumn::toQt(Align a)
{
    switch (a) {
    case Align::Left: return Qt::AlignLeft | Qt::AlignVCenter;
    case Align::Right:
    case Align::Decimal: return Qt::AlignRight | Qt::AlignVCenter;
    case Align::Center: return Qt::AlignHCenter | Qt::AlignVCenter;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

namespace {

constexpr int kMaxUnits = 10000;

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

std::optional<ListColumn::Align> alignFrom(QChar c)
{
    switch (c.toUpper().unicode()) {
    case 'L': return ListColumn::Align::Left;
    case 'R': return ListColumn::Align::Right;
    case 'C': return ListColumn::Align::Center;
    case 'D': return ListColumn::Align::Decimal;
    default: return std::nullopt;
    }
}

class Reader {
public:
    explicit Reader(QStringView text) : s_(text) {}

    bool atEnd() const { return i_ >= s_.size(); }
    QChar peek() const { return atEnd() ? QChar() : s_[i_]; }
    qsizetype pos() const { return i_; }
    void skip() { ++i_; }

    std::optional<int> number()
    {
        qsizetype start = i_;
        int v = 0;
        while (!atEnd() && isDigit(s_[i_])) {
            v = v * 10 + (s_[i_].unicode() - '0');
            if (v > kMaxUnits) return std::nullopt;
            ++i_;
        }
        if (i_ == start) return std::nullopt;
        return v;
    }
    // Text up to the next `end` (consumed), or nullopt if there is none.
    std::optional<QString> until(QChar end)
    {
        qsizetype at = s_.indexOf(end, i_);
        if (at < 0) return std::nullopt;
        QString out = s_.mid(i_, at - i_).toString();
        i_ = at + 1;
        return out;
    }

private:
    QStringView s_;
    qsizetype i_ = 0;
};

} // namespace

std::optional<ListFormat> ListFormat::parse(QStringView format, QString* why)
{
    ListFormat out;
    Reader r(format);
    auto bad = [&](const QString& reason) -> std::optional<ListFormat> {
        if (why)
            *why = QStringLiteral("Column format \"%1\", column %2, at character %3: %4")
                       .arg(format.toString())
                       .arg(out.columns_.size() + 1)
                       .arg(r.pos() + 1)
                       .arg(reason);
        return std::nullopt;
    };
    // Reads "(n)" after an alignment letter, if present.
    auto indent = [&](int& into) -> bool {
        if (r.peek() != QLatin1Char('(')) return true;
        r.skip();
        auto n = r.number();
        if (!n || r.peek() != QLatin1Char(')')) return false;
        r.skip();
        into = *n;
        return true;
    };

    if (format.trimmed().isEmpty()) return bad(QStringLiteral("the format is empty"));
    while (!r.atEnd()) {
        ListColumn col;
        auto width = r.number();
        if (!width) return bad(QStringLiteral("a column starts with its width"));
        col.width = *width;
        auto align = alignFrom(r.peek());
        if (!align) return bad(QStringLiteral("the width is followed by L, R, C or D"));
        r.skip();
        col.align = *align;
        if (!indent(col.indent)) return bad(QStringLiteral("an indent is a number in parentheses"));
        bool headerAlignGiven = false;

        for (;;) {
            QChar c = r.peek();
            if (r.atEnd()) return bad(QStringLiteral("the column has no picture between @ signs"));
            if (c == QLatin1Char('@')) break;
            if (c == QLatin1Char('|')) {
                col.rightBorder = true;
                r.skip();
            } else if (c.toUpper() == QLatin1Char('M')) {
                col.resizable = true;
                r.skip();
            } else if (c.toUpper() == QLatin1Char('F')) {
                col.fixed = true;
                r.skip();
            } else if (c == QLatin1Char('~')) {
                if (col.hasHeader) return bad(QStringLiteral("the column has two headers"));
                r.skip();
                auto header = r.until(QLatin1Char('~'));
                if (!header) return bad(QStringLiteral("the header has no closing ~"));
                col.hasHeader = true;
                col.header = *header;
                if (auto ha = alignFrom(r.peek())) {
                    r.skip();
                    col.headerAlign = *ha;
                    if (!indent(col.headerIndent))
                        return bad(QStringLiteral("an indent is a number in parentheses"));
                    headerAlignGiven = true;
                }
            } else {
                return bad(QStringLiteral("unexpected \"%1\"").arg(c));
            }
        }
        if (!headerAlignGiven) {
            col.headerAlign = col.align;
            col.headerIndent = col.indent;
        }

        r.skip();  // the opening @
        auto pictureBody = r.until(QLatin1Char('@'));
        if (!pictureBody) return bad(QStringLiteral("the picture has no closing @"));
        QString pictureWhy;
        const QString pictureText = QLatin1Char('@') + *pictureBody;
        auto picture = Picture::parse(QStringView(pictureText), &pictureWhy);
        if (!picture) return bad(pictureWhy);
        col.picture = *picture;
        out.columns_.push_back(std::move(col));
    }
    return out;
}

ListFormat ListFormat::from(QStringView format)
{
    QString why;
    auto f = parse(format, &why);
    if (!f) throw std::invalid_argument(why.toStdString());
    return *f;
}

bool ListFormat::hasHeaders() const
{
    for (const auto& c : columns_)
        if (c.hasHeader) return true;
    return false;
}

} // namespace kestrel::platform
