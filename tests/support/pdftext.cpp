#include "support/pdftext.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include <zlib.h>

#include <map>

namespace kestrel::test {

namespace {

struct Object {
    QByteArray dict;    // the text between "obj" and "stream" (or "endobj")
    QByteArray stream;  // inflated when it was FlateDecode
};

QByteArray inflate(const QByteArray& in)
{
    QByteArray out;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return out;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = uInt(in.size());
    char buffer[16384];
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        rc = ::inflate(&z, Z_NO_FLUSH);
        out.append(buffer, qsizetype(sizeof buffer - z.avail_out));
    }
    inflateEnd(&z);
    return out;
}

// Every "N 0 obj" of the file by number, its stream skipped over as data.
std::map<int, Object> objects(const QByteArray& pdf)
{
    static const QRegularExpression head(QStringLiteral("(\\d+)\\s+\\d+\\s+obj\\b"));
    std::map<int, Object> out;
    const QString latin = QString::fromLatin1(pdf);  // one character per byte: the same offsets
    qsizetype pos = 0;
    for (;;) {
        const auto m = head.match(latin, pos);
        if (!m.hasMatch()) break;
        const qsizetype start = m.capturedEnd();
        const qsizetype end = pdf.indexOf("endobj", start);
        if (end < 0) break;
        qsizetype stream = pdf.indexOf("stream", start);
        Object o;
        pos = end + 6;
        if (stream >= 0 && stream < end) {
            o.dict = pdf.mid(start, stream - start);
            qsizetype data = stream + 6;
            if (pdf.at(data) == '\r') ++data;
            if (pdf.at(data) == '\n') ++data;
            const qsizetype dataEnd = pdf.indexOf("endstream", data);
            if (dataEnd < 0) break;
            o.stream = pdf.mid(data, dataEnd - data);
            if (o.dict.contains("/FlateDecode")) o.stream = inflate(o.stream);
            pos = pdf.indexOf("endobj", dataEnd) + 6;
            if (pos < 6) break;
        } else {
            o.dict = pdf.mid(start, end - start);
        }
        out[m.captured(1).toInt()] = std::move(o);
    }
    return out;
}

// The object a "/Key N 0 R" of `dict` points to, or -1.
int reference(const QByteArray& dict, const char* key)
{
    const QRegularExpression re(QStringLiteral("/%1\\s+(\\d+)\\s+\\d+\\s+R").arg(QLatin1String(key)));
    const auto m = re.match(QString::fromLatin1(dict));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QByteArray fromHex(const QByteArray& hex) { return QByteArray::fromHex(hex); }

// A ToUnicode CMap: code (as bytes read big-endian) to text.
struct CMap {
    int width = 1;  // bytes per code
    QHash<uint, QString> map;

    static uint code(const QByteArray& bytes)
    {
        uint c = 0;
        for (char b : bytes) c = (c << 8) | uchar(b);
        return c;
    }
    static QString utf16(const QByteArray& bytes)
    {
        QString s;
        for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) s += QChar(ushort(uchar(bytes[i]) << 8 | uchar(bytes[i + 1])));
        return s;
    }
    QString decode(const QByteArray& bytes) const
    {
        QString out;
        for (qsizetype i = 0; i + width <= bytes.size(); i += width) {
            const uint c = code(bytes.mid(i, width));
            out += map.contains(c) ? map.value(c) : (width == 1 ? QString(QChar(c)) : QString());
        }
        return out;
    }
};

CMap parseCMap(const QByteArray& text)
{
    CMap cmap;
    static const QRegularExpression space(QStringLiteral("begincodespacerange\\s*<([0-9A-Fa-f]+)>"));
    if (const auto m = space.match(QString::fromLatin1(text)); m.hasMatch()) cmap.width = int(m.captured(1).size() / 2);
    static const QRegularExpression chars(QStringLiteral("beginbfchar(.*?)endbfchar"),
                                          QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression pair(QStringLiteral("<([0-9A-Fa-f]+)>\\s*<([0-9A-Fa-f]+)>"));
    for (auto it = chars.globalMatch(QString::fromLatin1(text)); it.hasNext();)
        for (auto p = pair.globalMatch(it.next().captured(1)); p.hasNext();) {
            const auto m = p.next();
            cmap.map[CMap::code(fromHex(m.captured(1).toLatin1()))] = CMap::utf16(fromHex(m.captured(2).toLatin1()));
        }
    static const QRegularExpression ranges(QStringLiteral("beginbfrange(.*?)endbfrange"),
                                           QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression range(
        QStringLiteral("<([0-9A-Fa-f]+)>\\s*<([0-9A-Fa-f]+)>\\s*(<[0-9A-Fa-f]+>|\\[[^\\]]*\\])"));
    static const QRegularExpression hex(QStringLiteral("<([0-9A-Fa-f]+)>"));
    for (auto it = ranges.globalMatch(QString::fromLatin1(text)); it.hasNext();)
        for (auto r = range.globalMatch(it.next().captured(1)); r.hasNext();) {
            const auto m = r.next();
            const uint lo = CMap::code(fromHex(m.captured(1).toLatin1()));
            const uint hi = CMap::code(fromHex(m.captured(2).toLatin1()));
            const QString target = m.captured(3);
            if (target.startsWith(u'[')) {
                uint c = lo;
                for (auto h = hex.globalMatch(target); h.hasNext() && c <= hi; ++c)
                    cmap.map[c] = CMap::utf16(fromHex(h.next().captured(1).toLatin1()));
            } else {
                const QString first = CMap::utf16(fromHex(target.mid(1, target.size() - 2).toLatin1()));
                for (uint c = lo; c <= hi && !first.isEmpty(); ++c) {
                    QString s = first;
                    s[s.size() - 1] = QChar(ushort(first.back().unicode() + (c - lo)));
                    cmap.map[c] = s;
                }
            }
        }
    return cmap;
}

// A content stream's tokens as the text operators need them.
struct Token {
    enum Kind { Operator, Name, String, Other, ArrayOpen, ArrayClose } kind;
    QByteArray text;  // strings: their bytes
};

QByteArray literal(const QByteArray& s, qsizetype& i)
{
    QByteArray out;
    int depth = 1;
    for (++i; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\\' && i + 1 < s.size()) {
            c = s[++i];
            if (c >= '0' && c <= '7') {
                int v = 0;
                for (int k = 0; k < 3 && i < s.size() && s[i] >= '0' && s[i] <= '7'; ++k, ++i) v = v * 8 + (s[i] - '0');
                --i;
                out += char(v);
            } else {
                out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
            }
        } else if (c == '(') {
            ++depth, out += c;
        } else if (c == ')') {
            if (--depth == 0) break;
            out += c;
        } else {
            out += c;
        }
    }
    ++i;
    return out;
}

std::vector<Token> tokens(const QByteArray& s)
{
    std::vector<Token> out;
    const auto delimiter = [](char c) { return QByteArray(" \t\r\n\f()<>[]{}/%").contains(c) || c == '\0'; };
    for (qsizetype i = 0; i < s.size();) {
        const char c = s[i];
        if (delimiter(c) && c != '(' && c != '<' && c != '>' && c != '[' && c != ']' && c != '/' && c != '%') {
            ++i;
        } else if (c == '%') {
            while (i < s.size() && s[i] != '\n' && s[i] != '\r') ++i;
        } else if (c == '(') {
            out.push_back({Token::String, literal(s, i)});
        } else if (c == '<' && i + 1 < s.size() && s[i + 1] == '<') {
            out.push_back({Token::Other, "<<"}), i += 2;
        } else if (c == '>') {
            out.push_back({Token::Other, ">"}), i += (i + 1 < s.size() && s[i + 1] == '>') ? 2 : 1;
        } else if (c == '<') {
            const qsizetype end = s.indexOf('>', i);
            out.push_back({Token::String, fromHex(s.mid(i + 1, end - i - 1))});
            i = end + 1;
        } else if (c == '[' || c == ']') {
            out.push_back({c == '[' ? Token::ArrayOpen : Token::ArrayClose, QByteArray(1, c)}), ++i;
        } else {
            const qsizetype start = i++;
            while (i < s.size() && !delimiter(s[i])) ++i;
            const QByteArray word = s.mid(start, i - start);
            const bool op = c != '/' && !(c >= '0' && c <= '9') && c != '-' && c != '+' && c != '.';
            out.push_back({c == '/' ? Token::Name : op ? Token::Operator : Token::Other, c == '/' ? word.mid(1) : word});
        }
    }
    return out;
}

// The text objects of one content stream; `fonts` maps resource names to CMaps.
QStringList textObjects(const QByteArray& content, const QHash<QByteArray, CMap>& fonts)
{
    QStringList out;
    QString block;
    const CMap* font = nullptr;
    static const CMap latin1;
    std::vector<QByteArray> strings;  // since the last operator
    QByteArray lastName;
    for (const Token& t : tokens(content)) {
        if (t.kind == Token::String) strings.push_back(t.text);
        if (t.kind == Token::Name) lastName = t.text;
        if (t.kind != Token::Operator) continue;
        const QByteArray& op = t.text;
        if (op == "Tf") {
            const auto it = fonts.constFind(lastName);
            font = it != fonts.cend() ? &*it : &latin1;
        } else if (op == "Tj" || op == "TJ" || op == "'" || op == "\"") {
            for (const QByteArray& s : strings) block += (font ? font : &latin1)->decode(s);
            // The writer's CMaps give the space glyph, shared with the tab, as a tab.
            block.replace(u'\t', u' ');
        } else if (op == "BT") {
            block.clear();
        } else if (op == "ET") {
            out << block;
        }
        strings.clear();
    }
    return out;
}

// The font resources named in `dict` ("/Font << /F5 5 0 R ... >>", inline
// or as a reference), each with its ToUnicode CMap.
void collectFonts(const QByteArray& dict, const std::map<int, Object>& all, QHash<QByteArray, CMap>& fonts)
{
    static const QRegularExpression inlineFonts(QStringLiteral("/Font\\s*<<(.*?)>>"), QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression entry(QStringLiteral("/([^\\s/]+)\\s+(\\d+)\\s+\\d+\\s+R"));
    QString list;
    if (const auto m = inlineFonts.match(QString::fromLatin1(dict)); m.hasMatch()) {
        list = m.captured(1);
    } else if (const int ref = reference(dict, "Font"); all.count(ref)) {
        list = QString::fromLatin1(all.at(ref).dict);
    }
    for (auto it = entry.globalMatch(list); it.hasNext();) {
        const auto m = it.next();
        const auto font = all.find(m.captured(2).toInt());
        if (font == all.end()) continue;
        const auto cmap = all.find(reference(font->second.dict, "ToUnicode"));
        fonts[m.captured(1).toLatin1()] = cmap == all.end() ? CMap{} : parseCMap(cmap->second.stream);
    }
}

// The pages in the order of the page tree from `node`.
void pagesUnder(int node, const std::map<int, Object>& all, std::vector<int>& out, int depth = 0)
{
    const auto it = all.find(node);
    if (it == all.end() || depth > 32) return;
    const QByteArray& dict = it->second.dict;
    static const QRegularExpression kids(QStringLiteral("/Kids\\s*\\[([^\\]]*)\\]"));
    static const QRegularExpression ref(QStringLiteral("(\\d+)\\s+\\d+\\s+R"));
    if (const auto m = kids.match(QString::fromLatin1(dict)); m.hasMatch()) {
        for (auto r = ref.globalMatch(m.captured(1)); r.hasNext();) pagesUnder(r.next().captured(1).toInt(), all, out, depth + 1);
    } else {
        out.push_back(node);
    }
}

} // namespace

QString PdfText::all() const
{
    QStringList lines;
    for (const QStringList& p : pages) lines << p;
    return lines.join(u'\n');
}

bool PdfText::pageShows(std::size_t page, const QString& text) const
{
    if (page >= pages.size()) return false;
    for (const QString& t : pages[page])
        if (t.trimmed() == text.trimmed()) return true;
    return false;
}

std::optional<PdfText> readPdfText(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const std::map<int, Object> all = objects(file.readAll());
    int root = -1;
    for (const auto& [n, o] : all)
        if (o.dict.contains("/Type /Catalog") || o.dict.contains("/Type/Catalog")) root = reference(o.dict, "Pages");
    std::vector<int> pages;
    pagesUnder(root, all, pages);
    if (pages.empty()) return std::nullopt;
    PdfText text;
    for (int p : pages) {
        const QByteArray& dict = all.at(p).dict;
        QHash<QByteArray, CMap> fonts;
        const int resources = reference(dict, "Resources");
        collectFonts(all.count(resources) ? all.at(resources).dict : dict, all, fonts);
        const int contents = reference(dict, "Contents");
        text.pages.push_back(all.count(contents) ? textObjects(all.at(contents).stream, fonts) : QStringList{});
    }
    return text;
}

} // namespace kestrel::test
