#pragma once
// Generic access to one field of a record's bytes, by its description. Used
// wherever code works on any file alike: the driver's columns, CSV dump and
// load, filter expressions, the browse queue.

#include "platform/decimal.h"
#include "platform/recorddef.h"

#include <string>
#include <variant>

namespace kestrel::platform {

// Text, date and digit fields: the Windows-1252 bytes without trailing blanks
// (a date is "yyyymmdd" or ""). Packed fields: the exact Decimal.
using FieldValue = std::variant<std::string, Decimal>;

FieldValue readField(const FieldDef& f, const unsigned char* record);

// Writes a value into the record's bytes. Text is padded with blanks and cut
// at the field's width. Refused, with the record unchanged and a reason in
// *error: a packed value that does not fit; a date that is not a real date in
// yyyymmdd form (or blank); digit text with anything but digits (or blank); a
// text given for a packed field or a number for a text field.
bool writeField(const FieldDef& f, unsigned char* record, const FieldValue& value,
                std::string* error = nullptr);

// Text fields to blanks, packed fields to zero.
void clearField(const FieldDef& f, unsigned char* record);
void clearRecord(const FileDef& file, unsigned char* record);

// True when the field is empty: blank text or a zero number.
bool fieldIsEmpty(const FieldDef& f, const unsigned char* record);

} // namespace kestrel::platform
