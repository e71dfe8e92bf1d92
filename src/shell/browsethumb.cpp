#include "shell/browsethumb.h"

#include "platform/cp1252.h"
#include "platform/dates.h"

#include <algorithm>

namespace kestrel::shell {

using platform::Decimal;
using platform::FieldValue;

namespace {

constexpr int kDigits = 4;  // characters interpolated after the common prefix

// Digit value of a character: its 1-based place in the alphabet, 0 outside.
std::array<int, 256> buildDigitValues(const std::string& alphabet)
{
    std::array<int, 256> v{};
    for (std::size_t i = 0; i < alphabet.size(); ++i)
        v[static_cast<unsigned char>(alphabet[i])] = int(i) + 1;
    return v;
}

const std::array<int, 256>& digitValues()
{
    static const auto values = buildDigitValues(ThumbTable::alphabet());
    return values;
}

// Four characters (missing ones count 0) as a number in base A+1.
long long numberOf(std::string_view four, int base)
{
    long long n = 0;
    for (int i = 0; i < kDigits; ++i) {
        int d = i < int(four.size()) ? digitValues()[static_cast<unsigned char>(four[std::size_t(i)])] : 0;
        n = n * base + d;
    }
    return n;
}

std::string digitsOf(long long n, int base)
{
    const std::string& alpha = ThumbTable::alphabet();
    std::string out(kDigits, ' ');
    for (int i = kDigits - 1; i >= 0; --i) {
        int d = int(n % base);
        n /= base;
        // Digit 0 is an absent character; a blank sorts below every
        // character a key can hold, as the blank padding of a shorter key.
        out[std::size_t(i)] = d == 0 ? ' ' : alpha[std::size_t(d - 1)];
    }
    return out;
}

} // namespace

const std::string& ThumbTable::alphabet()
{
    // The digits, then the upper-case letters: the characters some other
    // character upper-cases to; that leaves out letters without case (ß, ª,
    // º, µ, ƒ). In code order, so that the entries rise with the keys.
    static const std::string letters = [] {
        std::array<bool, 256> upper{};
        for (char d = '0'; d <= '9'; ++d) upper[static_cast<unsigned char>(d)] = true;
        for (int c = 1; c < 256; ++c) {
            char u = platform::cp1252::toUpper(char(c));
            if (u != char(c) && platform::cp1252::isAlpha(u)) upper[static_cast<unsigned char>(u)] = true;
        }
        std::string s;
        for (int c = 1; c < 256; ++c)
            if (upper[std::size_t(c)]) s.push_back(char(c));
        return s;
    }();
    return letters;
}

int compareBlankPadded(std::string_view a, std::string_view b)
{
    std::size_t n = std::max(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(i < a.size() ? a[i] : ' ');
        auto y = static_cast<unsigned char>(i < b.size() ? b[i] : ' ');
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

ThumbTable::ThumbTable()
{
    entries_.fill(FieldValue(std::string()));
}

ThumbTable ThumbTable::fromText(std::string_view lowKey, std::string_view highKey, int width)
{
    const int base = int(alphabet().size()) + 1;
    const std::size_t L = std::size_t(std::max(width, 0));

    // Upper-cased as a whole, not only the four interpolated characters: the
    // entries are compared with upper-cased keys, so a prefix left in lower
    // case would sort every key of the order above the whole table.
    std::string low = platform::cp1252::toUpper(lowKey.substr(0, std::min(L, lowKey.size())));
    std::string high = platform::cp1252::toUpper(highKey.substr(0, std::min(L, highKey.size())));
    std::size_t highLen = high.size();
    while (highLen > 0 && high[highLen - 1] == ' ') --highLen;
    if (highLen < L) {
        // A short last key is stretched to just past the field with the last
        // letter, so the table reaches beyond every key that begins with it.
        high.resize(highLen);
        high.append(L + 1 - highLen, alphabet().back());
    }

    std::size_t prefix = 0;
    while (prefix < low.size() && prefix < high.size() && low[prefix] == high[prefix]) ++prefix;
    std::string head = low.substr(0, prefix);
    std::string lowFour = low.substr(prefix, kDigits);
    std::string highFour = high.substr(prefix, kDigits);

    long long lowN = numberOf(lowFour, base);
    long long highN = numberOf(highFour, base);
    long long step = (highN - lowN) / (kEntries - 1);  // truncated to a whole number
    long long top = 1;
    for (int i = 0; i < kDigits; ++i) top *= base;

    ThumbTable t;
    t.entries_[0] = head + lowFour;
    t.entries_[kEntries - 1] = head + highFour;
    for (int k = 1; k < kEntries - 1; ++k) {
        long long n = std::clamp(lowN + step * k, 0LL, top - 1);
        t.entries_[std::size_t(k)] = head + digitsOf(n, base);
    }
    return t;
}

ThumbTable ThumbTable::fromNumbers(const Decimal& low, const Decimal& high, int places)
{
    ThumbTable t;
    const std::int64_t lo = low.rescaled(places).units();
    const std::int64_t hi = high.rescaled(places).units();
    const __int128 span = __int128(hi) - __int128(lo);
    for (int k = 0; k < kEntries; ++k) {
        std::int64_t units = lo + std::int64_t(span * k / (kEntries - 1));
        t.entries_[std::size_t(k)] = Decimal::fromUnits(units, places);
    }
    t.entries_[0] = Decimal::fromUnits(lo, places);
    t.entries_[kEntries - 1] = Decimal::fromUnits(hi, places);
    return t;
}

ThumbTable ThumbTable::fromDates(std::string_view low, std::string_view high)
{
    const auto lo = platform::dates::dayFromStored(low);
    const auto hi = platform::dates::dayFromStored(high);
    if (!lo || !hi || *lo <= 0 || *hi <= 0) return fromText(low, high, int(std::max(low.size(), high.size())));
    ThumbTable t;
    for (int k = 0; k < kEntries; ++k)
        t.entries_[std::size_t(k)] = platform::dates::storedFromDay(*lo + (*hi - *lo) * k / (kEntries - 1));
    return t;
}

ThumbTable ThumbTable::build(const FieldValue& low, const FieldValue& high, int width, int places)
{
    if (auto* l = std::get_if<Decimal>(&low))
        if (auto* h = std::get_if<Decimal>(&high)) return fromNumbers(*l, *h, places);
    auto* l = std::get_if<std::string>(&low);
    auto* h = std::get_if<std::string>(&high);
    return fromText(l ? *l : std::string(), h ? *h : std::string(), width);
}

int ThumbTable::positionFor(const FieldValue& key) const
{
    std::string upperKey;
    const Decimal* number = std::get_if<Decimal>(&key);
    if (!number) upperKey = platform::cp1252::toUpper(std::get<std::string>(key));
    for (int i = 1; i <= kEntries; ++i) {
        const FieldValue& e = entry(i);
        bool atOrAbove = false;
        if (number) {
            if (auto* en = std::get_if<Decimal>(&e)) atOrAbove = *en >= *number;
        } else if (auto* es = std::get_if<std::string>(&e)) {
            atOrAbove = compareBlankPadded(*es, upperKey) >= 0;
        }
        if (atOrAbove) return i == 1 ? 0 : i;
    }
    return kEntries;
}

} // namespace kestrel::shell
