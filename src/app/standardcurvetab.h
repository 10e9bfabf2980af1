#pragma once

// The results window's "Standard curve" page: the sample table's standards (rows with role
// standard and the amount loaded) as a curve of signal against amount, with the choices of
// how it is fitted (model, weighting, the linear range's residual limit), what the fit says
// (R², Mandel's lack-of-fit p, the linear range from its lowest to its highest amount, each
// standard's residual in per cent) and a chart that saves as PNG, SVG or PDF. Each lane's
// target is read off the curve: the window's lane table gets AMOUNT and IN_RANGE columns
// while the table has standards. Choices are steps of the main window's undo history.

#include "core/standardresults.h"

#include <QString>
#include <QWidget>

#include <optional>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QTableWidget;

namespace kesto {

class frmScan;
class MeasurementSession;
class StandardCurveChart;

class StandardCurveTab : public QWidget
{
    Q_OBJECT
public:
    StandardCurveTab(frmScan& form, QWidget* parent);

    // Makes the curve again from the session and adds the amounts to the lane table, whose
    // rows are the lanes of results (as ResultsWindow fills it); results null: there is no
    // result, the curve and the columns are left out.
    void refresh(const Results* results, QTableWidget* laneTable);

    void saveChart();
    // Saves without asking; false after telling the person why.
    bool saveChartTo(const QString& path);

    // The last curve made; nullopt when the table has no standards or there is no result.
    const std::optional<StandardResults>& standardResults() const { return m_standards; }
    // The curve of the picture's lanes (blot 1), or nullptr.
    const StandardCurve* curve() const;
    QComboBox* modelBox() const { return m_model; }
    QComboBox* weightingBox() const { return m_weighting; }
    QDoubleSpinBox* limitBox() const { return m_limit; }
    QLabel* fitLine() const { return m_fitLine; }
    QTableWidget* standardsTable() const { return m_table; }
    StandardCurveChart* chartView() const { return m_chart; }

private:
    void fillChoices();
    void choicesEdited();
    void fillReadOuts();
    void addAmountColumns(const Results& results, QTableWidget* laneTable) const;
    void warn(const QString& text);

    frmScan& m_form;
    MeasurementSession& m_session;
    bool m_filling = false;
    std::optional<StandardResults> m_standards;
    QString m_unit;

    QComboBox* m_model = nullptr;
    QComboBox* m_weighting = nullptr;
    QDoubleSpinBox* m_limit = nullptr;
    QLabel* m_fitLine = nullptr;
    QTableWidget* m_table = nullptr;
    StandardCurveChart* m_chart = nullptr;
};

} // namespace kesto
