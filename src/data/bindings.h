#pragma once
// Names of filter expressions that stand for the shared record buffers: any
// field label of the sixteen files ("INV:PAT", "pat:nowbalan"), letter case
// ignored, reads the current value of that field in its buffer at every
// evaluation. So a view's filter such as "(AUT:PAT=INV:PAT)" compares the
// record just read (in its file's buffer) with whatever record another
// procedure left in another buffer.

#include "platform/filterexpression.h"

#include <optional>
#include <string_view>

namespace kestrel::data {

// The binding of a field label of any buffer; nullopt for any other name.
std::optional<platform::FilterBinding> bufferBinding(std::string_view name);

// A resolver over the buffers. Names that `local` resolves (a browse's range
// variables such as "BRW2::Sort1:Reset:PAT:PAT", a report's "NUMBER") come
// first; `local` may be empty. What `local` refers to must outlive the
// compile call, as FilterExpression::compile requires.
platform::FilterResolver bufferResolver(platform::FilterResolver local = {});

// Compiles a filter over the buffers (and the local names, if any). On a
// malformed text or an unknown name: nullopt, the reason in *error.
std::optional<platform::FilterExpression> compileBufferFilter(std::string_view text,
                                                              const platform::FilterResolver& local = {},
                                                              platform::FilterError* error = nullptr);

} // namespace kestrel::data
