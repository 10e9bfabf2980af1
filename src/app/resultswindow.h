#pragma once

// The results window (Image -> Results...): what each lane holds (the session's sample
// table, edited in place, filled by pattern, pasted from a spreadsheet or read from a .tsv
// file), how results are made (target band, loading control, reference, flagged lanes
// left out or not, SD or SEM), and the results: a table per lane and per group, and a chart
// of each group's replicates with its mean and spread, relative to the reference (a
// dashed line at 1). Every change to a band, a lane or a row shows at once; each result
// cell names in its tip (and in the line under the tables) the lanes, bands, frames and
// methods it came from. Changes are steps of the main window's undo history. A stain
// picture of the same membrane (Stain Picture...) gives the control "stain", its lanes'
// totals; double-clicking a lane's result picks that lane's own target bands.

#include "core/results.h"

#include <QString>
#include <QWidget>

#include <optional>

class QCheckBox;
class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QPushButton;
class QScatterSeries;
class QTableWidget;
class QTimer;

namespace kesto {

class frmScan;
class MeasurementSession;
class StandardCurveTab;

class ResultsWindow : public QWidget
{
    Q_OBJECT
public:
    // The window's results window, made on first use (hidden).
    static ResultsWindow& of(frmScan& form);

    explicit ResultsWindow(frmScan& form);

    // Makes the results again from the session now (the window does so by itself shortly
    // after any change).
    void refresh();

    // Fill by Pattern...: asks for the groups, replicates, order, first lane and group
    // names (through Prompts) and replaces the table.
    void fillByPattern();
    // Paste: the clipboard's tab text as the table.
    void pasteTable();
    void importTable();
    void exportTable();
    void saveChart();
    void saveTables();
    // Stain Picture...: asks for the picture (through Prompts), checks it against the
    // picture and makes its lane totals the control.
    void openStainPicture();
    // Asks for the target bands of the lane in the Lanes tab's row (through Prompts).
    void pickTargetBands(int row);
    // Saves without asking; false after telling the person why.
    bool saveChartTo(const QString& path);
    bool saveTablesTo(const QString& path);

    // The last results made; nullopt when they could not be (status() says why).
    const std::optional<Results>& results() const { return m_results; }
    QString status() const;
    QTableWidget* sampleTable() const { return m_samples; }
    QTableWidget* laneTable() const { return m_lanes; }
    QTableWidget* groupTable() const { return m_groups; }
    QChart* chart() const { return m_chart; }
    QChartView* chartView() const { return m_view; }
    // The replicates' points as the chart shows them (counted and left out).
    QScatterSeries* replicatePoints() const { return m_points; }
    QComboBox* targetBox() const { return m_target; }
    QComboBox* controlBox() const { return m_control; }
    QComboBox* referenceBox() const { return m_reference; }
    QCheckBox* excludeFlaggedBox() const { return m_excludeFlagged; }
    QComboBox* spreadBox() const { return m_spread; }
    QLabel* detailsLine() const { return m_details; }
    QLabel* stainLine() const { return m_stainLine; }
    // The "Standard curve" page (amounts read off the standards' curve).
    StandardCurveTab* curveTab() const { return m_curveTab; }

private:
    void scheduleRefresh();
    void fillSampleTable();
    void fillChoices();
    void fillResults();
    void fillChart();
    void sampleCellEdited(int row, int column);
    void choicesEdited();
    void showDetails(QTableWidget* table, int row, int column);
    // Takes a table read or pasted, if it fits the lanes found; false after saying why.
    bool takeTable(const QString& text, const QString& source);
    void commit(const QString& text);
    void warn(const QString& text);

    frmScan& m_form;
    MeasurementSession& m_session;
    QTimer* m_refresh = nullptr;
    bool m_filling = false;
    std::optional<Results> m_results;

    QComboBox* m_target = nullptr;
    QComboBox* m_control = nullptr;
    QComboBox* m_reference = nullptr;
    QCheckBox* m_excludeFlagged = nullptr;
    QComboBox* m_spread = nullptr;
    QLabel* m_stainLine = nullptr;
    QLabel* m_status = nullptr;
    QTableWidget* m_samples = nullptr;
    QTableWidget* m_lanes = nullptr;
    QTableWidget* m_groups = nullptr;
    QLabel* m_details = nullptr;
    QChart* m_chart = nullptr;
    QChartView* m_view = nullptr;
    QScatterSeries* m_points = nullptr;
    StandardCurveTab* m_curveTab = nullptr;
};

} // namespace kesto
