#include "components/barlayout.h"

#include <utility>

namespace kesto::barlayout {

QString iconPath(const char* name)
{
    return QStringLiteral(":/resources/icons/") + QLatin1String(name) + QStringLiteral(".svg");
}

ToolSpec button(const char* name, const char* caption, const char* tooltip, const char* iconName)
{
    ToolSpec t;
    t.name = QLatin1String(name);
    t.caption = QLatin1String(caption);
    t.tooltip = QLatin1String(tooltip);
    t.kind = ToolKind::Button;
    if (iconName)
        t.icon = iconPath(iconName);
    return t;
}

ToolSpec iconButton(const char* name, const char* tooltip, const char* iconName)
{
    ToolSpec t = button(name, "", tooltip, iconName);
    t.iconOnly = true;
    return t;
}

ToolSpec check(const char* name, const char* caption, bool checked, const char* tooltip,
               const char* iconName)
{
    ToolSpec t = button(name, caption, tooltip, iconName);
    t.kind = ToolKind::CheckButton;
    t.checked = checked;
    t.iconOnly = caption[0] == '\0';
    return t;
}

ToolSpec separator(int number)
{
    ToolSpec t;
    t.name = QStringLiteral("Tool%1").arg(number);
    t.kind = ToolKind::Separator;
    return t;
}

ToolSpec label(const char* name, const char* caption, const char* tooltip, const char* iconName)
{
    ToolSpec t = button(name, caption, tooltip, iconName);
    t.kind = ToolKind::Label;
    return t;
}

ToolSpec entry(const char* name, const char* caption, const char* opens)
{
    ToolSpec t;
    t.name = QLatin1String(name);
    t.caption = QLatin1String(caption);
    t.kind = ToolKind::MenuEntry;
    t.opens = QLatin1String(opens);
    return t;
}

BandSpec band(const char* name, const char* caption, BandKind kind, std::vector<ToolSpec> tools)
{
    return BandSpec{QLatin1String(name), QLatin1String(caption), kind, std::move(tools)};
}

} // namespace kesto::barlayout
