#pragma once

// The design-time property page of the picture button, "Button", and a small host that
// shows it beside a button.
//
// The host protocol: the host tells the page that the selection changed (the page loads
// its fields from the first selected button) and asks it to apply (the page writes its
// fields to that button); the page sets the host's changed mark when the person edits
// the pointer list, the Switch box or the Caption, Delta or Alignment text.

#include <QDialog>
#include <QList>
#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kesto {

class KestoButton;

// What a property page needs from its host.
class PropertyPageSite
{
public:
    virtual ~PropertyPageSite();
    virtual QList<KestoButton*> selectedControls() const = 0;
    virtual bool changed() const = 0;
    virtual void setChanged(bool changed) = 0;
};

class Button : public QWidget
{
    Q_OBJECT

public:
    explicit Button(PropertyPageSite& site, QWidget* parent = nullptr);

    // Loads the fields from the first selected button.
    void selectionChanged();
    // Writes the fields to the first selected button; the others stay as they are.
    // Every field is checked first: a Delta or Alignment that is not a 16-bit number
    // (or a button that is not being designed) throws Error with a message naming the
    // field, and nothing is written.
    void applyChanges();

    std::array<QLabel*, 2> lblMousePointer{}; // "MousePointer:" and "Tool tip text:"
    QComboBox* cboMouse = nullptr;
    QLabel* lblCaption = nullptr;
    QLineEdit* txtCaption = nullptr;
    QLabel* lblDelta = nullptr;
    QLineEdit* txtDelta = nullptr;
    QLabel* lblAlignment = nullptr;
    QLineEdit* txtAlignment = nullptr;
    QLineEdit* txtToolTopText = nullptr;
    QCheckBox* chkSwitch = nullptr;
    QCheckBox* chkValue = nullptr;

private:
    void markChanged();

    PropertyPageSite& m_site;
};

// A minimal host: a button being designed on the left, the page on the right, and Apply
// (enabled by the changed mark) and Close below. A refused apply is reported in a
// message box and keeps the mark, so nothing typed is lost.
class ButtonPageHost : public QDialog, public PropertyPageSite
{
    Q_OBJECT

public:
    // Without a button the host makes one of its own. The button is put in design mode.
    explicit ButtonPageHost(KestoButton* button = nullptr, QWidget* parent = nullptr);

    QList<KestoButton*> selectedControls() const override { return m_selection; }
    bool changed() const override { return m_changed; }
    void setChanged(bool changed) override;

    void setSelection(const QList<KestoButton*>& buttons);
    // Applies the page; false (after telling the person why) when it was refused.
    bool apply();

    Button* page() const { return m_page; }
    KestoButton* button() const { return m_button; }
    QPushButton* applyButton() const { return m_apply; }

private:
    KestoButton* m_button = nullptr;
    Button* m_page = nullptr;
    QPushButton* m_apply = nullptr;
    QList<KestoButton*> m_selection;
    bool m_changed = false;
};

} // namespace kesto
