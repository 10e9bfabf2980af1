#pragma once

// dlgDialog: the common open-file dialog, driven by properties as the main window
// expects. The filter uses the classic "Description|patterns|Description|patterns" form
// with ';' between patterns. The dialog itself goes through the Prompts seam.

#include <QString>
#include <QStringList>

class QWidget;

namespace kesto {

class CommonDialog
{
public:
    explicit CommonDialog(QWidget* owner = nullptr) : m_owner(owner) {}

    QString fileName() const { return m_fileName; }
    void setFileName(const QString& name) { m_fileName = name; }
    QString filter() const { return m_filter; }
    void setFilter(const QString& filter) { m_filter = filter; }
    QString dialogTitle() const { return m_title; }
    void setDialogTitle(const QString& title) { m_title = title; }
    // 1-based index of the filter shown first.
    int filterIndex() const { return m_filterIndex; }
    void setFilterIndex(int index) { m_filterIndex = index; }

    // Shows the open dialog; fileName() is "" afterwards when it was cancelled.
    void ShowOpen();

    // "All picture files (*.bmp,*.jpg,*.ico)|*.bmp;*.jpg;*.ico" becomes the Qt name filter
    // "All picture files (*.bmp,*.jpg,*.ico) (*.bmp *.jpg *.ico)".
    static QStringList qtNameFilters(const QString& filter);

private:
    QWidget* m_owner;
    QString m_fileName;
    QString m_filter;
    QString m_title;
    int m_filterIndex = 1;
};

} // namespace kesto
