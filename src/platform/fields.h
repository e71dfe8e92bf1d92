#pragma once
// Field types of the record buffers. Each is a plain byte array of the
// field's width (alignment 1), so a record struct made of them has exactly
// the layout of the record: no padding, offsets as the dictionary states.

#include "platform/cp1252.h"
#include "platform/dates.h"
#include "platform/decimal.h"

#include <cstring>
#include <string>
#include <string_view>

#include <QString>

namespace kestrel::platform {

// Signed BCD, `bytes` bytes: 2*bytes-1 digit nibbles, most significant first,
// then a sign nibble (0xD negative; 0xC, 0xF or 0x0 positive).
namespace packed {
Decimal decode(const unsigned char* src, int bytes, int places);
// Refuses (returns false, explains in *error) a value whose whole part does
// not fit the field or that has more significant decimals than `places`.
bool encode(const Decimal& value, unsigned char* dst, int bytes, int places,
            std::string* error = nullptr);
} // namespace packed

// Text of N characters, space padded; an assignment longer than N is cut.
template <int N>
struct Text {
    static constexpr int width = N;
    char raw[N];

    void clear() { std::memset(raw, ' ', N); }
    // Raw bytes (Windows-1252), padded.
    std::string_view view() const { return {raw, std::size_t(N)}; }
    // Without trailing blanks.
    std::string_view trimmed() const {
        std::size_t n = N;
        while (n > 0 && raw[n - 1] == ' ') --n;
        return {raw, n};
    }
    bool isBlank() const { return trimmed().empty(); }
    // Windows-1252 bytes, cut to N, padded with blanks.
    void set(std::string_view bytes) {
        std::size_t n = bytes.size() < std::size_t(N) ? bytes.size() : std::size_t(N);
        std::memcpy(raw, bytes.data(), n);
        std::memset(raw + n, ' ', std::size_t(N) - n);
    }
    QString toQString() const { return cp1252::toQString(trimmed()); }
    // False (nothing changed) when the text has a character Windows-1252
    // cannot hold; *bad receives it.
    bool setQString(const QString& text, QString* bad = nullptr) {
        auto bytes = cp1252::fromQString(text, bad);
        if (!bytes) return false;
        set(*bytes);
        return true;
    }
    bool operator==(std::string_view s) const { return trimmed() == s; }
};

// Date stored as yyyymmdd text.
struct DateText : Text<8> {
    // Day number, 0 when blank; a malformed stored value also gives 0.
    long day() const { return dates::dayFromStored(view()).value_or(0); }
    void setDay(long d) { set(dates::storedFromDay(d)); }
};

// Digit text of N characters (e.g. a social security number).
template <int N>
struct Digits : Text<N> {};

template <int Bytes, int Places>
struct Packed {
    static constexpr int bytes = Bytes;
    static constexpr int places = Places;
    unsigned char raw[Bytes];

    void clear() { packed::encode(Decimal(0), raw, Bytes, Places); }
    Decimal value() const { return packed::decode(raw, Bytes, Places); }
    // Whole-number fields (record numbers).
    long long asInt() const { return value().truncated(); }
    bool set(const Decimal& v, std::string* error = nullptr) {
        return packed::encode(v, raw, Bytes, Places, error);
    }
};

} // namespace kestrel::platform
