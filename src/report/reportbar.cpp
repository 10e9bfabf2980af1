#include "report/reportbar.h"

#include "components/barlayout.h"
#include "core/error.h"

#include <iterator>
#include <utility>

namespace kesto {

namespace {

using namespace barlayout;

// A menu item with the report's own picture.
ToolSpec item(const char* name, const char* caption, const char* iconName)
{
    return button(name, caption, "", iconName);
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
             {item("mnuSave", "&Save Report", "report-save"),
              item("mnuPrint", "&Print", "report-print"), separator(5),
              button("mnuClose", "Clos&e"), button("mnuMinimize", "&Minimize"),
              button("mnuMaximize", "M&aximize"), button("mnuNormal", "&Normalize")}),
        band("bndEdit", "Band3", BandKind::Popup,
             {item("mnuCopy", "&Copy", "report-copy"), item("mnuPaste", "&Paste", "report-paste"),
              item("mnuDeleteRow", "&Delete Row", "report-deleterow"), separator(11),
              item("mnuTitle", "&Title", "report-title"), item("mnuSort", "&Sort", "report-sort")}),
        band("bndToolBar", "Band4", BandKind::Toolbar,
             {iconButton("mnuSave", "Save Report", "report-save"),
              iconButton("mnuPrint", "Print", "report-print"), separator(16),
              iconButton("mnuCopy", "Copy", "report-copy"),
              iconButton("mnuPaste", "Paste", "report-paste"),
              iconButton("mnuDeleteRow", "Delete Row", "report-deleterow"),
              iconButton("mnuTitle", "Title", "report-title"), separator(19),
              iconButton("mnuCalculate", "Calculate", "report-calculate"),
              item("mnuSort", "&Sort", "report-sort")}),
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
        &ReportCommands::saveReport,     &ReportCommands::printReport,
        &ReportCommands::closeReport,    &ReportCommands::minimizeReport,
        &ReportCommands::maximizeReport, &ReportCommands::normalizeReport,
        &ReportCommands::copySelection,  &ReportCommands::pasteSelection,
        &ReportCommands::deleteRow,      &ReportCommands::editTitle,
        &ReportCommands::sortSelection,  &ReportCommands::calculateReport,
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
