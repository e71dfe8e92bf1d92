// Field values as text at the program's edges: CSV, messages, imports.
#include "data/records.h"

#include "platform/cp1252.h"
#include "platform/dates.h"
#include "platform/decimal.h"

#include <QString>

namespace kestrel::data {

using platform::FieldDef;
using platform::FieldKind;

namespace {

QString fieldName(const FieldDef& f) { return QString::fromLatin1(f.label.data(), qsizetype(f.label.size())); }

QString refusal(const FieldDef& f, const QString& reason) { return fieldName(f) + QStringLiteral(": ") + reason; }

bool allDigits(const QString& s)
{
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

QString trimRight(const QString& s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' ')) --n;
    return s.left(n);
}

} // namespace

namespace {

// '"Ω" (U+03A9)': the character and its code point, so that even an
// invisible or look-alike character can be identified.
QString characterName(const QString& character)
{
    auto ucs = character.toUcs4();
    QString code = ucs.isEmpty() ? QString()
                                 : QStringLiteral(" (U+%1)").arg(QString::number(ucs.first(), 16).toUpper().rightJustified(4, QLatin1Char('0')));
    return quoted(character) + code;
}

} // namespace

QString quoted(const QString& value)
{
    if (value.size() <= kQuotedLength) return QLatin1Char('"') + value + QLatin1Char('"');
    return QLatin1Char('"') + value.left(kQuotedLength) + QStringLiteral("\u2026\"");
}

QString unstorableCharacterMessage(const QString& character, std::string_view fieldLabel)
{
    return QStringLiteral("The character %1 cannot be stored in %2.")
        .arg(characterName(character), QString::fromLatin1(fieldLabel.data(), qsizetype(fieldLabel.size())));
}

QString fieldText(const FieldDef& f, const unsigned char* record)
{
    auto value = platform::readField(f, record);
    if (const auto* d = std::get_if<platform::Decimal>(&value)) return QString::fromStdString(d->toString());
    const std::string& bytes = std::get<std::string>(value);
    if (f.kind == FieldKind::Date && !bytes.empty()) {
        // A stored value that is no date is shown as it is, so nothing is hidden.
        if (auto day = platform::dates::dayFromStored(bytes); day && *day > 0)
            return QString::fromStdString(platform::dates::mdyFromDay(*day));
    }
    return platform::cp1252::toQString(bytes);
}

bool setFieldText(const FieldDef& f, unsigned char* record, const QString& text, QString* error, Overlong overlong)
{
    auto fail = [&](const QString& reason) {
        if (error) *error = refusal(f, reason);
        return false;
    };
    std::string why;
    switch (f.kind) {
    case FieldKind::Packed: {
        QString t = text.trimmed();
        platform::Decimal value(0);
        if (!t.isEmpty()) {
            auto d = platform::Decimal::parse(t.toStdString());
            if (!d) return fail(quoted(t) + QStringLiteral(" is not a number"));
            value = *d;
        }
        if (!platform::writeField(f, record, value, &why)) return fail(QString::fromStdString(why));
        return true;
    }
    case FieldKind::Date: {
        QString t = text.trimmed();
        std::optional<long> day = 0L;
        if (t.contains(QLatin1Char('/'))) day = platform::dates::dayFromMdy(t.toStdString());
        else if (!t.isEmpty()) day = t.size() == 8 && allDigits(t) ? platform::dates::dayFromStored(t.toStdString())
                                                                    : std::nullopt;
        if (!day) return fail(quoted(t) + QStringLiteral(" is not a date (mm/dd/yyyy or yyyymmdd)"));
        std::string stored = platform::dates::storedFromDay(*day);
        if (!platform::writeField(f, record, stored, &why)) return fail(QString::fromStdString(why));
        return true;
    }
    case FieldKind::Digits: {
        // Exactly the pattern's digits or none: a shorter number (a leading
        // zero lost on the way) would be shown and printed as another one.
        QString t = text.trimmed();
        if (!allDigits(t) || (!t.isEmpty() && t.size() != f.size))
            return fail(quoted(t) + QStringLiteral(" is not %1 digits").arg(f.size));
        if (!platform::writeField(f, record, t.toStdString(), &why)) return fail(QString::fromStdString(why));
        return true;
    }
    case FieldKind::Text:
        break;
    }
    // Trailing blanks are the field's own padding; leading ones are kept.
    QString t = trimRight(text);
    QString bad;
    auto bytes = platform::cp1252::fromQString(t, &bad);
    if (!bytes)
        return fail(QStringLiteral("the character %1 cannot be stored (it is not in Windows-1252)")
                        .arg(characterName(bad)));
    if (overlong == Overlong::Refuse && bytes->size() > std::size_t(f.size))
        return fail(quoted(t) + QStringLiteral(" is longer than %1 characters").arg(f.size));
    platform::writeField(f, record, *bytes);
    return true;
}

} // namespace kestrel::data
