#pragma once
// The claim form's service-line part: how stored values print in the form's
// sub-boxes, and how a claim's lines fill pages of six with their own box 28
// total. Widget-free; the header boxes come in as placed texts.

#include "reports/page.h"

#include <QString>

#include <array>
#include <vector>

namespace kestrel::reports {

inline constexpr int LinesPerForm = 6;
inline constexpr int DetailTop = 7344, DetailBandHeight = 333;
inline constexpr int MainLineOffset = 125, UnitsLineOffset = 115, ShadedLineOffset = -42;
inline constexpr int TotalX = 5385, TotalY = 9469;

// A stored yyyymmdd date as its printed parts: MM, DD and YYYY (or YY),
// each blank when the date is empty or not a date.
struct DateParts { QString month, day, year; };
DateParts dateParts(const QString& stored, bool twoDigitYear = false);

// An amount in cents with two decimals, padded with leading blanks to
// `width` positions, no thousands separator; blank when zero.
QString amountText(long long cents, int width = 9);

// Receivables lines (payments, adjustments ...) never print on a claim.
bool isTransactionCode(const QString& cpt);

// One service line as it prints in box 24 (texts as stored, trailing blanks gone).
struct ServiceLine {
    QString from, to;                     // yyyymmdd
    QString pos, emg, cpt;
    std::array<QString, 4> modifiers;
    QString description, pointers, units, epsdtShaded, epsdtUnit;
    QString renderingQualifier, renderingNpi, renderingId;  // blank: no Rendering record
    long long feeCents = 0;
};

// The pages of one claim: the header texts on every page, six lines per
// page, box 28 totalling that page's lines. A claim without lines gets one
// page with an empty box 24 and a blank total.
std::vector<Page> claimPages(const std::vector<PlacedText>& header, const std::vector<ServiceLine>& lines);

} // namespace kestrel::reports
