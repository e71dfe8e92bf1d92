#include "platform/fieldvalue.h"

#include "platform/dates.h"
#include "platform/fields.h"

#include <cstring>

namespace kestrel::platform {

namespace {
std::string quoted(std::string_view text) { return '"' + std::string(text) + '"'; }
} // namespace

FieldValue readField(const FieldDef& f, const unsigned char* record)
{
    const unsigned char* p = record + f.offset;
    if (f.kind == FieldKind::Packed) return packed::decode(p, f.size, f.places);
    std::size_t n = std::size_t(f.size);
    while (n > 0 && p[n - 1] == ' ') --n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

bool writeField(const FieldDef& f, unsigned char* record, const FieldValue& value, std::string* error)
{
    unsigned char* p = record + f.offset;
    if (f.kind == FieldKind::Packed) {
        const Decimal* d = std::get_if<Decimal>(&value);
        if (!d) {
            if (error) *error = "a number is expected";
            return false;
        }
        return packed::encode(*d, p, f.size, f.places, error);
    }
    const std::string* s = std::get_if<std::string>(&value);
    if (!s) {
        if (error) *error = "a text is expected";
        return false;
    }
    std::string_view text = *s;
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (f.kind == FieldKind::Date) {
        if (!text.empty() && (text.size() != 8 || !dates::dayFromStored(text) || *dates::dayFromStored(text) == 0)) {
            if (error) *error = quoted(text) + " is not a date in the form yyyymmdd";
            return false;
        }
    } else if (f.kind == FieldKind::Digits) {
        bool ok = text.size() <= std::size_t(f.size);
        for (char c : text) ok = ok && c >= '0' && c <= '9';
        if (!ok) {
            if (error)
                *error = quoted(text) + " is not " + std::to_string(f.size) + " digits";
            return false;
        }
    }
    std::size_t n = std::min(text.size(), std::size_t(f.size));
    std::memcpy(p, text.data(), n);
    std::memset(p + n, ' ', std::size_t(f.size) - n);
    return true;
}

void clearField(const FieldDef& f, unsigned char* record)
{
    if (f.kind == FieldKind::Packed) packed::encode(Decimal(0), record + f.offset, f.size, f.places);
    else std::memset(record + f.offset, ' ', std::size_t(f.size));
}

void clearRecord(const FileDef& file, unsigned char* record)
{
    for (const auto& f : file.fields) clearField(f, record);
}

bool fieldIsEmpty(const FieldDef& f, const unsigned char* record)
{
    if (f.kind == FieldKind::Packed) return packed::decode(record + f.offset, f.size, f.places).isZero();
    for (int i = 0; i < f.size; ++i)
        if (record[f.offset + i] != ' ') return false;
    return true;
}

} // namespace kestrel::platform
