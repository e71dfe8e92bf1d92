#include "claims/lookups.h"

#include "data/file_access.h"
#include "data/records.h"
#include "platform/recordfile.h"

#include <stdexcept>
#include <string>

namespace kestrel::claims {

bool lookUp(const platform::FileDef& def, std::string_view key, bool clearWhenMissing)
{
    const int k = def.keyIndex(key);
    if (k < 0) throw std::logic_error("no key " + std::string(key) + " in " + std::string(def.label));
    if (data::recordFile(def).get(k) == platform::errc::Ok) return true;
    if (clearWhenMissing) data::clearRecord(def, data::fileByLabel(def.label)->bytes);
    return false;
}

} // namespace kestrel::claims
