#include "app/standardcurvetab.h"

#include "app/chartexport.h"
#include "app/frmscan.h"
#include "app/standardcurvechart.h"
#include "components/prompts.h"
#include "core/error.h"
#include "core/measurementsession.h"
#include "core/numbers.h"
#include "core/sessionresults.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace kesto {

namespace {

const QColor OutsideColour(255, 224, 178);

bool hasStandards(const SampleTable& table)
{
    for (const SampleRow& row : table.rows())
        if (row.role == SampleRole::Standard)
            return true;
    return false;
}

// The unit of the standards' amounts: the first standard's that names one.
QString standardsUnit(const SampleTable& table)
{
    for (const SampleRow& row : table.rows())
        if (row.role == SampleRole::Standard && !row.unit.isEmpty())
            return row.unit;
    return QString();
}

QString amountText(double amount, const QString& unit)
{
    return unit.isEmpty() ? doubleText(amount) : doubleText(amount) + QLatin1Char(' ') + unit;
}

// A number as a person reads it in a table: 6 significant digits (the files keep them all).
QString shortNumber(double value)
{
    return QString::number(value, 'g', 6);
}

QString yesNo(bool yes)
{
    return yes ? QStringLiteral("yes") : QStringLiteral("no");
}

} // namespace

StandardCurveTab::StandardCurveTab(frmScan& form, QWidget* parent)
    : QWidget(parent), m_form(form), m_session(form.session())
{
    setObjectName(QStringLiteral("tabStandardCurve"));

    m_model = new QComboBox(this);
    m_model->setObjectName(QStringLiteral("cboCurveModel"));
    m_model->setToolTip(QStringLiteral("The curve fitted to the standards' signals"));
    m_model->addItem(QStringLiteral("Linear"), int(CurveModel::Linear));
    m_model->addItem(QStringLiteral("Linear through the origin"), int(CurveModel::LinearOrigin));
    m_model->addItem(QStringLiteral("Quadratic"), int(CurveModel::Quadratic));
    m_model->addItem(QStringLiteral("Four-parameter logistic"),
                     int(CurveModel::FourParameterLogistic));
    m_weighting = new QComboBox(this);
    m_weighting->setObjectName(QStringLiteral("cboCurveWeighting"));
    m_weighting->setToolTip(QStringLiteral("1/amount: faint standards count as much as strong "
                                           "ones, whose scatter is larger"));
    m_weighting->addItem(QStringLiteral("None"), int(CurveWeighting::None));
    m_weighting->addItem(QStringLiteral("1/amount"), int(CurveWeighting::InverseAmount));
    m_limit = new QDoubleSpinBox(this);
    m_limit->setObjectName(QStringLiteral("spnResidualLimit"));
    m_limit->setToolTip(QStringLiteral("The largest residual a standard in the linear range may "
                                       "have against the range's straight line"));
    m_limit->setRange(0.1, MaxResidualLimitPercent);
    m_limit->setDecimals(1);
    m_limit->setSuffix(QStringLiteral(" %"));
    m_limit->setKeyboardTracking(false);
    connect(m_model, &QComboBox::activated, this, &StandardCurveTab::choicesEdited);
    connect(m_weighting, &QComboBox::activated, this, &StandardCurveTab::choicesEdited);
    connect(m_limit, &QDoubleSpinBox::valueChanged, this, &StandardCurveTab::choicesEdited);
    auto* choices = new QFormLayout;
    choices->addRow(QStringLiteral("M&odel:"), m_model);
    choices->addRow(QStringLiteral("&Weighting:"), m_weighting);
    choices->addRow(QStringLiteral("Resi&dual limit:"), m_limit);

    m_fitLine = new QLabel(this);
    m_fitLine->setObjectName(QStringLiteral("lblCurveFit"));
    m_fitLine->setWordWrap(true);
    m_fitLine->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_table = new QTableWidget(0, 6, this);
    m_table->setObjectName(QStringLiteral("tblStandards"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Standard"), QStringLiteral("Amount"),
                                        QStringLiteral("Signal"), QStringLiteral("Residual %"),
                                        QStringLiteral("In range"), QStringLiteral("In fit")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();

    m_chart = new StandardCurveChart(this);
    auto* save = new QPushButton(QStringLiteral("Save C&urve Chart..."), this);
    save->setObjectName(QStringLiteral("btnSaveCurveChart"));
    connect(save, &QPushButton::clicked, this, &StandardCurveTab::saveChart);
    auto* saveRow = new QHBoxLayout;
    saveRow->addStretch();
    saveRow->addWidget(save);

    auto* top = new QWidget(this);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addLayout(choices);
    topLayout->addWidget(m_fitLine);
    topLayout->addWidget(m_table, 1);
    auto* bottom = new QWidget(this);
    auto* bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->addWidget(m_chart, 1);
    bottomLayout->addLayout(saveRow);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(top);
    splitter->addWidget(bottom);
    // The chart takes what room there is.
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
    fillChoices();
    fillReadOuts();
}

const StandardCurve* StandardCurveTab::curve() const
{
    return m_standards ? m_standards->curve(0) : nullptr;
}

void StandardCurveTab::refresh(const Results* results, QTableWidget* laneTable)
{
    fillChoices();
    m_standards.reset();
    m_unit = standardsUnit(m_session.sampleTable());
    QString why;
    if (results && hasStandards(m_session.sampleTable())) {
        try {
            StandardResultOptions options;
            options.curve = m_session.curveOptions();
            m_standards = computeStandardResults(m_session.sampleTable(), measuredLanes(m_session),
                                                 m_session.resultOptions(), options);
        } catch (const Error& e) {
            why = e.message();
        }
    }
    fillReadOuts();
    if (!why.isEmpty())
        m_fitLine->setText(QStringLiteral("No curve: ") + why);
    if (m_standards && laneTable)
        addAmountColumns(*results, laneTable);
}

void StandardCurveTab::fillChoices()
{
    m_filling = true;
    const CurveOptions& options = m_session.curveOptions();
    m_model->setCurrentIndex(m_model->findData(int(options.model)));
    m_weighting->setCurrentIndex(m_weighting->findData(int(options.weighting)));
    {
        const QSignalBlocker blocker(m_limit);
        m_limit->setValue(options.residualLimitPercent);
    }
    m_filling = false;
}

void StandardCurveTab::choicesEdited()
{
    if (m_filling)
        return;
    CurveOptions options = m_session.curveOptions();
    options.model = CurveModel(m_model->currentData().toInt());
    options.weighting = CurveWeighting(m_weighting->currentData().toInt());
    options.residualLimitPercent = m_limit->value();
    if (options == m_session.curveOptions())
        return;
    m_session.setCurveOptions(options);
    // The results window follows the undo history and makes everything again.
    m_form.commitUndo(QStringLiteral("Standard Curve Choices"));
}

void StandardCurveTab::fillReadOuts()
{
    const StandardCurve* fitted = curve();
    std::vector<ChartUnknown> unknowns;
    if (m_standards && fitted) {
        for (std::size_t i = 0; i < m_standards->lanes.size(); ++i) {
            const LaneAmount& lane = m_standards->lanes[i];
            const LaneResult& raw = m_standards->raw.lanes[i];
            if (lane.standard || lane.blot != 0 || !raw.inTable || raw.role != SampleRole::Sample ||
                !raw.target || !lane.amount.amount)
                continue;
            unknowns.push_back(
                {QStringLiteral("lane %1").arg(lane.lane + 1), *raw.target, lane.amount});
        }
    }
    m_chart->setCurve(fitted ? *fitted : StandardCurve(), unknowns, m_unit);

    m_table->setRowCount(0);
    if (!m_standards) {
        m_fitLine->setText(QStringLiteral("No standards: give lanes of known amount the role "
                                          "\"standard\" and their amount in the sample table."));
        return;
    }
    if (!fitted || !fitted->ok()) {
        m_fitLine->setText(
            QStringLiteral("No curve: ") +
            (fitted ? fitted->reason() : m_standards->notes.join(QStringLiteral("; "))));
        return;
    }
    QStringList parts;
    const double r2 = fitted->curve().rSquared;
    parts << (std::isfinite(r2) ? QStringLiteral("R\u00b2 %1").arg(QString::number(r2, 'f', 4))
                                : QStringLiteral("R\u00b2 none"));
    const LackOfFit& lack = fitted->lackOfFit();
    parts << (lack.ok ? QStringLiteral("Mandel's p %1").arg(QString::number(lack.p, 'g', 3))
                      : QStringLiteral("Mandel's test: ") + lack.reason);
    const LinearRange& range = fitted->linearRange();
    parts << (range.found ? QStringLiteral("linear range %1 to %2")
                                .arg(amountText(range.low, m_unit), amountText(range.high, m_unit))
                          : QStringLiteral("no linear range: ") + range.reason);
    QString text = parts.join(QStringLiteral("; "));
    if (!m_standards->notes.isEmpty())
        text += QLatin1Char('\n') + m_standards->notes.join(QLatin1Char('\n'));
    m_fitLine->setText(text);

    const std::vector<CurveStandardResult>& standards = fitted->standards();
    m_table->setRowCount(int(standards.size()));
    for (int r = 0; r < int(standards.size()); ++r) {
        const CurveStandardResult& s = standards[std::size_t(r)];
        const QStringList cells{s.standard.label,
                                shortNumber(s.standard.amount),
                                shortNumber(s.standard.signal),
                                s.residualPercent ? QString::number(*s.residualPercent, 'f', 1)
                                                  : QString(),
                                yesNo(s.inLinearRange),
                                yesNo(s.inFit)};
        for (int c = 0; c < int(cells.size()); ++c) {
            auto* item = new QTableWidgetItem(cells.at(c));
            if (!s.inLinearRange)
                item->setBackground(OutsideColour);
            if (s.standard.saturated)
                item->setToolTip(QStringLiteral("Saturated: samples at the end of the scale"));
            m_table->setItem(r, c, item);
        }
    }
    m_table->resizeColumnsToContents();
}

void StandardCurveTab::addAmountColumns(const Results& results, QTableWidget* laneTable) const
{
    const int first = laneTable->columnCount();
    laneTable->setColumnCount(first + 2);
    laneTable->setHorizontalHeaderItem(first, new QTableWidgetItem(QStringLiteral("AMOUNT")));
    laneTable->setHorizontalHeaderItem(first + 1, new QTableWidgetItem(QStringLiteral("IN_RANGE")));
    for (int r = 0; r < laneTable->rowCount() && r < int(results.lanes.size()); ++r) {
        const LaneResult& lane = results.lanes[std::size_t(r)];
        const LaneAmount* read = nullptr;
        for (const LaneAmount& candidate : m_standards->lanes)
            if (candidate.lane == lane.lane && candidate.blot == lane.blot)
                read = &candidate;
        if (!read)
            continue;
        const CurveAmount& amount = read->amount;
        const QString tip = amount.amount ? amount.flagsText() : amount.reason;
        auto* amountItem =
            new QTableWidgetItem(amount.amount ? doubleText(*amount.amount) : QString());
        auto* rangeItem = new QTableWidgetItem(yesNo(amount.inLinearRange()));
        for (QTableWidgetItem* item : {amountItem, rangeItem}) {
            if (!tip.isEmpty())
                item->setToolTip(QStringLiteral("Amount: ") + tip);
            if (!amount.inLinearRange())
                item->setBackground(OutsideColour);
        }
        laneTable->setItem(r, first, amountItem);
        laneTable->setItem(r, first + 1, rangeItem);
    }
    laneTable->resizeColumnsToContents();
}

void StandardCurveTab::saveChart()
{
    int filter = 0;
    QString path = Prompts::current().saveFileName(this, QStringLiteral("Save Curve Chart"),
                                                   QStringLiteral("standard-curve.png"),
                                                   chartFileFilters(), filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + chartFileSuffix(filter);
    saveChartTo(path);
}

bool StandardCurveTab::saveChartTo(const QString& path)
{
    QString why;
    if (kesto::saveChart(m_chart, path, &why))
        return true;
    warn(QStringLiteral("Cannot save the chart:\r\n") + why);
    return false;
}

void StandardCurveTab::warn(const QString& text)
{
    Prompts::current().message(this, text, appTitle(), MessageButtons::Ok, MessageIcon::Warning);
}

} // namespace kesto
