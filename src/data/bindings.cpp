#include "data/bindings.h"

#include "data/records.h"

namespace kestrel::data {

std::optional<platform::FilterBinding> bufferBinding(std::string_view name)
{
    auto ref = findField(name);
    if (!ref) return std::nullopt;
    return platform::FilterBinding::field(*ref->field, ref->record());
}

platform::FilterResolver bufferResolver(platform::FilterResolver local)
{
    return [local = std::move(local)](std::string_view name) -> std::optional<platform::FilterBinding> {
        if (local)
            if (auto b = local(name)) return b;
        return bufferBinding(name);
    };
}

std::optional<platform::FilterExpression> compileBufferFilter(std::string_view text,
                                                              const platform::FilterResolver& local,
                                                              platform::FilterError* error)
{
    return platform::FilterExpression::compile(text, bufferResolver(local), error);
}

} // namespace kestrel::data
