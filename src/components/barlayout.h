#pragma once

// Builders for command-bar layout tables, so that a window's layout reads as a table.
// Icon names are resource names under :/resources/icons/ without the ".svg".

#include "components/commandbar.h"

namespace kesto::barlayout {

QString iconPath(const char* name);

ToolSpec button(const char* name, const char* caption, const char* tooltip = "",
                const char* iconName = nullptr);
// A toolbar button that shows only its icon; the tooltip names the command.
ToolSpec iconButton(const char* name, const char* tooltip, const char* iconName);
// A checkable button; with an empty caption it shows only its icon.
ToolSpec check(const char* name, const char* caption, bool checked, const char* tooltip = "",
               const char* iconName = nullptr);
// Separators are stored as "Tool" and a number; the name is never looked up.
ToolSpec separator(int number);
ToolSpec label(const char* name, const char* caption, const char* tooltip = "",
               const char* iconName = nullptr);
// A menu-bar entry that opens the popup band named opens.
ToolSpec entry(const char* name, const char* caption, const char* opens);
BandSpec band(const char* name, const char* caption, BandKind kind, std::vector<ToolSpec> tools);

} // namespace kesto::barlayout
