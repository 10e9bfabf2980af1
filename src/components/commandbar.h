#pragma once

// The command bar: menu bar, toolbars and popup menus in one component, built from a
// layout table. Bands are addressed by zero-based index and by name, tools by name
// within a band; every band's copy of a tool is a separate tool with its own caption,
// tooltip, icon, checked and on/off state. Every click reaches toolClicked(name).

#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QToolBar;
class QVBoxLayout;

namespace kesto {

enum class BandKind { MenuBar, Popup, Toolbar };
enum class ToolKind { Button, CheckButton, Separator, Label, MenuEntry };

struct ToolSpec
{
    QString name;
    QString caption; // "&" marks the access key; "" for separators
    QString tooltip;
    ToolKind kind = ToolKind::Button;
    bool checked = false;  // checkable buttons
    QString icon;          // resource path, "" for none
    bool iconOnly = false; // toolbar button showing only its icon
    QString opens;         // menu-bar entries: the popup band's name
    QString widest;        // read-outs: their widest expected text; the tool keeps that width
};

struct BandSpec
{
    QString name;
    QString caption;
    BandKind kind = BandKind::Popup;
    std::vector<ToolSpec> tools;
};

using BarLayout = std::vector<BandSpec>;

class CommandBar;
class Band;

class Tool
{
public:
    QString name() const { return m_spec.name; }
    ToolKind kind() const { return m_spec.kind; }
    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);
    QString toolTip() const { return m_spec.tooltip; }
    bool isChecked() const { return m_checked; }
    void setChecked(bool checked);
    // On: offered; off: shown greyed out and not clickable.
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    // The Qt action standing for this tool in its band (a label's widget action in a toolbar).
    QAction* action() const { return m_action; }
    QLabel* label() const { return m_label; }
    Band& band() const { return *m_band; }

private:
    friend class Band;
    friend class CommandBar;
    Tool(Band* band, const ToolSpec& desc)
        : m_band(band), m_spec(desc), m_caption(desc.caption), m_checked(desc.checked)
    {
    }

    Band* m_band;
    ToolSpec m_spec;
    QString m_caption;
    bool m_checked = false;
    bool m_enabled = true;
    QAction* m_action = nullptr;
    QLabel* m_label = nullptr;
};

class Band
{
public:
    QString name() const { return m_name; }
    QString caption() const { return m_caption; }
    BandKind kind() const { return m_kind; }
    int toolCount() const { return int(m_tools.size()); }
    Tool& toolAt(int index) const;
    // Throws Error when the band has no tool of that name.
    Tool& tool(const QString& name) const;
    bool hasTool(const QString& name) const;

    QMenu* menu() const { return m_menu; }
    QToolBar* toolBar() const { return m_toolBar; }
    QMenuBar* menuBar() const { return m_menuBar; }

private:
    friend class CommandBar;
    Band(CommandBar* bar, const BandSpec& desc);

    CommandBar* m_bar;
    QString m_name;
    QString m_caption;
    BandKind m_kind;
    std::vector<std::unique_ptr<Tool>> m_tools;
    QMenu* m_menu = nullptr;
    QToolBar* m_toolBar = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QToolBar* m_wrapBar = nullptr; // a second row for the read-outs and what follows them
    int m_fullWidth = 0;           // a toolbar's width with every caption shown
    int m_compactWidth = 0;        // its width in one row with icons only
    bool m_compact = false;        // captioned icon buttons showing their icons only
    bool m_wrapped = false;        // the read-outs on the second row
};

class CommandBar : public QWidget
{
    Q_OBJECT
public:
    // The bar sits at the top of host; popup bands are realised as menus, opened by the
    // menu-bar entries that name them.
    explicit CommandBar(QWidget* host, const BarLayout& layout = {});
    ~CommandBar() override;

    // Replaces the whole layout (bands and tools).
    void setLayout(const BarLayout& layout);

    int bandCount() const { return int(m_bands.size()); }
    // Throws Error for an index outside the bands.
    Band& band(int index) const;
    // Throws Error when no band has that name.
    Band& band(const QString& name) const;

    // The width that shows every tool with its caption (the size hint may be narrower while
    // captions are hidden to fit a narrow host).
    int fullWidth() const;

    // Repaints with the current captions and sizes.
    void redraw();

    // 2: the bar spans the host's width and keeps its own height at its size hint.
    void setAutoSize(std::int32_t mode);
    std::int32_t autoSize() const { return m_autoSize; }
    // The bar option switched on at load: show tooltips on toolbar buttons.
    void setDisplayToolTips(bool on);
    bool displayToolTips() const { return m_displayToolTips; }
    // The control the bar keeps in the host's client area below the bars.
    void setClientAreaControl(QWidget* control);
    QWidget* clientAreaControl() const { return m_client; }

    // Emits toolClicked for the tool as a click would (tests and keyboard paths).
    void click(const Tool& tool);

Q_SIGNALS:
    void toolClicked(const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class Band;
    void build();
    void realiseTool(Band& band, Tool& tool);
    void fitToolBars();
    void setCompact(Band& band, bool compact);
    void setWrapped(Band& band, bool wrapped);
    void styleButton(const Band& band, const Tool& tool, QToolBar* bar);
    void layoutInHost();

    QWidget* m_host;
    QVBoxLayout* m_rows = nullptr;
    std::vector<std::unique_ptr<Band>> m_bands;
    std::int32_t m_autoSize = 0;
    bool m_displayToolTips = true;
    QWidget* m_client = nullptr;
};

} // namespace kesto
