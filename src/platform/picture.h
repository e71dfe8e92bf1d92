#pragma once
// Display pictures: how a field is shown in an entry field, a list column or
// a report, and how text typed into an entry field becomes a field value.
//
// A picture is written with a leading '@' (the '@' may be left out):
//   @sN            text of N characters
//   @nW  @n0W      whole number in W positions; with 0, leading zeros
//   @n-W.P         signed number with thousands separators and P decimals in
//                  W positions, one of them kept for the sign (money: @n-14.2
//                  shows -99,999,999.99 at most); a trailing B shows zero blank
//   @dC / @DC      date, C one of 1 (mm/dd/yy), 2 (mm/dd/yyyy),
//                  4 (January 5, 2024), 8 (5 Jan 2024), 10 (yyyy/mm/dd),
//                  12 (yyyymmdd); a 0 before C and a trailing B are allowed
//   @T2 @T4 @T7    time hhmm, hh:mm:ss, the system's short time
//   @p...p         pattern: '#' a digit, '<' a digit shown only when it is
//                  not a leading zero, anything else printed as it stands
//                  (@P###-##-####P, @p(###)p, @pPage <<<#p)
// Letter case of the picture letters does not matter.
//
// Values are FieldValues (see fieldvalue.h): text as Windows-1252 bytes, dates
// as stored yyyymmdd text (or a Decimal day number), times as "hhmm"/"hhmmss"
// text (or a Decimal count of seconds after midnight), numbers as Decimals.
//
// A value that does not fit the picture is never shown as a different value:
// a number too wide for its positions shows as '#' filling the width.

#include "platform/fieldvalue.h"
#include "platform/recorddef.h"

#include <QString>
#include <QStringView>
#include <Qt>

#include <optional>
#include <string>
#include <string_view>

namespace kestrel::platform {

class Picture {
public:
    enum class Kind { Text, Number, Date, Time, Pattern };

    // Reads a picture. A malformed picture gives nullopt and a reason in *why.
    static std::optional<Picture> parse(std::string_view text, QString* why = nullptr);
    static std::optional<Picture> parse(QStringView text, QString* why = nullptr);
    // For pictures written in the program's own source: a malformed one is a
    // programming error and throws std::invalid_argument.
    static Picture from(std::string_view text);

    Kind kind() const { return kind_; }
    // The picture as written, with its leading '@' ("@n-14.2").
    const QString& text() const { return text_; }
    // Characters the displayed value occupies at most.
    int width() const;
    // How a list column or report shows it when nothing else says: numbers
    // to the right, everything else to the left.
    Qt::Alignment alignment() const;

    // Display text, without padding ("-1,234.50", "123-45-6789", "01/05/2024").
    QString format(const FieldValue& value) const;
    // Display text padded with blanks to width() characters, on the side the
    // alignment calls for: for reports and fixed-pitch columns.
    QString formatFixed(const FieldValue& value) const;

    // The value typed text stands for, shaped for the target field (nullptr:
    // no field; text pictures then give text, numbers a Decimal, dates and
    // patterns their stored text). Text the picture or the field cannot take
    // gives nullopt and a reason in *why, fit to show the user; nothing is
    // ever rounded, cut or guessed into a different value.
    std::optional<FieldValue> input(const QString& typed, const FieldDef* target = nullptr,
                                    QString* why = nullptr) const;

    // Number pictures: positions, decimals, signed, leading zeros, blank zero.
    int places() const { return places_; }
    bool isSigned() const { return signed_; }

private:
    Picture() = default;
    static std::optional<Picture> parseImpl(std::string_view text, QString* why);

    QString formatText(const FieldValue& value) const;
    QString formatNumber(const FieldValue& value) const;
    QString formatDate(const FieldValue& value) const;
    QString formatTime(const FieldValue& value) const;
    QString formatPattern(const FieldValue& value) const;
    QString formatDay(long day) const;
    QString hashes() const { return QString(width(), QLatin1Char('#')); }

    std::optional<FieldValue> inputText(const QString& typed, const FieldDef* target, QString* why) const;
    std::optional<FieldValue> inputNumber(const QString& typed, const FieldDef* target, QString* why) const;
    std::optional<FieldValue> inputDate(const QString& typed, const FieldDef* target, QString* why) const;
    std::optional<FieldValue> inputTime(const QString& typed, const FieldDef* target, QString* why) const;
    std::optional<FieldValue> inputPattern(const QString& typed, const FieldDef* target, QString* why) const;
    std::optional<long> readDate(const QString& typed, QString* why) const;

    Kind kind_ = Kind::Text;
    QString text_;
    int width_ = 0;        // text: characters; number: positions
    int places_ = 0;       // number: decimals
    bool signed_ = false;  // number: may be negative, shows the sign
    bool zeroFill_ = false;
    bool grouped_ = false; // number: thousands separators
    bool blankZero_ = false;
    int code_ = 0;         // date and time: the format number
    QString pattern_;      // pattern: the positions and literals
};

} // namespace kestrel::platform
