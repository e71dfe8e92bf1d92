#include "shell/formdefinition.h"

#include <utility>

namespace kestrel::shell {

FormControl FormControl::tip(const QString& text) const
{
    FormControl c = *this;
    c.tooltip = text;
    return c;
}

FormControl FormControl::ditto() const
{
    FormControl c = *this;
    c.offersDitto = true;
    return c;
}

FormControl FormControl::beside() const
{
    FormControl c = *this;
    c.besidePrevious = true;
    return c;
}

FormControl FormControl::accepting(FieldRule rule) const
{
    FormControl c = *this;
    c.onAccepting = std::move(rule);
    return c;
}

FormControl FormControl::entering(FieldRule rule) const
{
    FormControl c = *this;
    c.onEntering = std::move(rule);
    return c;
}

FormControl FormControl::lookup(LookupRule rule) const
{
    FormControl c = *this;
    c.onLookup = std::move(rule);
    return c;
}

FormControl FormControl::companion(data::FieldName field) const
{
    FormControl c = *this;
    c.companionField = field;
    return c;
}

FormControl entry(const QString& prompt, data::FieldName field, const QString& picture)
{
    FormControl c;
    c.kind = FormControl::Kind::Entry;
    c.prompt = prompt;
    c.field = field;
    c.picture = picture;
    return c;
}

FormControl radios(const QString& title, data::FieldName field, std::vector<RadioChoice> choices)
{
    FormControl c;
    c.kind = FormControl::Kind::Radio;
    c.prompt = title;
    c.field = field;
    c.choices = std::move(choices);
    return c;
}

FormControl checkBox(const QString& text, data::FieldName field, const QString& on, const QString& off)
{
    FormControl c;
    c.kind = FormControl::Kind::Check;
    c.prompt = text;
    c.field = field;
    c.onLetter = on;
    c.offLetter = off;
    return c;
}

FormControl shown(const QString& prompt, data::FieldName field, const QString& picture)
{
    FormControl c;
    c.kind = FormControl::Kind::Display;
    c.prompt = prompt;
    c.field = field;
    c.picture = picture;
    return c;
}

FormControl shownComputed(const QString& prompt, std::function<QString()> compute, const QString& picture)
{
    FormControl c;
    c.kind = FormControl::Kind::Display;
    c.prompt = prompt;
    c.picture = picture;
    c.computed = std::move(compute);
    return c;
}

FormControl heading(const QString& text)
{
    FormControl c;
    c.kind = FormControl::Kind::Heading;
    c.prompt = text;
    return c;
}

std::vector<const FormControl*> FormDefinition::inputs() const
{
    std::vector<const FormControl*> out;
    for (const auto& tab : tabs)
        for (const auto& c : tab.controls)
            if (c.isInput()) out.push_back(&c);
    return out;
}

} // namespace kestrel::shell
