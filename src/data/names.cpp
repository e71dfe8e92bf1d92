#include "data/names.h"

#include <stdexcept>
#include <string>

namespace kestrel::data {

namespace detail {

// Reached only by a run-time lookup; a literal that ends here never compiles.
void noSuchFileInTheDictionary() { throw std::logic_error("no such file in the dictionary"); }
void noSuchFieldInTheDictionary() { throw std::logic_error("no such field in the dictionary"); }
void noSuchKeyInTheDictionary() { throw std::logic_error("no such key in the dictionary"); }

} // namespace detail

namespace {

QString latin(std::string_view label) { return QString::fromLatin1(label.data(), qsizetype(label.size())); }

[[noreturn]] void unknown(const char* what, std::string_view label)
{
    throw std::invalid_argument(std::string("no ") + what + " \"" + std::string(label) + "\" in the dictionary");
}

int indexOf(const FileBuffer* fb) { return int(fb - allFiles().data()); }

} // namespace

FileName FileName::named(std::string_view label)
{
    const FileBuffer* fb = fileByLabel(label);
    if (!fb) unknown("file", label);
    return FileName(indexOf(fb));
}

QString FileName::text() const { return latin(label()); }

FieldName FieldName::named(std::string_view label)
{
    const auto ref = findField(label);
    if (!ref) unknown("field", label);
    FieldName f;
    f.file_ = std::int8_t(indexOf(ref->file));
    f.field_ = std::int16_t(ref->field - ref->file->def->fields.data());
    return f;
}

QString FieldName::text() const { return latin(label()); }

KeyName KeyName::named(std::string_view label)
{
    const auto colon = label.find(':');
    const FileBuffer* fb = colon == std::string_view::npos ? nullptr : fileByPrefix(label.substr(0, colon));
    const int k = fb ? fb->def->keyIndex(label) : -1;
    if (k < 0) unknown("key", label);
    KeyName n;
    n.file_ = std::int8_t(indexOf(fb));
    n.key_ = std::int8_t(k);
    return n;
}

QString KeyName::text() const { return latin(label()); }

} // namespace kestrel::data
