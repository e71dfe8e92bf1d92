#include "shell/formfiles.h"

#include "data/file_access.h"
#include "data/integrity.h"
#include "data/messages.h"
#include "data/records.h"
#include "platform/fieldvalue.h"
#include "platform/recordfile.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace kestrel::shell {

namespace {

const data::FileBuffer& fileOf(data::FileName file)
{
    if (file.isEmpty()) throw std::invalid_argument("update form names no file");
    return file.buffer();
}

int keyIndexOf(const platform::FileDef& def, data::KeyName key)
{
    if (key.isEmpty() || &key.file().def() != &def)
        throw std::invalid_argument("update form names a key of another file: " + std::string(key.label()));
    return key.index();
}

const platform::FieldDef& fieldOf(const platform::FileDef& def, data::FieldName field)
{
    if (field.isEmpty() || &field.file().def() != &def)
        throw std::invalid_argument("update form names a field of another file: " + std::string(field.label()));
    return field.def();
}

} // namespace

FormFiles::FormFiles(data::FileName file, const std::vector<data::FileName>& alsoUses)
{
    const data::FileBuffer& f = fileOf(file);
    def_ = f.def;
    bytes_ = f.bytes;
    labels_.push_back(file);
    for (data::FileName other : alsoUses) {
        fileOf(other);
        if (std::find(labels_.begin(), labels_.end(), other) == labels_.end()) labels_.push_back(other);
    }
}

FormFiles::~FormFiles() { release(); }

void FormFiles::lookUp(data::FileName file, data::KeyName key, unsigned char* bytes)
{
    const data::FileBuffer& f = fileOf(file);
    const int k = keyIndexOf(*f.def, key);
    platform::RecordFile* rf = bytes == f.bytes ? &data::recordFile(*f.def) : privateFile(*f.def, bytes);
    if (!rf || rf->get(k) != platform::errc::Ok) platform::clearRecord(*f.def, bytes);
}

platform::RecordFile* FormFiles::privateFile(const platform::FileDef& def, unsigned char* bytes)
{
    for (const auto& rf : privateFiles_)
        if (rf->buffer() == bytes) return rf.get();
    auto rf = std::make_unique<platform::RecordFile>(def, bytes);
    // The file is in use by the form, so it exists and has been checked.
    rf->setDirectory(data::recordFile(def).directory());
    if (rf->open() != platform::errc::Ok) return nullptr;
    privateFiles_.push_back(std::move(rf));
    return privateFiles_.back().get();
}

void FormFiles::use()
{
    if (used_) return;
    // Mark first: should a use end the program midway, release() still
    // gives back the files used before it.
    std::vector<const platform::FileDef*> defs;
    for (data::FileName label : labels_) defs.push_back(fileOf(label).def);
    used_ = true;
    std::size_t done = 0;
    try {
        for (const auto* d : defs) {
            data::useFile(*d);
            ++done;
        }
    } catch (...) {
        for (std::size_t i = 0; i < done; ++i) data::releaseFile(*defs[i]);
        used_ = false;
        throw;
    }
}

void FormFiles::release()
{
    privateFiles_.clear();
    if (!used_) return;
    used_ = false;
    for (data::FileName label : labels_) data::releaseFile(*fileOf(label).def);
}

QByteArray FormFiles::buffer() const
{
    return QByteArray(reinterpret_cast<const char*>(bytes_), def_->recordLength);
}

void FormFiles::setBuffer(const QByteArray& bytes)
{
    if (bytes.size() == def_->recordLength) std::memcpy(bytes_, bytes.constData(), std::size_t(bytes.size()));
}

void FormFiles::snapshot()
{
    if (def_ == &data::file::Invoice) data::takeClaimSnapshot();
    held_ = recordFile().current();
}

FormFiles::Highest FormFiles::highest(data::KeyName key, data::FieldName field)
{
    platform::RecordFile& rf = recordFile();
    Highest h;
    int err = rf.set(keyIndexOf(*def_, key), platform::RecordFile::Start::AtEnds);
    if (err == 0) err = rf.previous();
    if (err == platform::errc::NoRecord) return h;  // an empty file: the first number is 1
    if (err != 0) {
        h.error = err;
        return h;
    }
    auto value = platform::readField(fieldOf(*def_, field), bytes_);
    if (const auto* d = std::get_if<platform::Decimal>(&value))
        h.value = d->truncated();
    else
        h.value = platform::Decimal::leadingNumber(std::get<std::string>(value)).truncated();
    return h;
}

bool FormFiles::setNumber(data::FieldName field, long long value, QString* why)
{
    const platform::FieldDef& f = fieldOf(*def_, field);
    std::string err;
    platform::FieldValue v = f.kind == platform::FieldKind::Packed
                                 ? platform::FieldValue(platform::Decimal(value))
                                 : platform::FieldValue(std::to_string(value));
    if (f.kind != platform::FieldKind::Packed && int(std::get<std::string>(v).size()) > f.size)
        err = "the number does not fit the field";
    else if (platform::writeField(f, bytes_, v, &err))
        return true;
    if (why)
        *why = QStringLiteral("record numbers are used up: %1 cannot hold %2 (%3)")
                   .arg(QString::fromLatin1(f.label.data(), qsizetype(f.label.size())))
                   .arg(value)
                   .arg(QString::fromStdString(err));
    return false;
}

void FormFiles::reportNumbersUsedUp(const QString& why)
{
    data::saveError({data::RefusedError, why, 0, {}});
}

int FormFiles::add() { return recordFile().add(); }

std::string FormFiles::position() const { return recordFile().position(); }

int FormFiles::putOver(const std::string& pos)
{
    platform::RecordFile& rf = recordFile();
    // Make the placeholder the current record again (a lookup may have moved
    // the file since) without losing what the user typed.
    const QByteArray typed = buffer();
    const int err = rf.reget(pos);
    setBuffer(typed);
    if (err != 0) return err;
    return rf.put();
}

void FormFiles::removePlaceholder(const std::string& pos)
{
    platform::RecordFile& rf = recordFile();
    const QByteArray kept = buffer();
    if (rf.reget(pos) == 0) rf.remove();
    setBuffer(kept);
}

bool FormFiles::duplicate(data::KeyName key) { return recordFile().duplicate(keyIndexOf(*def_, key)); }

int FormFiles::update()
{
    platform::RecordFile& rf = recordFile();
    if (held_.has) rf.restore(held_);
    const int result = data::updateRecord(*def_);
    held_ = rf.current();  // written, or the other station's version re-read
    return result;
}

bool FormFiles::remove()
{
    if (held_.has) recordFile().restore(held_);
    return data::deleteRecord(*def_);
}

platform::RecordFile& FormFiles::recordFile() const { return data::recordFile(*def_); }

} // namespace kestrel::shell
