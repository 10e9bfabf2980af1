#include "app/sizecalibrationwindow.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QScatterSeries>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace kesto {

QString bandSizeText(double size, SizeUnit unit)
{
    QString number;
    if (!std::isfinite(size)) {
        number = QStringLiteral("?");
    } else if (unit == SizeUnit::BasePairs || std::abs(size) >= 1000) {
        // Whole units, thousands set apart by a space.
        const QString digits = QString::number(std::llround(std::abs(size)));
        for (int i = 0; i < digits.size(); ++i) {
            if (i > 0 && (digits.size() - i) % 3 == 0)
                number += QLatin1Char(' ');
            number += digits[i];
        }
        if (size < 0)
            number.prepend(QLatin1Char('-'));
    } else {
        const double a = std::abs(size);
        number = QString::number(size, 'f', a >= 100 ? 0 : a >= 10 ? 1 : 2);
    }
    return number + QLatin1Char(' ') + sizeUnitText(unit);
}

SizeCalibrationWindow::SizeCalibrationWindow(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("frmSizeCalibration"));
    setWindowTitle(QStringLiteral("Size Calibration"));

    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("lblCalibration"));
    m_caption->setWordWrap(true);

    m_fit = new QComboBox(this);
    m_fit->setObjectName(QStringLiteral("cboSizeFit"));
    for (SizeFit fit : {SizeFit::PointToPoint, SizeFit::Linear, SizeFit::Quadratic, SizeFit::Cubic})
        m_fit->addItem(sizeFitText(fit), int(fit));
    m_fit->setToolTip(QStringLiteral("Point-to-point passes through every ladder band; a "
                                     "polynomial smooths over bands that ran unevenly"));
    m_extrapolate = new QCheckBox(QStringLiteral("Size bands &beyond the ladder"), this);
    m_extrapolate->setObjectName(QStringLiteral("chkExtrapolate"));
    m_extrapolate->setToolTip(QStringLiteral("Carries the curve on past the ladder's first and "
                                             "last band; such sizes are marked extrapolated"));
    const auto edited = [this] {
        if (!m_filling)
            Q_EMIT fitChanged(SizeFit(m_fit->currentData().toInt()), m_extrapolate->isChecked());
    };
    connect(m_fit, &QComboBox::currentIndexChanged, this, edited);
    connect(m_extrapolate, &QCheckBox::toggled, this, edited);
    auto* fitForm = new QFormLayout;
    fitForm->addRow(QStringLiteral("&Curve:"), m_fit);
    fitForm->addRow(QString(), m_extrapolate);

    m_chart = new QChart;
    m_chart->legend()->hide();
    m_points = new QScatterSeries;
    m_points->setName(QStringLiteral("Ladder bands"));
    m_points->setMarkerSize(8);
    m_curve = new QLineSeries;
    m_curve->setName(QStringLiteral("Curve"));
    m_chart->addSeries(m_curve);
    m_chart->addSeries(m_points);
    m_axisX = new QValueAxis;
    m_axisX->setTitleText(QStringLiteral("Rf"));
    m_axisY = new QValueAxis;
    m_axisY->setTitleText(QStringLiteral("log10(size)"));
    m_chart->addAxis(m_axisX, Qt::AlignBottom);
    m_chart->addAxis(m_axisY, Qt::AlignLeft);
    for (QAbstractSeries* series :
         {static_cast<QAbstractSeries*>(m_curve), static_cast<QAbstractSeries*>(m_points)}) {
        series->attachAxis(m_axisX);
        series->attachAxis(m_axisY);
    }
    m_view = new QChartView(m_chart, this);
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setMinimumSize(320, 220);

    m_table = new QTableWidget(0, 4, this);
    m_table->setObjectName(QStringLiteral("tblCalibration"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Size"), QStringLiteral("Rf"),
                                        QStringLiteral("Residual"), QStringLiteral("Left out")});
    m_table->horizontalHeaderItem(3)->setToolTip(
        QStringLiteral("The error of the band's size read off the curve fitted without it"));
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_caption);
    layout->addLayout(fitForm);
    layout->addWidget(m_view, 3);
    layout->addWidget(m_table, 2);
    resize(420, 520);
}

QString SizeCalibrationWindow::caption() const
{
    return m_caption->text();
}

void SizeCalibrationWindow::setFit(SizeFit fit, bool extrapolate)
{
    m_filling = true;
    m_fit->setCurrentIndex(m_fit->findData(int(fit)));
    m_extrapolate->setChecked(extrapolate);
    m_filling = false;
}

void SizeCalibrationWindow::setCalibration(const SizeCalibration& calibration,
                                           const QString& caption, SizeUnit unit)
{
    m_points->clear();
    m_curve->clear();
    m_table->setRowCount(0);
    if (!calibration.ok()) {
        m_caption->setText(caption + QStringLiteral("\nNo calibration: ") + calibration.reason());
        return;
    }
    QString text = caption;
    if (!calibration.monotone())
        text += QStringLiteral("\nThe curve turns back between the ladder's bands: sizes "
                               "there are not to be trusted; choose a lower degree.");
    m_caption->setText(text);

    const std::vector<LadderPoint>& points = calibration.points();
    double lowY = 1e300;
    double highY = -1e300;
    for (const LadderPoint& p : points) {
        const double y = std::log10(p.size);
        m_points->append(p.rf, y);
        lowY = std::min(lowY, y);
        highY = std::max(highY, y);
    }
    const double from = calibration.minRf();
    const double to = calibration.maxRf();
    constexpr int Steps = 100;
    for (int i = 0; i <= Steps; ++i) {
        const double rf = from + (to - from) * i / Steps;
        if (const std::optional<double> y = calibration.logSizeAt(rf)) {
            m_curve->append(rf, *y);
            lowY = std::min(lowY, *y);
            highY = std::max(highY, *y);
        }
    }
    const double padX = std::max(0.02, (to - from) * 0.05);
    const double padY = std::max(0.05, (highY - lowY) * 0.05);
    m_axisX->setRange(from - padX, to + padX);
    m_axisY->setRange(lowY - padY, highY + padY);

    const std::vector<double> residuals = calibration.residualsPercent();
    const std::vector<std::optional<double>> leftOut = calibration.leaveOneOutPercent();
    const auto percent = [](double value) {
        return QString::number(value, 'f', 1) + QStringLiteral(" %");
    };
    m_table->setRowCount(int(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) {
        const int row = int(i);
        m_table->setItem(row, 0, new QTableWidgetItem(bandSizeText(points[i].size, unit)));
        m_table->setItem(row, 1, new QTableWidgetItem(QString::number(points[i].rf, 'f', 3)));
        m_table->setItem(
            row, 2, new QTableWidgetItem(i < residuals.size() ? percent(residuals[i]) : QString()));
        m_table->setItem(row, 3,
                         new QTableWidgetItem(i < leftOut.size() && leftOut[i]
                                                  ? percent(*leftOut[i])
                                                  : QStringLiteral("-")));
    }
}

} // namespace kesto
