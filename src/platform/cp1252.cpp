#include "platform/cp1252.h"

#include <QString>

namespace kestrel::platform::cp1252 {

namespace {

// 0x80..0x9F; the five undefined bytes map to the C1 control of the same value.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t decode(unsigned char b) { return (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : char16_t(b); }

bool encode(char16_t u, char& out)
{
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
        out = char(u);
        return true;
    }
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == u) {
            out = char(0x80 + i);
            return true;
        }
    return false;
}

} // namespace

QString toQString(std::string_view bytes)
{
    QString s;
    s.reserve(qsizetype(bytes.size()));
    for (unsigned char b : bytes) s.append(QChar(decode(b)));
    return s;
}

std::string toUtf8(std::string_view bytes) { return toQString(bytes).toStdString(); }

std::optional<std::string> fromQString(const QString& text, QString* bad)
{
    std::string out;
    out.reserve(std::size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        char c;
        char16_t u = text.at(i).unicode();
        if (!encode(u, c)) {
            if (bad) {
                // Report the whole character, surrogate pairs included.
                qsizetype len = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
                *bad = text.mid(i, len);
            }
            return std::nullopt;
        }
        out.push_back(c);
    }
    return out;
}

std::optional<std::string> fromUtf8(std::string_view utf8, QString* bad)
{
    return fromQString(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())), bad);
}

char toUpper(char c)
{
    auto b = static_cast<unsigned char>(c);
    if (b >= 'a' && b <= 'z') return char(b - 32);
    switch (b) {
    case 0x9A: return char(0x8A); // š Š
    case 0x9C: return char(0x8C); // œ Œ
    case 0x9E: return char(0x8E); // ž Ž
    case 0xFF: return char(0x9F); // ÿ Ÿ
    default: break;
    }
    if (b >= 0xE0 && b != 0xF7) return char(b - 32); // à..þ except ÷
    return c;
}

std::string toUpper(std::string_view bytes)
{
    std::string s(bytes);
    for (char& c : s) c = toUpper(c);
    return s;
}

bool isAlpha(char c)
{
    auto b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) return true;
    switch (b) {
    case 0x83: case 0x8A: case 0x8C: case 0x8E: case 0x9A: case 0x9C: case 0x9E: case 0x9F:
    case 0xAA: case 0xB5: case 0xBA:
        return true;
    default: break;
    }
    return b >= 0xC0 && b != 0xD7 && b != 0xF7;
}

} // namespace kestrel::platform::cp1252
