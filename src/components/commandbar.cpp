#include "components/commandbar.h"

#include "core/error.h"

#include <QAction>
#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace kesto {

namespace {

// A read-out keeps the width of its widest expected text, so that the tools after it stay
// put while its text changes.
template <typename SetText>
void reserveWidth(QWidget* widget, const ToolSpec& desc, SetText setText)
{
    if (desc.widest.isEmpty())
        return;
    setText(desc.widest);
    const int width = widget->sizeHint().width();
    setText(desc.caption);
    widget->setMinimumWidth(width);
}

} // namespace

void Tool::setCaption(const QString& caption)
{
    m_caption = caption;
    if (m_label)
        m_label->setText(caption);
    else if (m_action && m_spec.kind != ToolKind::Separator)
        m_action->setText(caption);
}

void Tool::setChecked(bool checked)
{
    m_checked = checked;
    if (m_action && m_action->isCheckable()) {
        const QSignalBlocker blocker(m_action);
        m_action->setChecked(checked);
    }
}

void Tool::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (m_action)
        m_action->setEnabled(enabled);
}

Band::Band(CommandBar* bar, const BandSpec& desc)
    : m_bar(bar), m_name(desc.name), m_caption(desc.caption), m_kind(desc.kind)
{
    switch (m_kind) {
    case BandKind::MenuBar:
        m_menuBar = new QMenuBar(bar);
        m_menuBar->setNativeMenuBar(false);
        m_menuBar->setObjectName(m_name);
        break;
    case BandKind::Popup:
        m_menu = new QMenu(desc.caption, bar);
        m_menu->setObjectName(m_name);
        break;
    case BandKind::Toolbar:
        m_toolBar = new QToolBar(desc.caption, bar);
        m_toolBar->setObjectName(m_name);
        m_toolBar->setIconSize(QSize(20, 20));
        m_wrapBar = new QToolBar(desc.caption, bar);
        m_wrapBar->setObjectName(m_name + QStringLiteral("Wrap"));
        m_wrapBar->setIconSize(QSize(20, 20));
        m_wrapBar->hide();
        break;
    }
    for (const ToolSpec& t : desc.tools)
        m_tools.push_back(std::unique_ptr<Tool>(new Tool(this, t)));
}

Tool& Band::toolAt(int index) const
{
    if (index < 0 || index >= int(m_tools.size()))
        throw Error(Error::SubscriptOutOfRange,
                    QStringLiteral("Band \"%1\" has no tool at index %2").arg(m_name).arg(index));
    return *m_tools[std::size_t(index)];
}

Tool& Band::tool(const QString& name) const
{
    for (const auto& t : m_tools) {
        if (t->name() == name)
            return *t;
    }
    throw Error(Error::InvalidValue,
                QStringLiteral("Band \"%1\" has no tool named \"%2\"").arg(m_name, name));
}

bool Band::hasTool(const QString& name) const
{
    for (const auto& t : m_tools) {
        if (t->name() == name)
            return true;
    }
    return false;
}

CommandBar::CommandBar(QWidget* host, const BarLayout& layout) : QWidget(host), m_host(host)
{
    setObjectName(QStringLiteral("CommandBar"));
    m_rows = new QVBoxLayout(this);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(0);
    if (m_host)
        m_host->installEventFilter(this);
    setLayout(layout);
}

CommandBar::~CommandBar() = default;

void CommandBar::setLayout(const BarLayout& layout)
{
    for (auto& band : m_bands) {
        delete band->m_menuBar;
        delete band->m_toolBar;
        delete band->m_menu;
    }
    m_bands.clear();
    for (const BandSpec& desc : layout)
        m_bands.push_back(std::unique_ptr<Band>(new Band(this, desc)));
    build();
}

void CommandBar::build()
{
    for (auto& band : m_bands) {
        for (auto& tool : band->m_tools)
            realiseTool(*band, *tool);
        if (band->m_menuBar)
            m_rows->addWidget(band->m_menuBar);
        if (band->m_toolBar) {
            m_rows->addWidget(band->m_toolBar);
            m_rows->addWidget(band->m_wrapBar);
        }
    }
    layoutInHost();
}

void CommandBar::realiseTool(Band& band, Tool& tool)
{
    const ToolSpec& desc = tool.m_spec;
    QWidget* owner = band.m_menuBar   ? static_cast<QWidget*>(band.m_menuBar)
                     : band.m_toolBar ? static_cast<QWidget*>(band.m_toolBar)
                                      : static_cast<QWidget*>(band.m_menu);
    auto addAction = [&](QAction* action) {
        if (band.m_menuBar)
            band.m_menuBar->addAction(action);
        else if (band.m_toolBar)
            band.m_toolBar->addAction(action);
        else
            band.m_menu->addAction(action);
    };

    switch (desc.kind) {
    case ToolKind::Separator: {
        auto* action = new QAction(owner);
        action->setSeparator(true);
        addAction(action);
        tool.m_action = action;
        return;
    }
    case ToolKind::Label:
        if (band.m_toolBar) {
            auto* label = new QLabel(desc.caption, band.m_toolBar);
            label->setObjectName(desc.name);
            label->setTextFormat(Qt::PlainText);
            label->setContentsMargins(4, 0, 4, 0);
            if (!desc.icon.isEmpty() && desc.caption.isEmpty())
                label->setPixmap(QIcon(desc.icon).pixmap(band.m_toolBar->iconSize()));
            label->setToolTip(desc.tooltip);
            reserveWidth(label, desc, [label](const QString& text) { label->setText(text); });
            tool.m_label = label;
            tool.m_action = band.m_toolBar->addWidget(label);
        } else {
            auto* action = new QAction(desc.caption, owner);
            action->setEnabled(false);
            addAction(action);
            tool.m_action = action;
        }
        tool.m_action->setObjectName(desc.name);
        return;
    case ToolKind::MenuEntry: {
        auto* action = new QAction(desc.caption, owner);
        action->setObjectName(desc.name);
        if (!desc.opens.isEmpty())
            action->setMenu(this->band(desc.opens).menu());
        addAction(action);
        tool.m_action = action;
        return;
    }
    case ToolKind::Button:
    case ToolKind::CheckButton:
        break;
    }

    auto* action = new QAction(desc.caption, owner);
    action->setObjectName(desc.name);
    if (!desc.icon.isEmpty())
        action->setIcon(QIcon(desc.icon));
    if (!desc.tooltip.isEmpty())
        action->setToolTip(desc.tooltip);
    if (desc.kind == ToolKind::CheckButton) {
        action->setCheckable(true);
        action->setChecked(desc.checked);
    }
    addAction(action);
    tool.m_action = action;
    if (band.m_toolBar) {
        if (auto* button = qobject_cast<QToolButton*>(band.m_toolBar->widgetForAction(action))) {
            button->setObjectName(desc.name);
            if (desc.iconOnly && !desc.icon.isEmpty())
                button->setToolButtonStyle(Qt::ToolButtonIconOnly);
            else if (!desc.icon.isEmpty())
                button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
            else
                button->setToolButtonStyle(Qt::ToolButtonTextOnly);
            reserveWidth(button, desc, [action](const QString& text) { action->setText(text); });
        }
    }
    Tool* target = &tool;
    connect(action, &QAction::triggered, this, [this, target, action] {
        // Checked states change only when the program sets them: undo Qt's own toggle.
        if (action->isCheckable()) {
            const QSignalBlocker blocker(action);
            action->setChecked(target->m_checked);
        }
        Q_EMIT toolClicked(target->name());
    });
}

Band& CommandBar::band(int index) const
{
    if (index < 0 || index >= int(m_bands.size()))
        throw Error(Error::SubscriptOutOfRange, QStringLiteral("No band at index %1").arg(index));
    return *m_bands[std::size_t(index)];
}

Band& CommandBar::band(const QString& name) const
{
    for (const auto& b : m_bands) {
        if (b->name() == name)
            return *b;
    }
    throw Error(Error::InvalidValue, QStringLiteral("No band named \"%1\"").arg(name));
}

void CommandBar::redraw()
{
    for (const auto& b : m_bands) {
        if (b->m_toolBar)
            b->m_toolBar->update();
        if (b->m_menuBar)
            b->m_menuBar->update();
    }
    update();
}

void CommandBar::setAutoSize(std::int32_t mode)
{
    m_autoSize = mode;
    layoutInHost();
}

void CommandBar::setDisplayToolTips(bool on)
{
    m_displayToolTips = on;
    for (const auto& b : m_bands) {
        if (b->m_toolBar)
            b->m_toolBar->setToolTipDuration(on ? -1 : 0);
    }
}

void CommandBar::setClientAreaControl(QWidget* control)
{
    m_client = control;
    layoutInHost();
}

void CommandBar::click(const Tool& tool)
{
    if (tool.m_action && tool.m_spec.kind != ToolKind::Label &&
        tool.m_spec.kind != ToolKind::Separator && tool.m_spec.kind != ToolKind::MenuEntry)
        tool.m_action->trigger();
}

bool CommandBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_host && event->type() == QEvent::Resize)
        layoutInHost();
    return QWidget::eventFilter(watched, event);
}

int CommandBar::fullWidth() const
{
    int widest = 0;
    for (const auto& band : m_bands)
        widest = qMax(widest, band->m_fullWidth);
    const QMargins margins = m_rows->contentsMargins() + contentsMargins();
    return qMax(sizeHint().width(), widest + margins.left() + margins.right());
}

void CommandBar::fitToolBars()
{
    // A toolbar wider than the host first shows its captioned buttons as icons only (the
    // captions stay as tooltips); still too wide, it puts its read-outs and the tools
    // after them on a second row. The read-outs never go behind the toolbar's extension
    // button.
    // A host not yet shown has no width of its own yet: its tools stay as made.
    if (m_host->isHidden())
        return;
    const int room = m_host->width();
    for (auto& band : m_bands) {
        QToolBar* bar = band->m_toolBar;
        if (!bar)
            continue;
        if (band->m_fullWidth == 0)
            band->m_fullWidth = bar->sizeHint().width();
        const bool compact = band->m_fullWidth > room;
        setCompact(*band, compact);
        if (compact && band->m_compactWidth == 0) {
            setWrapped(*band, false);
            bar->layout()->invalidate();
            band->m_compactWidth = bar->sizeHint().width();
        }
        setWrapped(*band, compact && band->m_compactWidth > room);
    }
}

void CommandBar::setCompact(Band& band, bool compact)
{
    if (compact == band.m_compact)
        return;
    band.m_compact = compact;
    for (const auto& tool : band.m_tools)
        styleButton(band, *tool,
                    band.m_wrapped && band.m_wrapBar->actions().contains(tool->m_action)
                        ? band.m_wrapBar
                        : band.m_toolBar);
}

void CommandBar::setWrapped(Band& band, bool wrapped)
{
    if (wrapped == band.m_wrapped)
        return;
    band.m_wrapped = wrapped;
    QToolBar* from = wrapped ? band.m_toolBar : band.m_wrapBar;
    QToolBar* to = wrapped ? band.m_wrapBar : band.m_toolBar;
    QList<QAction*> moving = from->actions();
    if (wrapped) {
        // From the first read-out on.
        qsizetype first = -1;
        for (const auto& tool : band.m_tools) {
            if (!tool->m_spec.widest.isEmpty()) {
                first = moving.indexOf(tool->m_action);
                break;
            }
        }
        moving = first < 0 ? QList<QAction*>() : moving.mid(first);
    }
    for (QAction* action : moving) {
        from->removeAction(action);
        to->addAction(action);
    }
    // Buttons made afresh on the other row take their names, styles and widths again.
    for (const auto& tool : band.m_tools) {
        if (moving.contains(tool->m_action))
            styleButton(band, *tool, to);
    }
    band.m_wrapBar->setVisible(wrapped);
}

void CommandBar::styleButton(const Band& band, const Tool& tool, QToolBar* bar)
{
    auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(tool.m_action));
    if (!button || tool.m_label)
        return;
    const ToolSpec& desc = tool.m_spec;
    button->setObjectName(desc.name);
    if (!desc.icon.isEmpty() && (desc.iconOnly || (band.m_compact && desc.widest.isEmpty())))
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    else if (!desc.icon.isEmpty())
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    else
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    if (!desc.widest.isEmpty() && button->minimumWidth() == 0) {
        tool.m_action->setText(desc.widest);
        button->setMinimumWidth(button->sizeHint().width());
        tool.m_action->setText(tool.m_caption);
    }
}

void CommandBar::layoutInHost()
{
    if (!m_host)
        return;
    fitToolBars();
    if (m_autoSize == 2 || m_client) {
        setGeometry(0, 0, m_host->width(), sizeHint().height());
    } else {
        resize(sizeHint());
    }
    if (m_client)
        m_client->setGeometry(0, height(), m_host->width(), qMax(0, m_host->height() - height()));
}

} // namespace kesto
