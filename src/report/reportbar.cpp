#include "report/reportbar.h"

#include "app/error.h"

#include <iterator>
#include <utility>

namespace kesto {

namespace {

QString icon(const char* name)
{
    return QStringLiteral(":/resources/icons/report-") + QLatin1String(name) +
           QStringLiteral(".svg");
}

ToolSpec button(const char* name, const char* caption, const char* iconName = nullptr)
{
    ToolSpec t;
    t.name = QLatin1String(name);
    t.caption = QLatin1String(caption);
    t.kind = ToolKind::Button;
    if (iconName)
        t.icon = icon(iconName);
    return t;
}

// A tool-bar button that shows only its picture. Its stored caption is a placeholder
// that is never shown; the tooltip names the command so the picture can be told apart.
ToolSpec pictureButton(const char* name, const char* tooltip, const char* iconName)
{
    ToolSpec t = button(name, "", iconName);
    t.tooltip = QLatin1String(tooltip);
    t.iconOnly = true;
    return t;
}

ToolSpec separator(int number)
{
    ToolSpec t;
    t.name = QStringLiteral("Tool%1").arg(number);
    t.kind = ToolKind::Separator;
    return t;
}

ToolSpec label(const char* name, const char* caption)
{
    ToolSpec t = button(name, caption);
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

} // namespace

BarLayout reportBarLayout()
{
    return {
        band("bndMain", "Band1", BandKind::MenuBar,
             {entry("mnuFile", "&File", "bndFile"), entry("mnuEdit", "&Edit", "bndEdit"),
              button("mnuCalculate", "&Calculate!"), label("Tool26", ""),
              button("mnuMinimize", "&Minimize"), button("mnuMaximize", "M&aximize"),
              button("mnuNormal", "&Normalize"), button("mnuClose", "Clos&e")}),
        band("bndFile", "Band2", BandKind::Popup,
             {button("mnuSave", "&Save Report", "save"), button("mnuPrint", "&Print", "print"),
              separator(5), button("mnuClose", "Clos&e"), button("mnuMinimize", "&Minimize"),
              button("mnuMaximize", "M&aximize"), button("mnuNormal", "&Normalize")}),
        band("bndEdit", "Band3", BandKind::Popup,
             {button("mnuCopy", "&Copy", "copy"), button("mnuPaste", "&Paste", "paste"),
              button("mnuDeleteRow", "&Delete Row", "deleterow"), separator(11),
              button("mnuTitle", "&Title", "title"), button("mnuSort", "&Sort", "sort")}),
        band("bndToolBar", "Band4", BandKind::Toolbar,
             {pictureButton("mnuSave", "Save Report", "save"),
              pictureButton("mnuPrint", "Print", "print"), separator(16),
              pictureButton("mnuCopy", "Copy", "copy"), pictureButton("mnuPaste", "Paste", "paste"),
              pictureButton("mnuDeleteRow", "Delete Row", "deleterow"),
              pictureButton("mnuTitle", "Title", "title"), separator(19),
              pictureButton("mnuCalculate", "Calculate", "calculate"),
              button("mnuSort", "&Sort", "sort")}),
    };
}

const QStringList& reportCommandNames()
{
    static const QStringList names = {
        QStringLiteral("mnuSave"),      QStringLiteral("mnuPrint"),
        QStringLiteral("mnuClose"),     QStringLiteral("mnuMinimize"),
        QStringLiteral("mnuMaximize"),  QStringLiteral("mnuNormal"),
        QStringLiteral("mnuCopy"),      QStringLiteral("mnuPaste"),
        QStringLiteral("mnuDeleteRow"), QStringLiteral("mnuTitle"),
        QStringLiteral("mnuSort"),      QStringLiteral("mnuCalculate"),
    };
    return names;
}

ReportCommands::~ReportCommands() = default;

void dispatchReportTool(ReportCommands& target, const QString& toolName)
{
    using Command = void (ReportCommands::*)();
    static constexpr Command commands[] = {
        &ReportCommands::saveReport,      &ReportCommands::printReport,
        &ReportCommands::closeReport,     &ReportCommands::minimizeReport,
        &ReportCommands::maximizeReport,  &ReportCommands::normalizeReport,
        &ReportCommands::copySelection,   &ReportCommands::pasteSelection,
        &ReportCommands::deleteRow,       &ReportCommands::editTitle,
        &ReportCommands::sortSelection,   &ReportCommands::calculateReport,
    };
    static_assert(std::size(commands) == 12, "one command per name");

    const qsizetype index = reportCommandNames().indexOf(toolName);
    if (index >= 0) {
        try {
            (target.*commands[index])();
        } catch (const Error& error) {
            target.showError(error);
        }
    }
    target.refreshBar();
}

} // namespace kesto
