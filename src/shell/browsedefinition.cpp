#include "shell/browsedefinition.h"

namespace kestrel::shell {

namespace {

BrowseRole roleOf(const QString& text)
{
    QString plain = text;
    plain.remove(QLatin1Char('&'));
    plain = plain.trimmed().toLower();
    if (plain == QLatin1String("select")) return BrowseRole::Select;
    if (plain == QLatin1String("add")) return BrowseRole::Add;
    if (plain == QLatin1String("change")) return BrowseRole::Change;
    if (plain == QLatin1String("delete")) return BrowseRole::Delete;
    if (plain == QLatin1String("help")) return BrowseRole::Help;
    if (plain == QLatin1String("close")) return BrowseRole::Close;
    return BrowseRole::Custom;
}

} // namespace

QueueField computed(const QString& name, int width, std::function<std::string()> compute)
{
    QueueField f{data::FieldName()};
    f.name = name;
    f.width = width;
    f.compute = std::move(compute);
    return f;
}

BrowseButton::BrowseButton(const char* t) : BrowseButton(QString::fromLatin1(t)) {}

BrowseButton::BrowseButton(QString t) : text(std::move(t)), role(roleOf(text)) {}

BrowseButton BrowseButton::doesNothing() const
{
    BrowseButton b = *this;
    b.nothing = true;
    return b;
}

BrowseButton customButton(const QString& text, std::function<void(BrowseEngine&)> action)
{
    BrowseButton b{text};
    b.role = BrowseRole::Custom;
    b.action = std::move(action);
    return b;
}

int BrowseDefinition::orderForTab(int tab) const
{
    if (tabs.empty()) return 1;
    if (tab >= 1 && tab <= int(tabs.size())) return tabs[std::size_t(tab - 1)].order;
    return otherTabsOrder > 0 ? otherTabsOrder : tabs.front().order;
}

bool BrowseDefinition::hasButton(BrowseRole role) const
{
    for (const auto& b : buttons)
        if (b.role == role) return true;
    return false;
}

std::vector<PopupItem> BrowseDefinition::popupItems() const
{
    if (!popup.empty()) return popup;
    using E = PopupItem::Enabled;
    auto textOf = [this](BrowseRole role, const char* fallback) {
        for (const auto& b : buttons)
            if (b.role == role) return b.text;
        return QString::fromLatin1(fallback);
    };
    std::vector<PopupItem> items;
    if (hasButton(BrowseRole::Add) || hasButton(BrowseRole::Change) || hasButton(BrowseRole::Delete)) {
        items.push_back({QStringLiteral("&Add"), textOf(BrowseRole::Add, "&Add"), E::Always});
        items.push_back({QStringLiteral("&Change"), textOf(BrowseRole::Change, "&Change"), E::WithEntries});
        items.push_back({QStringLiteral("&Delete"), textOf(BrowseRole::Delete, "&Delete"), E::WithEntries});
        items.push_back({QStringLiteral("-"), QString(), E::Always});
    }
    items.push_back({QStringLiteral("&Select"), textOf(BrowseRole::Select, "&Select"), E::WithEntriesInSelectMode});
    return items;
}

} // namespace kestrel::shell
