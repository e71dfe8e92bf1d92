#pragma once
// Reading a related record for a claim window: the record whose key holds
// the values now in its file's buffer. The windows use the files for their
// whole life, so the file is open.

#include "platform/recorddef.h"

#include <string_view>

namespace kestrel::claims {

// Reads the first record of `def` whose key `key` matches the buffer. When
// none does, the buffer is cleared if `clearWhenMissing` (so the fields the
// window shows from it read blank) and false is returned.
bool lookUp(const platform::FileDef& def, std::string_view key, bool clearWhenMissing = true);

} // namespace kestrel::claims
