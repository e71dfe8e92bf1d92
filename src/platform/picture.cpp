#include "platform/picture.h"

#include "platform/cp1252.h"
#include "platform/dates.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTime>

#include <cstring>
#include <stdexcept>
#include <vector>

namespace kestrel::platform {

namespace {

constexpr int kMaxTextWidth = 4096;
constexpr int kMaxNumberWidth = 40;
constexpr int kMaxPlaces = 9;

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Reads an unsigned decimal number at s[i...], advancing i; false if none.
bool readNumber(std::string_view s, std::size_t& i, int& out, int limit)
{
    std::size_t start = i;
    long v = 0;
    while (i < s.size() && isDigit(s[i])) {
        v = v * 10 + (s[i] - '0');
        if (v > limit) return false;
        ++i;
    }
    out = int(v);
    return i > start;
}

QString quoted(const QString& s) { return QLatin1Char('"') + s + QLatin1Char('"'); }

// The end of a refusal that counts what was typed: "1 was typed", "3 were typed".
QString typedCount(qsizetype n)
{
    return n == 1 ? QStringLiteral("1 was typed") : QStringLiteral("%1 were typed").arg(n);
}

// "1234567" -> "1,234,567"
QString grouped(const QString& digits)
{
    QString out;
    int n = int(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += QLatin1Char(',');
        out += digits[i];
    }
    return out;
}

// Absolute value of a Decimal's units as digit text (safe for the most
// negative value).
std::string absDigits(const Decimal& d)
{
    std::int64_t u = d.units();
    std::uint64_t a = u < 0 ? std::uint64_t(0) - std::uint64_t(u) : std::uint64_t(u);
    return std::to_string(a);
}

int monthFromName(const QString& name)
{
    if (name.size() < 3) return 0;
    for (int m = 0; m < 12; ++m) {
        QString full = QLatin1String(kMonths[m]);
        if (full.startsWith(name, Qt::CaseInsensitive)) return m + 1;
    }
    return 0;
}

// Two-digit years fall in the hundred years that end twenty years from now,
// so birth dates and service dates both come out right.
int expandYear(int yy)
{
    int thisYear = dates::ymdFromDay(dates::today()).year;
    int year = thisYear - thisYear % 100 + yy;
    if (year > thisYear + 20) year -= 100;
    else if (year <= thisYear - 80) year += 100;
    return year;
}

// Checks a value against the target field by writing it into a scratch
// record; the field's own rules (digits only, real dates, packed size) hold.
bool fitsField(const FieldDef& f, const FieldValue& v, QString* why)
{
    std::vector<unsigned char> scratch(std::size_t(f.offset + f.size), ' ');
    std::string error;
    if (writeField(f, scratch.data(), v, &error)) return true;
    if (why) *why = QString::fromStdString(error);
    return false;
}

bool fail(QString* why, const QString& reason)
{
    if (why) *why = reason;
    return false;
}

} // namespace

// ---------------------------------------------------------------------------
// Parsing

std::optional<Picture> Picture::parse(QStringView text, QString* why)
{
    return parseImpl(text.toUtf8().toStdString(), why);
}

std::optional<Picture> Picture::parse(std::string_view text, QString* why)
{
    return parseImpl(text, why);
}

Picture Picture::from(std::string_view text)
{
    QString why;
    auto p = parseImpl(text, &why);
    if (!p) throw std::invalid_argument(why.toStdString());
    return *p;
}

std::optional<Picture> Picture::parseImpl(std::string_view text, QString* why)
{
    std::string_view s = text;
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    if (!s.empty() && s.front() == '@') s.remove_prefix(1);
    const QString shown = QString::fromUtf8(text.data(), qsizetype(text.size()));
    auto bad = [&](const QString& reason) -> std::optional<Picture> {
        if (why) *why = QStringLiteral("Picture %1: %2").arg(quoted(shown), reason);
        return std::nullopt;
    };
    if (s.empty()) return bad(QStringLiteral("it is empty"));

    Picture p;
    p.text_ = QLatin1Char('@') + QString::fromUtf8(s.data(), qsizetype(s.size()));
    std::size_t i = 1;
    const char letter = lower(s[0]);
    auto atEnd = [&] { return i == s.size(); };
    auto blankFlag = [&] {
        if (i < s.size() && lower(s[i]) == 'b') {
            p.blankZero_ = true;
            ++i;
        }
    };

    switch (letter) {
    case 's':
        p.kind_ = Kind::Text;
        if (!readNumber(s, i, p.width_, kMaxTextWidth) || p.width_ == 0 || !atEnd())
            return bad(QStringLiteral("a text picture is @s and a width from 1 to %1").arg(kMaxTextWidth));
        return p;

    case 'n': {
        p.kind_ = Kind::Number;
        if (i < s.size() && s[i] == '-') {
            p.signed_ = true;
            ++i;
        }
        // A 0 before the width asks for leading zeros (@n05); a lone 0 is
        // just the width 0, which is refused below.
        if (i + 1 < s.size() && s[i] == '0' && isDigit(s[i + 1])) {
            p.zeroFill_ = true;
            ++i;
        }
        if (!readNumber(s, i, p.width_, kMaxNumberWidth) || p.width_ == 0)
            return bad(QStringLiteral("a number picture needs a width from 1 to %1").arg(kMaxNumberWidth));
        if (i < s.size() && s[i] == '.') {
            ++i;
            if (!readNumber(s, i, p.places_, kMaxPlaces))
                return bad(QStringLiteral("the decimals after the point must be 0 to %1").arg(kMaxPlaces));
        }
        blankFlag();
        if (!atEnd()) return bad(QStringLiteral("unexpected %1").arg(quoted(QString::fromUtf8(s.substr(i)))));
        if (p.places_ > 0 && p.width_ < p.places_ + 2)
            return bad(QStringLiteral("%1 positions cannot show %2 decimals").arg(p.width_).arg(p.places_));
        // Money and other signed or fractional figures carry thousands
        // separators; plain counts and record numbers do not, so that @n5
        // shows 12345 in its five positions.
        p.grouped_ = !p.zeroFill_ && (p.signed_ || p.places_ > 0);
        return p;
    }

    case 'd': {
        p.kind_ = Kind::Date;
        if (i + 1 < s.size() && s[i] == '0' && isDigit(s[i + 1])) {
            p.zeroFill_ = true;
            ++i;
        }
        if (!readNumber(s, i, p.code_, 99))
            return bad(QStringLiteral("a date picture needs its format number"));
        blankFlag();
        if (!atEnd()) return bad(QStringLiteral("unexpected %1").arg(quoted(QString::fromUtf8(s.substr(i)))));
        switch (p.code_) {
        case 1: p.width_ = 8; break;
        case 2: p.width_ = 10; break;
        case 4: p.width_ = 18; break;  // "September 30, 2024"
        case 8: p.width_ = 11; break;  // "30 Sep 2024"
        case 10: p.width_ = 10; break;
        case 12: p.width_ = 8; break;
        default: return bad(QStringLiteral("date format %1 is not one this program uses").arg(p.code_));
        }
        return p;
    }

    case 't': {
        p.kind_ = Kind::Time;
        if (!readNumber(s, i, p.code_, 99)) return bad(QStringLiteral("a time picture needs its format number"));
        blankFlag();
        if (!atEnd()) return bad(QStringLiteral("unexpected %1").arg(quoted(QString::fromUtf8(s.substr(i)))));
        switch (p.code_) {
        case 2: p.width_ = 4; break;
        case 4: p.width_ = 8; break;
        case 7: p.width_ = 0; break;  // from the system's format, see width()
        default: return bad(QStringLiteral("time format %1 is not one this program uses").arg(p.code_));
        }
        return p;
    }

    case 'p': {
        p.kind_ = Kind::Pattern;
        if (s.size() < 3 || lower(s.back()) != 'p')
            return bad(QStringLiteral("a pattern picture ends with the letter it starts with"));
        p.pattern_ = QString::fromUtf8(s.substr(1, s.size() - 2));
        int positions = 0;
        for (QChar c : p.pattern_)
            if (c == QLatin1Char('#') || c == QLatin1Char('<')) ++positions;
        if (positions == 0) return bad(QStringLiteral("a pattern needs at least one # or <"));
        p.width_ = int(p.pattern_.size());
        return p;
    }

    default:
        return bad(QStringLiteral("unknown picture letter"));
    }
}

int Picture::width() const
{
    if (kind_ == Kind::Time && code_ == 7) {
        QLocale loc = QLocale::system();
        int w = 0;
        for (QTime t : {QTime(23, 59, 59), QTime(12, 59, 59), QTime(0, 0, 0)})
            w = std::max(w, int(loc.toString(t, QLocale::ShortFormat).size()));
        return w;
    }
    return width_;
}

Qt::Alignment Picture::alignment() const
{
    return kind_ == Kind::Number ? Qt::AlignRight : Qt::AlignLeft;
}

// ---------------------------------------------------------------------------
// Display

QString Picture::format(const FieldValue& value) const
{
    switch (kind_) {
    case Kind::Text: return formatText(value);
    case Kind::Number: return formatNumber(value);
    case Kind::Date: return formatDate(value);
    case Kind::Time: return formatTime(value);
    case Kind::Pattern: return formatPattern(value);
    }
    return {};
}

QString Picture::formatFixed(const FieldValue& value) const
{
    QString s = format(value);
    int w = width();
    if (s.size() >= w) return s;
    return alignment() & Qt::AlignRight ? s.rightJustified(w) : s.leftJustified(w);
}

QString Picture::formatText(const FieldValue& value) const
{
    QString s;
    if (const auto* d = std::get_if<Decimal>(&value)) s = QString::fromStdString(d->toString());
    else s = cp1252::toQString(std::get<std::string>(value));
    return s.left(width_);
}

QString Picture::formatNumber(const FieldValue& value) const
{
    Decimal d;
    if (const auto* v = std::get_if<Decimal>(&value)) {
        d = *v;
    } else {
        const std::string& t = std::get<std::string>(value);
        if (t.find_first_not_of(' ') == std::string::npos) {
            d = Decimal(0);
        } else {
            auto parsed = Decimal::parse(t);
            // A text that is not a number is never shown as some number.
            if (!parsed) return hashes();
            d = *parsed;
        }
    }
    try {
        d = d.rescaled(places_);
    } catch (const std::overflow_error&) {
        return hashes();
    }
    if (d.isZero() && blankZero_) return {};

    std::string digits = absDigits(d);
    if (int(digits.size()) <= places_) digits.insert(0, std::size_t(places_ + 1 - int(digits.size())), '0');
    QString whole = QString::fromStdString(digits.substr(0, digits.size() - std::size_t(places_)));
    QString frac = QString::fromStdString(digits.substr(digits.size() - std::size_t(places_)));
    if (grouped_) whole = grouped(whole);

    // A negative value shows its sign even under a picture without one:
    // dropping it would show a different number.
    QString sign = d.isNegative() ? QStringLiteral("-") : QString();
    QString body = whole + (places_ > 0 ? QLatin1Char('.') + frac : QString());
    // A signed picture keeps a position for the sign even when the value is
    // positive, so whatever shows positive also shows negated.
    const int room = width_ - (signed_ || d.isNegative() ? 1 : 0);
    if (zeroFill_ && body.size() < room) body = QString(room - body.size(), QLatin1Char('0')) + body;
    if (body.size() > room) return hashes();
    return sign + body;
}

QString Picture::formatDate(const FieldValue& value) const
{
    if (const auto* d = std::get_if<Decimal>(&value)) {
        long day = long(d->truncated());
        return day <= 0 ? QString() : formatDay(day);
    }
    const std::string& stored = std::get<std::string>(value);
    auto day = dates::dayFromStored(stored);
    // A damaged stored date is shown as it stands, never as some other date.
    if (!day) return cp1252::toQString(stored).trimmed();
    return *day == 0 ? QString() : formatDay(*day);
}

QString Picture::formatDay(long day) const
{
    dates::Ymd d = dates::ymdFromDay(day);
    auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    auto four = [](int v) { return QStringLiteral("%1").arg(v, 4, 10, QLatin1Char('0')); };
    QString dayText = zeroFill_ ? two(d.day) : QString::number(d.day);
    QString month = QLatin1String(kMonths[d.month - 1]);
    switch (code_) {
    case 1: return two(d.month) + QLatin1Char('/') + two(d.day) + QLatin1Char('/') + two(d.year % 100);
    case 2: return two(d.month) + QLatin1Char('/') + two(d.day) + QLatin1Char('/') + four(d.year);
    case 4: return month + QLatin1Char(' ') + dayText + QStringLiteral(", ") + four(d.year);
    case 8: return dayText + QLatin1Char(' ') + month.left(3) + QLatin1Char(' ') + four(d.year);
    case 10: return four(d.year) + QLatin1Char('/') + two(d.month) + QLatin1Char('/') + two(d.day);
    case 12: return four(d.year) + two(d.month) + two(d.day);
    }
    return {};
}

namespace {
// Seconds after midnight from "hhmm", "hhmmss", "hh:mm" or "hh:mm:ss";
// blank -> -1 (no time); anything else -> nullopt.
std::optional<int> secondsFromStored(const std::string& t)
{
    std::string s;
    for (char c : t)
        if (c != ' ' && c != ':') s += c;
    if (s.empty()) return -1;
    if (s.size() != 4 && s.size() != 6) return std::nullopt;
    for (char c : s)
        if (!isDigit(c)) return std::nullopt;
    int h = std::stoi(s.substr(0, 2)), m = std::stoi(s.substr(2, 2));
    int sec = s.size() == 6 ? std::stoi(s.substr(4, 2)) : 0;
    if (h > 23 || m > 59 || sec > 59) return std::nullopt;
    return h * 3600 + m * 60 + sec;
}
} // namespace

QString Picture::formatTime(const FieldValue& value) const
{
    int secs;
    if (const auto* d = std::get_if<Decimal>(&value)) {
        std::int64_t v = d->truncated();
        if (v < 0 || v >= 86400) return hashes();
        if (v == 0 && blankZero_) return {};
        secs = int(v);
    } else {
        auto s = secondsFromStored(std::get<std::string>(value));
        if (!s) return hashes();
        if (*s < 0) return {};
        secs = *s;
    }
    QTime t = QTime(0, 0).addSecs(secs);
    switch (code_) {
    case 2: return t.toString(QStringLiteral("HHmm"));
    case 4: return t.toString(QStringLiteral("HH:mm:ss"));
    default: return QLocale::system().toString(t, QLocale::ShortFormat);
    }
}

QString Picture::formatPattern(const FieldValue& value) const
{
    int positions = 0;
    bool suppresses = false;
    for (QChar c : pattern_) {
        if (c == QLatin1Char('#')) ++positions;
        if (c == QLatin1Char('<')) {
            ++positions;
            suppresses = true;
        }
    }
    QString fill;  // one character per position
    if (const auto* d = std::get_if<Decimal>(&value)) {
        Decimal whole;
        try {
            whole = d->rescaled(0);
        } catch (const std::overflow_error&) {
            return hashes();
        }
        if (whole.isNegative()) return hashes();
        fill = QString::fromStdString(absDigits(whole));
        if (fill.size() > positions) return hashes();
        fill = fill.rightJustified(positions, QLatin1Char('0'));
    } else {
        QString t = cp1252::toQString(std::get<std::string>(value)).trimmed();
        if (t.isEmpty()) return {};
        if (t.size() > positions) return hashes();
        bool allDigits = true;
        for (QChar c : t) allDigits = allDigits && isDigit(c);
        // A number held as text (a page count) lines up from the right like
        // any number; other text fills the positions as it was typed.
        if (allDigits && suppresses) fill = t.rightJustified(positions, QLatin1Char('0'));
        else fill = t.leftJustified(positions, QLatin1Char(' '));
    }

    QString out;
    int at = 0;
    bool leading = true;
    for (QChar c : pattern_) {
        if (c == QLatin1Char('#') || c == QLatin1Char('<')) {
            QChar v = fill[at++];
            // The last position always shows, so zero shows as "0".
            if (c == QLatin1Char('<') && leading && v == QLatin1Char('0') && at < positions) continue;
            if (v != QLatin1Char('0')) leading = false;
            if (c == QLatin1Char('#')) leading = false;
            out += v;
        } else {
            out += c;
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// Input

std::optional<FieldValue> Picture::input(const QString& typed, const FieldDef* target, QString* why) const
{
    std::optional<FieldValue> v;
    switch (kind_) {
    case Kind::Text: v = inputText(typed, target, why); break;
    case Kind::Number: v = inputNumber(typed, target, why); break;
    case Kind::Date: v = inputDate(typed, target, why); break;
    case Kind::Time: v = inputTime(typed, target, why); break;
    case Kind::Pattern: v = inputPattern(typed, target, why); break;
    }
    if (v && target && !fitsField(*target, *v, why)) return std::nullopt;
    return v;
}

namespace {

// Exact reading of a typed number: optional sign, optional '$', digits with
// correctly placed thousands separators, optional decimals. No letters, no
// guessing.
struct TypedNumber {
    bool negative = false;
    QString whole;   // digits, no separators, no leading zeros beyond one
    QString frac;    // decimals as typed, trailing zeros dropped
};

std::optional<TypedNumber> readTypedNumber(const QString& typed, QString* why)
{
    QString s = typed.trimmed();
    TypedNumber n;
    int i = 0;
    if (i < s.size() && (s[i] == QLatin1Char('-') || s[i] == QLatin1Char('+'))) {
        n.negative = s[i] == QLatin1Char('-');
        ++i;
    }
    if (i < s.size() && s[i] == QLatin1Char('$')) ++i;
    QString whole, frac;
    bool point = false;
    std::vector<int> groupSizes{0};
    for (; i < s.size(); ++i) {
        QChar c = s[i];
        if (isDigit(c)) {
            if (point) frac += c;
            else {
                whole += c;
                ++groupSizes.back();
            }
        } else if (c == QLatin1Char(',') && !point) {
            groupSizes.push_back(0);
        } else if (c == QLatin1Char('.') && !point) {
            point = true;
        } else {
            fail(why, QStringLiteral("%1 is not a number.").arg(quoted(typed.trimmed())));
            return std::nullopt;
        }
    }
    if (whole.isEmpty() && frac.isEmpty()) {
        fail(why, QStringLiteral("%1 is not a number.").arg(quoted(typed.trimmed())));
        return std::nullopt;
    }
    if (groupSizes.size() > 1) {
        bool ok = groupSizes.front() >= 1 && groupSizes.front() <= 3;
        for (std::size_t g = 1; g < groupSizes.size(); ++g) ok = ok && groupSizes[g] == 3;
        if (!ok) {
            fail(why, QStringLiteral("%1 is not a number: the thousands separators are misplaced.")
                          .arg(quoted(typed.trimmed())));
            return std::nullopt;
        }
    }
    while (whole.size() > 1 && whole.front() == QLatin1Char('0')) whole.remove(0, 1);
    if (whole.isEmpty()) whole = QStringLiteral("0");
    while (!frac.isEmpty() && frac.back() == QLatin1Char('0')) frac.chop(1);
    n.whole = whole;
    n.frac = frac;
    return n;
}

// "99,999.99" for the given whole digits and places.
QString largest(int wholeDigits, int places, bool group)
{
    QString w(std::max(wholeDigits, 1), QLatin1Char(wholeDigits > 0 ? '9' : '0'));
    if (group) w = grouped(w);
    return places > 0 ? w + QLatin1Char('.') + QString(places, QLatin1Char('9')) : w;
}

} // namespace

std::optional<FieldValue> Picture::inputText(const QString& typed, const FieldDef* target, QString* why) const
{
    QString text = typed;
    while (!text.isEmpty() && text.back() == QLatin1Char(' ')) text.chop(1);
    if (target && target->kind == FieldKind::Packed) {
        // A number kept in a text-pictured entry: read it as a number.
        Picture asNumber = *this;
        asNumber.kind_ = Kind::Number;
        asNumber.places_ = target->places;
        asNumber.signed_ = true;
        return asNumber.inputNumber(text, target, why);
    }
    QString bad;
    auto bytes = cp1252::fromQString(text, &bad);
    if (!bytes) {
        fail(why, QStringLiteral("The character %1 cannot be stored.").arg(quoted(bad)));
        return std::nullopt;
    }
    int limit = width_;
    if (target) limit = std::min(limit, target->size);
    if (int(bytes->size()) > limit) {
        const QString most = limit == 1 ? QStringLiteral("At most 1 character fits here")
                                        : QStringLiteral("At most %1 characters fit here").arg(limit);
        fail(why, QStringLiteral("%1; %2.").arg(most, typedCount(qsizetype(bytes->size()))));
        return std::nullopt;
    }
    if (target && target->kind == FieldKind::Digits) {
        for (char c : *bytes)
            if (!isDigit(c)) {
                fail(why, QStringLiteral("Only digits can be typed here."));
                return std::nullopt;
            }
    }
    return FieldValue(*bytes);
}

std::optional<FieldValue> Picture::inputNumber(const QString& typed, const FieldDef* target, QString* why) const
{
    Decimal value(0);
    if (!typed.trimmed().isEmpty()) {
        auto n = readTypedNumber(typed, why);
        if (!n) return std::nullopt;
        if (n->negative && !signed_ && !(n->whole == QLatin1String("0") && n->frac.isEmpty())) {
            fail(why, QStringLiteral("A negative number cannot be typed here."));
            return std::nullopt;
        }
        int allowedPlaces = places_;
        if (target && target->kind == FieldKind::Packed) allowedPlaces = std::min(allowedPlaces, target->places);
        if (n->frac.size() > allowedPlaces) {
            fail(why, allowedPlaces == 0
                          ? QStringLiteral("%1 is not a whole number.").arg(quoted(typed.trimmed()))
                          : QStringLiteral("At most %1 decimal places can be typed here.").arg(allowedPlaces));
            return std::nullopt;
        }
        if (target && target->kind == FieldKind::Packed) {
            int wholeRoom = target->digits() - target->places;
            int wholeDigits = n->whole == QLatin1String("0") ? 0 : int(n->whole.size());
            if (wholeDigits > wholeRoom) {
                const QString limit = largest(wholeRoom, target->places, grouped_);
                fail(why, target->places == 0
                              ? QStringLiteral("%1 is too large for this field: it holds %2 digits (largest %3).")
                                    .arg(quoted(typed.trimmed()))
                                    .arg(target->digits())
                                    .arg(limit)
                              : QStringLiteral("%1 is too large for this field: it holds %2 digits, %3 of them "
                                               "after the point (largest %4).")
                                    .arg(quoted(typed.trimmed()))
                                    .arg(target->digits())
                                    .arg(target->places)
                                    .arg(limit));
                return std::nullopt;
            }
        }
        // 18 digits is the most a Decimal holds; anything longer is far
        // beyond every picture anyway.
        QString digits = n->whole + n->frac.leftJustified(places_, QLatin1Char('0'));
        if (digits.size() > 18) {
            fail(why, QStringLiteral("%1 is too large for this field.").arg(quoted(typed.trimmed())));
            return std::nullopt;
        }
        std::int64_t units = digits.toLongLong();
        value = Decimal::fromUnits(n->negative ? -units : units, places_);
    }
    if (value.isZero()) value = Decimal::fromUnits(0, places_);

    if (formatNumber(value) == hashes()) {
        // Name the limit: the most whole digits whose display still fits.
        auto fits = [&](int wholeDigits, bool negative) {
            if (wholeDigits + places_ > 18) return false;
            std::int64_t units = 1;
            for (int k = 0; k < wholeDigits + places_; ++k) units *= 10;
            units -= 1;
            return formatNumber(Decimal::fromUnits(negative ? -units : units, places_)) != hashes();
        };
        int most = 0;
        while (fits(most + 1, value.isNegative())) ++most;
        QString limit = largest(most, places_, grouped_);
        fail(why, value.isNegative()
                      ? QStringLiteral("%1 is too large for this field (smallest -%2).").arg(quoted(typed.trimmed()), limit)
                      : QStringLiteral("%1 is too large for this field (largest %2).").arg(quoted(typed.trimmed()), limit));
        return std::nullopt;
    }

    if (!target || target->kind == FieldKind::Packed) {
        if (target) value = value.rescaled(target->places);
        return FieldValue(value);
    }
    // A number kept as text: the digits as shown, without separators.
    std::string text = value.toString();
    if (zeroFill_ && !value.isNegative() && int(text.size()) < width_)
        text.insert(0, std::size_t(width_) - text.size(), '0');
    if (int(text.size()) > target->size) {
        fail(why, QStringLiteral("%1 is too large for this field.").arg(quoted(typed.trimmed())));
        return std::nullopt;
    }
    return FieldValue(text);
}

std::optional<long> Picture::readDate(const QString& typed, QString* why) const
{
    const QString s = typed.trimmed();
    if (s.isEmpty()) return 0L;
    QString form;
    switch (code_) {
    case 1: form = QStringLiteral("mm/dd/yy"); break;
    case 4: form = QStringLiteral("month day, year"); break;
    case 8: form = QStringLiteral("day month year"); break;
    case 10: form = QStringLiteral("yyyy/mm/dd"); break;
    case 12: form = QStringLiteral("yyyymmdd"); break;
    default: form = QStringLiteral("mm/dd/yyyy"); break;
    }
    auto notADate = [&]() -> std::optional<long> {
        fail(why, QStringLiteral("%1 is not a date; type it as %2.").arg(quoted(s), form));
        return std::nullopt;
    };

    int y = -1, m = -1, d = -1;
    bool twoDigitYear = false;
    bool badMonthName = false;
    QRegularExpressionMatch match;
    static const QRegularExpression kMdy(QStringLiteral("^(\\d{1,2})[/.-](\\d{1,2})[/.-](\\d{2}|\\d{4})$"));
    static const QRegularExpression kMdyDigits(QStringLiteral("^(\\d{2})(\\d{2})(\\d{2}|\\d{4})$"));
    static const QRegularExpression kYmd(QStringLiteral("^(\\d{4})[/.-](\\d{1,2})[/.-](\\d{1,2})$"));
    static const QRegularExpression kYmdDigits(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
    static const QRegularExpression kMonthFirst(
        QStringLiteral("^([A-Za-z]+)\\.?\\s+(\\d{1,2}),?\\s+(\\d{4})$"));
    static const QRegularExpression kDayFirst(
        QStringLiteral("^(\\d{1,2})[\\s-]+([A-Za-z]+)\\.?[\\s-]+(\\d{4})$"));

    auto takeMdy = [&]() {
        for (const auto* re : {&kMdy, &kMdyDigits}) {
            match = re->match(s);
            if (match.hasMatch()) {
                m = match.captured(1).toInt();
                d = match.captured(2).toInt();
                y = match.captured(3).toInt();
                twoDigitYear = match.captured(3).size() == 2;
                return true;
            }
        }
        return false;
    };
    auto takeNamed = [&](const QRegularExpression& re, int monthGroup, int dayGroup) {
        match = re.match(s);
        if (!match.hasMatch()) return false;
        m = monthFromName(match.captured(monthGroup));
        if (m == 0) {
            fail(why, QStringLiteral("%1 is not a month.").arg(quoted(match.captured(monthGroup))));
            badMonthName = true;
            return true;
        }
        d = match.captured(dayGroup).toInt();
        y = match.captured(3).toInt();
        return true;
    };

    bool read = false;
    switch (code_) {
    case 12:
        match = kYmdDigits.match(s);
        if ((read = match.hasMatch())) {
            y = match.captured(1).toInt();
            m = match.captured(2).toInt();
            d = match.captured(3).toInt();
        }
        break;
    case 10:
        match = kYmd.match(s);
        if ((read = match.hasMatch())) {
            y = match.captured(1).toInt();
            m = match.captured(2).toInt();
            d = match.captured(3).toInt();
        }
        break;
    case 4: read = takeNamed(kMonthFirst, 1, 2); break;
    case 8: read = takeNamed(kDayFirst, 2, 1); break;
    default: break;
    }
    if (badMonthName) return std::nullopt;
    // Every date picture but the storage form also takes month/day/year.
    if (!read && code_ != 12) read = takeMdy();
    if (!read) return notADate();

    if (twoDigitYear) y = expandYear(y);
    if (m < 1 || m > 12) {
        fail(why, QStringLiteral("There is no month %1.").arg(m));
        return std::nullopt;
    }
    if (y < 1 || y > 9999) {
        fail(why, QStringLiteral("The year must be from 1 to 9999."));
        return std::nullopt;
    }
    if (!dates::isValid(y, m, d)) {
        fail(why, QStringLiteral("There is no day %1 in %2 %3.").arg(d).arg(QLatin1String(kMonths[m - 1])).arg(y));
        return std::nullopt;
    }
    return dates::dayFromYmd({y, m, d});
}

std::optional<FieldValue> Picture::inputDate(const QString& typed, const FieldDef* target, QString* why) const
{
    auto day = readDate(typed, why);
    if (!day) return std::nullopt;
    if (target && target->kind == FieldKind::Packed) return FieldValue(Decimal(std::int64_t(*day)));
    if (*day == 0) return FieldValue(std::string());
    if (target && target->size < 8) {
        fail(why, QStringLiteral("A date does not fit this field."));
        return std::nullopt;
    }
    return FieldValue(dates::storedFromDay(*day));
}

std::optional<FieldValue> Picture::inputTime(const QString& typed, const FieldDef* target, QString* why) const
{
    const QString s = typed.trimmed();
    const bool packedTarget = target && target->kind == FieldKind::Packed;
    if (s.isEmpty()) return packedTarget ? FieldValue(Decimal(0)) : FieldValue(std::string());

    int h = -1, m = 0, sec = 0;
    if (code_ == 7) {
        QTime t = QLocale::system().toTime(s, QLocale::ShortFormat);
        if (t.isValid()) {
            h = t.hour();
            m = t.minute();
            sec = t.second();
        }
    }
    if (h < 0) {
        static const QRegularExpression kColon(
            QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2}))?\\s*([AaPp])?\\.?[Mm]?\\.?$"));
        static const QRegularExpression kDigits(QStringLiteral("^(\\d{1,2})(\\d{2})(\\d{2})?$"));
        QRegularExpressionMatch match = kColon.match(s);
        if (!match.hasMatch()) match = kDigits.match(s);
        if (!match.hasMatch()) {
            fail(why, QStringLiteral("%1 is not a time; type it as %2.")
                          .arg(quoted(s), code_ == 4 ? QStringLiteral("hh:mm:ss") : QStringLiteral("hh:mm")));
            return std::nullopt;
        }
        h = match.captured(1).toInt();
        m = match.captured(2).toInt();
        sec = match.captured(3).isEmpty() ? 0 : match.captured(3).toInt();
        QString half = match.lastCapturedIndex() >= 4 ? match.captured(4).toLower() : QString();
        if (!half.isEmpty()) {
            if (h < 1 || h > 12) {
                fail(why, QStringLiteral("There is no hour %1 before AM or PM.").arg(h));
                return std::nullopt;
            }
            h = h % 12 + (half == QLatin1String("p") ? 12 : 0);
        }
        if (h > 23 || m > 59 || sec > 59) {
            fail(why, QStringLiteral("%1 is not a time of day.").arg(quoted(s)));
            return std::nullopt;
        }
    }
    int total = h * 3600 + m * 60 + sec;
    if (packedTarget) return FieldValue(Decimal(std::int64_t(total)));
    bool withSeconds = target ? target->size >= 6 : code_ == 4;
    if (!withSeconds && sec != 0) {
        fail(why, QStringLiteral("Seconds cannot be kept here; type hours and minutes."));
        return std::nullopt;
    }
    char buf[8];
    if (withSeconds) std::snprintf(buf, sizeof buf, "%02d%02d%02d", h, m, sec);
    else std::snprintf(buf, sizeof buf, "%02d%02d", h, m);
    if (target && int(std::strlen(buf)) > target->size) {
        fail(why, QStringLiteral("A time does not fit this field."));
        return std::nullopt;
    }
    return FieldValue(std::string(buf));
}

std::optional<FieldValue> Picture::inputPattern(const QString& typed, const FieldDef* target, QString* why) const
{
    int positions = 0;
    bool suppresses = false;
    QString literals;
    for (QChar c : pattern_) {
        if (c == QLatin1Char('#')) ++positions;
        else if (c == QLatin1Char('<')) {
            ++positions;
            suppresses = true;
        } else if (!isDigit(c)) {
            literals += c;
        }
    }
    const bool packedTarget = target && target->kind == FieldKind::Packed;
    const QString s = typed.trimmed();
    if (s.isEmpty()) return packedTarget ? FieldValue(Decimal(0)) : FieldValue(std::string());

    // The pattern's own punctuation may be typed or left out: "123-45-6789"
    // and "123456789" are the same number.
    QString digits;
    for (QChar c : s) {
        if (isDigit(c)) digits += c;
        else if (c == QLatin1Char(' ') || literals.contains(c, Qt::CaseInsensitive)) continue;
        else {
            QString shown = pattern_;
            shown.replace(QLatin1Char('<'), QLatin1Char('#'));
            fail(why, QStringLiteral("%1: only digits can be typed here (%2).").arg(quoted(s), shown));
            return std::nullopt;
        }
    }
    bool countOk = suppresses ? (digits.size() >= 1 && digits.size() <= positions) : digits.size() == positions;
    if (!countOk) {
        fail(why, suppresses ? QStringLiteral("At most %1 digits can be typed here; %2.")
                                   .arg(positions)
                                   .arg(typedCount(digits.size()))
                             : QStringLiteral("%1 digits are needed here; %2.")
                                   .arg(positions)
                                   .arg(typedCount(digits.size())));
        return std::nullopt;
    }
    if (packedTarget) return FieldValue(Decimal(digits.toLongLong()));
    if (target && digits.size() > target->size) {
        fail(why, QStringLiteral("At most %1 digits fit this field.").arg(target->size));
        return std::nullopt;
    }
    return FieldValue(digits.toStdString());
}

} // namespace kestrel::platform
