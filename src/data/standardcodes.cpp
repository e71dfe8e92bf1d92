#include "data/standardcodes.h"

#include "data/file_access.h"
#include "data/messages.h"
#include "data/records.h"
#include "platform/recordfile.h"
#include "platform/transaction.h"

#include <algorithm>
#include <span>

namespace kestrel::data {

namespace {

constexpr StandardCode kEditions[] = {
    {"0", "ICD-10-CM"},
    {"9", "ICD-9-CM"},
};

constexpr StandardCode kBox14Qualifiers[] = {
    {"431", "Onset of Current Symptoms or Illness"},
    {"484", "Last Menstrual Period"},
};

constexpr StandardCode kBox15Qualifiers[] = {
    {"454", "Initial Treatment"},
    {"304", "Latest Visit or Consultation"},
    {"453", "Acute Manifestation of a Chronic Condition"},
    {"439", "Accident"},
    {"455", "Last X-ray"},
    {"471", "Prescription"},
    {"090", "Report Start (Assumed Care Date)"},
    {"091", "Report End (Relinquished Care Date)"},
    {"444", "First Visit or Consultation"},
};

SeedOutcome seedTable(const platform::FileDef& def, std::span<const StandardCode> codes)
{
    SeedOutcome out;
    out.file = QString::fromLatin1(def.label.data(), qsizetype(def.label.size()));
    data::FileUse use{&def};
    platform::RecordFile& rf = data::recordFile(def);
    unsigned char* bytes = data::fileByLabel(def.label)->bytes;
    const std::vector<unsigned char> kept(bytes, bytes + def.recordLength);

    platform::Transaction t{&rf};
    if (t.start() != 0) {
        data::captureError(t);
        data::standardMessage(data::MessageNo::TransactionFramingError, QStringLiteral("Update"), out.file);
        out.failed = true;
        return out;
    }
    // Counted inside the transaction: a station adding its own codes at
    // the same moment is either seen here or waits for us.
    int err = rf.setFileOrder();
    while (err == 0 && (err = rf.next()) == 0) ++out.kept;
    if (err != platform::errc::NoRecord) {
        data::captureError(t);
        data::standardMessage(data::MessageNo::RecordRetrievalError, out.file);
        out.failed = true;
    } else if (out.kept == 0) {
        for (const StandardCode& c : codes) {
            platform::clearRecord(def, bytes);
            platform::writeField(def.fields[0], bytes, std::string(c.code));
            platform::writeField(def.fields[1], bytes, std::string(c.description));
            if (rf.add() != 0) {
                data::captureError(t);
                data::standardMessage(data::MessageNo::RecordInsertError);
                out.failed = true;
                break;
            }
            ++out.added;
        }
        if (!out.failed && t.commit() != 0) {
            data::standardMessage(data::MessageNo::RecordInsertError);
            out.failed = true;
        }
        if (out.failed) out.added = 0;
    }
    std::copy(kept.begin(), kept.end(), bytes);
    return out;
}

} // namespace

std::span<const StandardCode> standardCodes(const platform::FileDef& table)
{
    if (&table == &data::file::ICD) return kEditions;
    if (&table == &data::file::CIQL) return kBox14Qualifiers;
    if (&table == &data::file::OIQL) return kBox15Qualifiers;
    return {};
}

std::vector<SeedOutcome> seedStandardCodes()
{
    return {
        seedTable(data::file::ICD, kEditions),
        seedTable(data::file::CIQL, kBox14Qualifiers),
        seedTable(data::file::OIQL, kBox15Qualifiers),
    };
}

} // namespace kestrel::data
