#include "platform/fields.h"

namespace kestrel::platform::packed {

Decimal decode(const unsigned char* src, int bytes, int places)
{
    // The magnitude in unsigned arithmetic: the most negative number has no
    // positive counterpart, yet encode() writes it.
    std::uint64_t v = 0;
    const int digits = 2 * bytes - 1;
    for (int i = 0; i < digits; ++i) {
        unsigned char b = src[i / 2];
        int nib = (i % 2 == 0) ? (b >> 4) : (b & 0x0F);
        if (nib > 9) nib = 0; // a damaged nibble reads as 0 rather than as garbage
        // 19 digits can exceed 64 bits; such values are never written.
        if (__builtin_mul_overflow(v, 10u, &v) || __builtin_add_overflow(v, unsigned(nib), &v))
            return Decimal::fromUnits(0, places);
    }
    const bool negative = (src[bytes - 1] & 0x0F) == 0x0D;
    const std::uint64_t most = std::uint64_t(INT64_MAX) + (negative ? 1u : 0u);
    if (v > most) return Decimal::fromUnits(0, places);
    return Decimal::fromUnits(negative ? std::int64_t(0u - v) : std::int64_t(v), places);
}

bool encode(const Decimal& value, unsigned char* dst, int bytes, int places, std::string* error)
{
    const int digits = 2 * bytes - 1;
    Decimal v = value;
    try {
        if (value.places() > places) {
            Decimal r = value.rescaled(places);
            if (r != value) {
                if (error)
                    *error = "the value " + value.toString() + " has more than " + std::to_string(places) +
                             " decimal places";
                return false;
            }
        }
        v = value.rescaled(places);
    } catch (const std::overflow_error&) {
        if (error) *error = "the value " + value.toString() + " does not fit the field";
        return false;
    }
    std::int64_t u = v.units();
    bool negative = u < 0;
    std::uint64_t a = negative ? std::uint64_t(0) - std::uint64_t(u) : std::uint64_t(u);
    // Check the digit count before writing anything.
    std::uint64_t limit = 1;
    bool unlimited = false;
    for (int i = 0; i < digits; ++i) {
        if (limit > UINT64_MAX / 10) {
            unlimited = true;
            break;
        }
        limit *= 10;
    }
    if (!unlimited && a >= limit) {
        if (error) {
            Decimal largest = Decimal::fromUnits(std::int64_t(limit - 1), places);
            *error = "the value " + value.toString() + " is larger than the field holds (" +
                     largest.toString() + ")";
        }
        return false;
    }
    unsigned char out[16] = {};
    for (int i = digits - 1; i >= 0; --i) {
        int nib = int(a % 10);
        a /= 10;
        if (i % 2 == 0) out[i / 2] |= (unsigned char)(nib << 4);
        else out[i / 2] |= (unsigned char)nib;
    }
    out[bytes - 1] |= (negative && v.units() != 0) ? 0x0D : 0x0C;
    for (int i = 0; i < bytes; ++i) dst[i] = out[i];
    return true;
}

} // namespace kestrel::platform::packed
