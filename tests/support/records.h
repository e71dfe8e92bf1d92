#pragma once
// Records made for a test as the program makes them: through a file's global
// record buffer, cleared first, then added to the file of the data directory
// set in file_access. Window-free; the data, form and window tests share them.
#include "data/file_access.h"
#include "data/records.h"
#include "platform/recordfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::test {

using Fill = std::function<void()>;

// Adds a record built by `fill` on the cleared buffer of `def`'s file.
inline void addRecord(const platform::FileDef& def, const Fill& fill)
{
    data::FileUse use{&def};
    unsigned char* bytes = data::fileByLabel(def.label)->bytes;
    platform::clearRecord(def, bytes);
    fill();
    ASSERT_EQ(data::recordFile(def).add(), platform::errc::Ok) << def.label;
}

// A patient by number and last name ("Patient <number>" when none is given);
// `more` sets further fields.
inline void addPatient(long long number, std::string_view lastName = {}, const Fill& more = {})
{
    addRecord(data::file::Patient, [&] {
        data::PAT.PAT.set(number);
        data::PAT.LNAME.set(lastName.empty() ? "Patient " + std::to_string(number) : std::string(lastName));
        if (more) more();
    });
}

// A provider by number and name ("Dr <number>" when none is given).
inline void addProvider(long long number, std::string_view name = {}, const Fill& more = {})
{
    addRecord(data::file::Provider, [&] {
        data::PRV.PRV.set(number);
        data::PRV.PNAME.set(name.empty() ? "Dr " + std::to_string(number) : std::string(name));
        if (more) more();
    });
}

// A claim of a provider's patient with `services` service lines followed by
// `payments` transaction lines (CPT "00001", "00002" ...), dated from
// 1 January 2024 on, one day per line.
inline void addClaim(long long prv, long long pat, long long inv, int services, int payments = 0)
{
    addRecord(data::file::Invoice, [&] {
        data::INV.PRV.set(prv);
        data::INV.PAT.set(pat);
        data::INV.INV.set(inv);
        data::INV.F19.set("claim " + std::to_string(inv));
    });
    for (int i = 0; i < services + payments; ++i) {
        addRecord(data::file::Item, [&] {
            data::ITM.PRV.set(prv);
            data::ITM.PAT.set(pat);
            data::ITM.INV.set(inv);
            data::ITM.DOSF.set("202401" + std::string(i < 9 ? "0" : "") + std::to_string(i + 1));
            data::ITM.CPT.set(i < services ? "9921" + std::to_string(i % 10)
                                           : "0000" + std::to_string(i - services + 1));
        });
    }
}

// Every record of the file in the key's order, each as `read` sees it in the
// buffer. The buffer is left as it was (a form may be showing it).
template <class Read>
auto records(const platform::FileDef& def, const char* key, Read read)
{
    data::FileUse use{&def};
    auto& f = data::recordFile(def);
    unsigned char* bytes = data::fileByLabel(def.label)->bytes;
    const std::vector<unsigned char> kept(bytes, bytes + def.recordLength);
    std::vector<decltype(read())> out;
    EXPECT_EQ(f.set(def.keyIndex(key), platform::RecordFile::Start::AtEnds), platform::errc::Ok);
    while (f.next() == platform::errc::Ok) out.push_back(read());
    std::copy(kept.begin(), kept.end(), bytes);
    return out;
}

} // namespace kestrel::test
