#pragma once
// Names of the data dictionary that the compiler checks. A declaration names
// a file, a field or a key by its label ("CPT48", "CPT:CPTCODE",
// "PAT:LNAMEKEY"); written as a literal, the label is looked up in the
// dictionary while compiling, so a misspelt one fails the build, and what is
// kept is where it was found, not the text. Letter case is ignored, as the
// run-time lookups (fileByLabel, findField) ignore it.
//
// A label put together while the program runs (the two insured files share
// one declaration) goes through named(), which throws std::invalid_argument
// for a label the dictionary lacks: such a definition fails the first time
// it is built, which the test that builds every definition does.
//
// An empty name (default constructed) names nothing: a computed display, a
// browse in file order.

#include "data/records.h"

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrel::data {

namespace detail {

// Not constexpr: reaching one while compiling a literal name stops the build,
// and the compiler's message names the function.
void noSuchFileInTheDictionary();
void noSuchFieldInTheDictionary();
void noSuchKeyInTheDictionary();

constexpr int fileIndexByLabel(std::string_view label)
{
    for (std::size_t i = 0; i < std::size(file::kAll); ++i)
        if (platform::FileDef::equalsNoCase(file::kAll[i]->label, label)) return int(i);
    return -1;
}

// The file whose prefix begins the label ("PAT" of "PAT:LNAME").
constexpr int fileIndexOfLabel(std::string_view label)
{
    const auto colon = label.find(':');
    if (colon == std::string_view::npos) return -1;
    for (std::size_t i = 0; i < std::size(file::kAll); ++i)
        if (platform::FileDef::equalsNoCase(file::kAll[i]->prefix, label.substr(0, colon))) return int(i);
    return -1;
}

} // namespace detail

// A file of the dictionary: "Patient", "CPT48".
class FileName {
public:
    constexpr FileName() = default;
    consteval FileName(const char* label) : file_(std::int8_t(detail::fileIndexByLabel(label)))
    {
        if (file_ < 0) detail::noSuchFileInTheDictionary();
    }
    static FileName named(std::string_view label);

    constexpr bool isEmpty() const { return file_ < 0; }
    constexpr const platform::FileDef& def() const { return *file::kAll[std::size_t(file_)]; }
    const FileBuffer& buffer() const { return allFiles()[std::size_t(file_)]; }
    constexpr std::string_view label() const { return isEmpty() ? std::string_view() : def().label; }
    QString text() const;
    std::string toStdString() const { return std::string(label()); }

    friend constexpr bool operator==(FileName, FileName) = default;

private:
    friend class FieldName;
    friend class KeyName;
    explicit constexpr FileName(int index) : file_(std::int8_t(index)) {}

    std::int8_t file_ = -1;
};

// A field of any file's buffer: "PAT:LNAME".
class FieldName {
public:
    constexpr FieldName() = default;
    consteval FieldName(const char* label)
        : file_(std::int8_t(detail::fileIndexOfLabel(label))),
          field_(std::int16_t(file_ < 0 ? -1 : file::kAll[std::size_t(file_)]->fieldIndex(label)))
    {
        if (field_ < 0) detail::noSuchFieldInTheDictionary();
    }
    static FieldName named(std::string_view label);

    constexpr bool isEmpty() const { return field_ < 0; }
    constexpr FileName file() const { return isEmpty() ? FileName() : FileName(file_); }
    constexpr const platform::FieldDef& def() const { return file::kAll[std::size_t(file_)]->fields[std::size_t(field_)]; }
    // The field with its file's buffer.
    FieldRef ref() const { return {&allFiles()[std::size_t(file_)], &def()}; }
    constexpr std::string_view label() const { return isEmpty() ? std::string_view() : def().label; }
    QString text() const;
    std::string toStdString() const { return std::string(label()); }

    friend constexpr bool operator==(FieldName, FieldName) = default;

private:
    std::int8_t file_ = -1;
    std::int16_t field_ = -1;
};

// A key of a file: "PAT:LNAMEKEY".
class KeyName {
public:
    constexpr KeyName() = default;
    consteval KeyName(const char* label)
        : file_(std::int8_t(detail::fileIndexOfLabel(label))),
          key_(std::int8_t(file_ < 0 ? -1 : file::kAll[std::size_t(file_)]->keyIndex(label)))
    {
        if (key_ < 0) detail::noSuchKeyInTheDictionary();
    }
    static KeyName named(std::string_view label);

    constexpr bool isEmpty() const { return key_ < 0; }
    constexpr FileName file() const { return isEmpty() ? FileName() : FileName(file_); }
    // Its place among its file's keys, as the driver counts them.
    constexpr int index() const { return key_; }
    constexpr const platform::KeyDef& def() const { return file::kAll[std::size_t(file_)]->keys[std::size_t(key_)]; }
    constexpr std::string_view label() const { return isEmpty() ? std::string_view() : def().label; }
    QString text() const;
    std::string toStdString() const { return std::string(label()); }

    friend constexpr bool operator==(KeyName, KeyName) = default;

private:
    std::int8_t file_ = -1;
    std::int8_t key_ = -1;
};

} // namespace kestrel::data
