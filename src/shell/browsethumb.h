#pragma once
// The thumb table of a browse: 100 key values that stand for the positions
// of the proportional scroll thumb in one sort order. It is built from the
// first and last key values of the order alone (two reads), so the thumb
// costs nothing per record however large the file:
//
//   - a numeric key interpolates linearly, entry k = low + k*(high-low)/99,
//     kept in the key field's own type (its number of places);
//   - a text key interpolates the four characters after the prefix that the
//     first and last keys share, read as a number in base A+1 over an
//     alphabet of A characters: the digits and the upper-case letters of the
//     character set (any character outside it counts 0, and an interpolated
//     digit 0 is written as a blank: it stands for an absent character).
//     The digits belong to it because codes are mostly digits (99213,
//     00100): without them every such key would count 0, and the thumb of a
//     code order would sit at one end whatever the record.
//
// Entries are numbered 1..100 here (entry 1 is the low value, entry 100 the
// high value), as the thumb positions that map to them.

#include "platform/decimal.h"
#include "platform/fieldvalue.h"

#include <array>
#include <string>
#include <string_view>

namespace kestrel::shell {

class ThumbTable {
public:
    static constexpr int kEntries = 100;

    // A table that has never been built: 100 blank texts, as a cleared table
    // holds. A position computed against it is the bottom unless the key is
    // blank.
    ThumbTable();

    // Text key of `width` characters (the key field's width). `low` and
    // `high` are the key field values of the first and last records.
    static ThumbTable fromText(std::string_view low, std::string_view high, int width);
    // Numeric key with `places` decimals.
    static ThumbTable fromNumbers(const platform::Decimal& low, const platform::Decimal& high, int places);
    // Date key (yyyymmdd texts): 100 dates spread evenly, by day, from the
    // first to the last, as yyyymmdd texts. A blank or malformed date at
    // either end falls back to the text interpolation.
    static ThumbTable fromDates(std::string_view low, std::string_view high);
    // Either of the first two, by the kind of the values.
    static ThumbTable build(const platform::FieldValue& low, const platform::FieldValue& high, int width,
                           int places);

    // Entry i, 1..100.
    const platform::FieldValue& entry(int i) const { return entries_[std::size_t(i - 1)]; }

    // The thumb position (0..100) for a key value: the first entry i that is
    // greater than or equal to the key (texts upper-cased, compared as if
    // padded with blanks); i = 1 gives 0, and a key above every entry gives
    // 100.
    int positionFor(const platform::FieldValue& key) const;

    // The alphabet of the text interpolation, in code order (Windows-1252).
    static const std::string& alphabet();

private:
    std::array<platform::FieldValue, kEntries> entries_;
};

// Text comparison used by the thumb: byte by byte (unsigned), the shorter
// text padded with blanks. Negative, zero or positive.
int compareBlankPadded(std::string_view a, std::string_view b);

} // namespace kestrel::shell
