#pragma once
// Description of a record file: its fields with their byte layout and its
// keys. The data dictionary (data/records.h) defines one FileDef per file; the
// driver, the SQLite schema, CSV dump/load and the generic engines all work
// from these descriptions and nothing else.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace kestrel::platform {

enum class FieldKind : std::uint8_t {
    Text,    // fixed width, space padded, Windows-1252
    Date,    // 8 characters yyyymmdd, or 8 blanks
    Digits,  // fixed count of digit characters, or blanks; compares as text
    Packed,  // signed BCD of `size` bytes, `places` decimals
};

struct FieldDef {
    std::string_view label;  // "PAT:LNAME"
    FieldKind kind = FieldKind::Text;
    int size = 0;            // bytes in the record
    int places = 0;          // decimals, packed fields only
    int offset = 0;          // byte offset in the record

    // "LNAME": the label without its prefix.
    constexpr std::string_view name() const {
        auto colon = label.find(':');
        return colon == std::string_view::npos ? label : label.substr(colon + 1);
    }
    // Decimal digits a packed field holds (2n-1), characters otherwise.
    constexpr int digits() const { return kind == FieldKind::Packed ? 2 * size - 1 : size; }
    constexpr bool isText() const { return kind != FieldKind::Packed; }
};

enum KeyFlag : unsigned {
    Unique = 1u << 0,         // otherwise duplicates allowed
    NoCase = 1u << 1,         // text components compare with letter case ignored
    ExcludesEmpty = 1u << 2,  // records whose components are all empty are not listed
    Primary = 1u << 3,
};

struct KeyDef {
    std::string_view label;                    // "PAT:PATKEY"
    std::array<std::string_view, 4> parts{};   // component field labels, binding order
    unsigned flags = 0;

    constexpr int count() const {
        int n = 0;
        while (n < 4 && !parts[n].empty()) ++n;
        return n;
    }
    constexpr bool unique() const { return flags & Unique; }
    constexpr bool caseInsensitive() const { return flags & NoCase; }
    constexpr bool excludesEmpty() const { return flags & ExcludesEmpty; }
    constexpr bool primary() const { return flags & Primary; }
};

struct FileDef {
    std::string_view label;     // "Patient"
    std::string_view prefix;    // "PAT"
    std::string_view fileName;  // "Patient.db"
    int recordLength = 0;
    std::span<const FieldDef> fields;
    std::span<const KeyDef> keys;

    constexpr int fieldIndex(std::string_view fieldLabel) const {
        for (std::size_t i = 0; i < fields.size(); ++i)
            if (equalsNoCase(fields[i].label, fieldLabel)) return int(i);
        return -1;
    }
    constexpr const FieldDef* field(std::string_view fieldLabel) const {
        int i = fieldIndex(fieldLabel);
        return i < 0 ? nullptr : &fields[std::size_t(i)];
    }
    constexpr int keyIndex(std::string_view keyLabel) const {
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (equalsNoCase(keys[i].label, keyLabel)) return int(i);
        return -1;
    }
    constexpr const KeyDef* key(std::string_view keyLabel) const {
        int i = keyIndex(keyLabel);
        return i < 0 ? nullptr : &keys[std::size_t(i)];
    }

    static constexpr bool equalsNoCase(std::string_view a, std::string_view b) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            char x = a[i], y = b[i];
            if (x >= 'a' && x <= 'z') x = char(x - 32);
            if (y >= 'a' && y <= 'z') y = char(y - 32);
            if (x != y) return false;
        }
        return true;
    }
};

// Checks that the fields are laid end to end from offset 0 and fill the record
// exactly, and that every key component names a field. Used in static_asserts.
constexpr bool layoutIsConsistent(const FileDef& f) {
    int at = 0;
    for (const auto& fd : f.fields) {
        if (fd.offset != at || fd.size <= 0) return false;
        if (fd.kind == FieldKind::Date && fd.size != 8) return false;
        at += fd.size;
    }
    if (at != f.recordLength) return false;
    for (const auto& k : f.keys) {
        if (k.count() == 0) return false;
        for (int i = 0; i < k.count(); ++i)
            if (f.fieldIndex(k.parts[std::size_t(i)]) < 0) return false;
    }
    return true;
}

} // namespace kestrel::platform
