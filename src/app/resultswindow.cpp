#include "app/resultswindow.h"

#include "app/chartexport.h"
#include "app/frmscan.h"
#include "app/standardcurvetab.h"
#include "components/prompts.h"
#include "core/error.h"
#include "core/gelimage.h"
#include "core/measurementrecord.h"
#include "core/measurementsession.h"
#include "core/numbers.h"
#include "core/resultsfile.h"
#include "core/sessionresults.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPen>
#include <QPushButton>
#include <QSaveFile>
#include <QScatterSeries>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QUndoStack>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace kesto {

namespace {

enum SampleColumn {
    ColLane,
    ColSample,
    ColGroup,
    ColReplicate,
    ColRole,
    ColAmount,
    ColUnit,
    ColNotes,
    ColCount
};

// The largest sample table file read.
constexpr qint64 MaxSampleFileBytes = 4 * 1024 * 1024;

const QColor FlaggedColour(255, 224, 178);
const QColor LeftOutText(128, 128, 128);

QString sampleTableFilter()
{
    return QStringLiteral("Sample tables (*.tsv *.txt)");
}

QString laneName(int lane, int blot)
{
    return blot == 0 ? QString::number(lane + 1)
                     : QStringLiteral("%1 (blot %2)").arg(lane + 1).arg(blot + 1);
}

// The tip of a lane's result: what it is and where each of its numbers came from.
QString laneTip(const LaneResult& lane)
{
    QStringList lines;
    lines << QStringLiteral("Lane %1: %2")
                 .arg(laneName(lane.lane, lane.blot),
                      lane.sample.isEmpty() ? QStringLiteral("(no name)") : lane.sample);
    if (!lane.group.isEmpty())
        lines << QStringLiteral("Group %1, replicate %2").arg(lane.group).arg(lane.replicate);
    if (lane.reference)
        lines << QStringLiteral("A reference lane");
    if (!lane.targetTrace.isEmpty())
        lines << QStringLiteral("Target: ") + lane.targetTrace;
    if (!lane.controlTrace.isEmpty())
        lines << QStringLiteral("Control: ") + lane.controlTrace;
    if (lane.blotScale != 1)
        lines << QStringLiteral("Blot scale: ") + doubleText(lane.blotScale);
    for (const QString& flag : lane.flags)
        lines << QStringLiteral("Flagged: ") + flag;
    if (lane.leftOut)
        lines << QStringLiteral("Left out of its group") +
                     (lane.reason.isEmpty() ? QString() : QStringLiteral(": ") + lane.reason);
    else if (!lane.reason.isEmpty())
        lines << lane.reason;
    return lines.join(QLatin1Char('\n'));
}

QString groupTip(const Results& results, const GroupResult& group)
{
    QStringList lines;
    lines << QStringLiteral("Group %1%2")
                 .arg(group.group, group.reference ? QStringLiteral(" (reference)") : QString());
    QStringList counted;
    for (int i : group.lanes)
        counted << laneName(results.lanes[std::size_t(i)].lane, results.lanes[std::size_t(i)].blot);
    lines << QStringLiteral("Counted: lane%1 %2")
                 .arg(counted.size() == 1 ? QString() : QStringLiteral("s"),
                      counted.isEmpty() ? QStringLiteral("none")
                                        : counted.join(QStringLiteral(", ")));
    for (int i : group.allLanes) {
        const LaneResult& lane = results.lanes[std::size_t(i)];
        if (lane.leftOut)
            lines << QStringLiteral("Left out: lane %1 (%2)")
                         .arg(laneName(lane.lane, lane.blot), lane.reason);
    }
    for (int i : group.lanes) {
        const LaneResult& lane = results.lanes[std::size_t(i)];
        lines << QStringLiteral("Lane %1 target: %2")
                     .arg(laneName(lane.lane, lane.blot), lane.targetTrace);
        if (!lane.controlTrace.isEmpty())
            lines << QStringLiteral("Lane %1 control: %2")
                         .arg(laneName(lane.lane, lane.blot), lane.controlTrace);
    }
    return lines.join(QLatin1Char('\n'));
}

void fillTextTable(QTableWidget* table, const QList<QStringList>& cells)
{
    table->clear();
    table->setRowCount(cells.isEmpty() ? 0 : int(cells.size()) - 1);
    table->setColumnCount(cells.isEmpty() ? 0 : int(cells.first().size()));
    if (cells.isEmpty())
        return;
    table->setHorizontalHeaderLabels(cells.first());
    for (int r = 1; r < cells.size(); ++r)
        for (int c = 0; c < cells.at(r).size() && c < table->columnCount(); ++c)
            table->setItem(r - 1, c, new QTableWidgetItem(cells.at(r).at(c)));
}

void setRowLook(QTableWidget* table, int row, const QString& tip, bool flagged, bool leftOut)
{
    for (int c = 0; c < table->columnCount(); ++c) {
        QTableWidgetItem* item = table->item(row, c);
        if (!item) {
            item = new QTableWidgetItem;
            table->setItem(row, c, item);
        }
        item->setToolTip(tip);
        if (flagged)
            item->setBackground(FlaggedColour);
        if (leftOut)
            item->setForeground(LeftOutText);
    }
}

QComboBox* choiceBox(QWidget* parent, const char* name, const QString& tip)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setToolTip(tip);
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return box;
}

// Choices offered: bands 1 to `bands`, then what the list adds, then the current one
// when it is none of them, then "Other..." to type one.
void fillChoiceBox(QComboBox* box, int bands, const std::vector<BandChoice>& extra,
                   const BandChoice& current)
{
    box->clear();
    std::vector<BandChoice> choices;
    for (int k = 0; k < std::max(bands, 1); ++k)
        choices.push_back(BandChoice::nth(k));
    choices.insert(choices.end(), extra.begin(), extra.end());
    if (std::find(choices.begin(), choices.end(), current) == choices.end())
        choices.push_back(current);
    for (const BandChoice& choice : choices)
        box->addItem(bandChoiceLabel(choice), bandChoiceText(choice));
    box->addItem(QStringLiteral("Other..."), QString());
    box->setCurrentIndex(box->findData(bandChoiceText(current)));
}

} // namespace

ResultsWindow& ResultsWindow::of(frmScan& form)
{
    if (auto* window = form.findChild<ResultsWindow*>(QString(), Qt::FindDirectChildrenOnly))
        return *window;
    return *new ResultsWindow(form);
}

// A window of its own, as a document beside the picture (tables and a chart the person
// reads, resizes and maximizes, with keys of its own), not a palette: it is a normal
// top-level window whose parent is the main window, so it stays with it and above it.
ResultsWindow::ResultsWindow(frmScan& form)
    : QWidget(&form, Qt::Window), m_form(form), m_session(form.session())
{
    setObjectName(QStringLiteral("frmResults"));
    setWindowTitle(QStringLiteral("Results"));

    // What the result is made of.
    m_target = choiceBox(this, "cboTarget", QStringLiteral("The band measured in each lane"));
    m_control = choiceBox(this, "cboControl",
                          QStringLiteral("The loading control each lane's target is divided by: a "
                                         "housekeeping band, the lane's total, or none"));
    m_reference = choiceBox(this, "cboReference",
                            QStringLiteral("The group the others are relative to; its lanes' "
                                           "mean control makes each factor"));
    m_excludeFlagged = new QCheckBox(QStringLiteral("&Leave flagged lanes out"), this);
    m_excludeFlagged->setObjectName(QStringLiteral("chkExcludeFlagged"));
    m_excludeFlagged->setToolTip(QStringLiteral("Lanes whose target or control is saturated or "
                                                "could not be measured are marked either way"));
    m_spread = choiceBox(this, "cboSpread", QStringLiteral("What the chart draws round each mean"));
    m_spread->addItem(QStringLiteral("± SD"), int(Spread::SD));
    m_spread->addItem(QStringLiteral("± SEM"), int(Spread::SEM));
    for (QComboBox* box : {m_target, m_control, m_reference, m_spread})
        connect(box, &QComboBox::activated, this, &ResultsWindow::choicesEdited);
    connect(m_excludeFlagged, &QCheckBox::toggled, this, [this] {
        if (!m_filling)
            choicesEdited();
    });
    m_stainLine = new QLabel(this);
    m_stainLine->setObjectName(QStringLiteral("lblStainPicture"));
    auto* stainRow = new QHBoxLayout;
    stainRow->addWidget(m_stainLine, 1);
    auto* stainButton = new QPushButton(QStringLiteral("Stai&n Picture..."), this);
    stainButton->setObjectName(QStringLiteral("btnStainPicture"));
    stainButton->setToolTip(QStringLiteral("A total-protein stain of the same membrane, the "
                                           "picture's size: its lane totals as the control"));
    connect(stainButton, &QPushButton::clicked, this, &ResultsWindow::openStainPicture);
    stainRow->addWidget(stainButton);
    auto* choices = new QFormLayout;
    choices->addRow(QStringLiteral("&Target:"), m_target);
    choices->addRow(QStringLiteral("&Control:"), m_control);
    choices->addRow(QStringLiteral("&Reference:"), m_reference);
    choices->addRow(QStringLiteral("Stain:"), stainRow);
    choices->addRow(QStringLiteral("&Spread:"), m_spread);
    choices->addRow(QString(), m_excludeFlagged);

    const auto button = [this](const char* name, const QString& text,
                               void (ResultsWindow::*slot)()) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    auto* sampleButtons = new QHBoxLayout;
    sampleButtons->addWidget(button("btnFillPattern", QStringLiteral("&Fill by Pattern..."),
                                    &ResultsWindow::fillByPattern));
    sampleButtons->addWidget(
        button("btnPasteSamples", QStringLiteral("&Paste"), &ResultsWindow::pasteTable));
    sampleButtons->addWidget(
        button("btnImportSamples", QStringLiteral("&Import..."), &ResultsWindow::importTable));
    sampleButtons->addWidget(
        button("btnExportSamples", QStringLiteral("E&xport..."), &ResultsWindow::exportTable));
    sampleButtons->addStretch();

    m_samples = new QTableWidget(0, ColCount, this);
    m_samples->setObjectName(QStringLiteral("tblSamples"));
    m_samples->setHorizontalHeaderLabels({QStringLiteral("Lane"), QStringLiteral("Sample"),
                                          QStringLiteral("Group"), QStringLiteral("Replicate"),
                                          QStringLiteral("Role"), QStringLiteral("Amount"),
                                          QStringLiteral("Unit"), QStringLiteral("Notes")});
    m_samples->horizontalHeaderItem(ColRole)->setToolTip(
        QStringLiteral("sample, ladder, standard, blank or excluded"));
    m_samples->verticalHeader()->hide();
    m_samples->horizontalHeader()->setStretchLastSection(true);
    connect(m_samples, &QTableWidget::cellChanged, this, &ResultsWindow::sampleCellEdited);

    auto* sampleTab = new QWidget(this);
    auto* sampleLayout = new QVBoxLayout(sampleTab);
    sampleLayout->addLayout(sampleButtons);
    sampleLayout->addWidget(m_samples);

    m_lanes = new QTableWidget(this);
    m_lanes->setObjectName(QStringLiteral("tblLaneResults"));
    m_groups = new QTableWidget(this);
    m_groups->setObjectName(QStringLiteral("tblGroupResults"));
    m_lanes->setToolTip(QStringLiteral("Double-click a lane to pick its own target bands"));
    connect(m_lanes, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { pickTargetBands(row); });
    for (QTableWidget* table : {m_lanes, m_groups}) {
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->verticalHeader()->hide();
        connect(table, &QTableWidget::currentCellChanged, this,
                [this, table](int row, int column) { showDetails(table, row, column); });
    }
    auto* resultTabs = new QTabWidget(this);
    resultTabs->addTab(sampleTab, QStringLiteral("Samples"));
    resultTabs->addTab(m_lanes, QStringLiteral("Lanes"));
    resultTabs->addTab(m_groups, QStringLiteral("Groups"));
    m_curveTab = new StandardCurveTab(form, this);
    resultTabs->addTab(m_curveTab, QStringLiteral("Standard cur&ve"));
    resultTabs->setCurrentIndex(0);

    m_details = new QLabel(this);
    m_details->setObjectName(QStringLiteral("lblResultDetails"));
    m_details->setWordWrap(true);
    m_details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblResultStatus"));
    m_status->setWordWrap(true);

    m_chart = new QChart;
    m_chart->setTitle(QStringLiteral("Relative to the reference"));
    m_view = new QChartView(m_chart, this);
    m_view->setObjectName(QStringLiteral("chartResults"));
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setMinimumSize(360, 260);

    auto* saveButtons = new QHBoxLayout;
    saveButtons->addStretch();
    saveButtons->addWidget(
        button("btnSaveChart", QStringLiteral("Save C&hart..."), &ResultsWindow::saveChart));
    saveButtons->addWidget(
        button("btnSaveTables", QStringLiteral("Save T&ables..."), &ResultsWindow::saveTables));

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addLayout(choices);
    leftLayout->addWidget(resultTabs, 1);
    leftLayout->addWidget(m_details);
    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(m_view, 1);
    rightLayout->addWidget(m_status);
    rightLayout->addLayout(saveButtons);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(left);
    splitter->addWidget(right);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
    resize(980, 560);

    // Any change to the bands, the lanes, the picture, the table or the choices, and any
    // step undone or redone, makes the results again once the change is complete.
    m_refresh = new QTimer(this);
    m_refresh->setSingleShot(true);
    m_refresh->setInterval(0);
    connect(m_refresh, &QTimer::timeout, this, &ResultsWindow::refresh);
    for (auto signal : {&MeasurementSession::pictureChanged, &MeasurementSession::backgroundChanged,
                        &MeasurementSession::proposalsChanged, &MeasurementSession::lanesChanged,
                        &MeasurementSession::sampleTableChanged,
                        &MeasurementSession::resultOptionsChanged, &MeasurementSession::changed})
        connect(&m_session, signal, this, &ResultsWindow::scheduleRefresh);
    if (QUndoStack* stack = form.undoStack())
        connect(stack, &QUndoStack::indexChanged, this, &ResultsWindow::scheduleRefresh);
    hide();
}

void ResultsWindow::scheduleRefresh()
{
    // A hidden window is made again when it is shown (Image -> Results...).
    if (isVisible())
        m_refresh->start();
}

QString ResultsWindow::status() const
{
    return m_status->text();
}

void ResultsWindow::refresh()
{
    m_refresh->stop();
    m_filling = true;
    fillChoices();
    fillSampleTable();
    m_filling = false;
    try {
        m_results = sessionResults(m_session);
        QStringList notes = m_results->notes;
        m_status->setText(notes.join(QLatin1Char('\n')));
    } catch (const Error& e) {
        m_results.reset();
        m_status->setText(e.message());
    }
    fillResults();
    fillChart();
    m_curveTab->refresh(m_results ? &*m_results : nullptr, m_lanes);
}

void ResultsWindow::fillChoices()
{
    const ResultOptions& options = m_session.resultOptions();
    const int bands = m_session.proposals().mostBands();
    fillChoiceBox(m_target, bands, {BandChoice::laneTotal()}, options.target);
    const StainPicture& stain = m_session.stainPicture();
    std::vector<BandChoice> controls{BandChoice::none(), BandChoice::laneTotal()};
    if (!stain.isNull())
        controls.push_back(BandChoice::stain());
    fillChoiceBox(m_control, bands, controls, options.control);
    m_stainLine->setText(stain.isNull() ? QStringLiteral("none")
                                        : QStringLiteral("%1 (%2 lanes seen on it)")
                                              .arg(QFileInfo(stain.path).fileName())
                                              .arg(stain.lanes));
    m_stainLine->setToolTip(stain.path);
    m_reference->clear();
    m_reference->addItem(QStringLiteral("First group"), QString());
    for (const QString& group : m_session.sampleTable().groups())
        if (!group.isEmpty())
            m_reference->addItem(group, resultReferenceText(ResultReference{group, -1, 0}));
    const QString reference =
        options.reference == ResultReference() ? QString() : resultReferenceText(options.reference);
    if (m_reference->findData(reference) < 0)
        m_reference->addItem(reference, reference);
    m_reference->setCurrentIndex(m_reference->findData(reference));
    m_spread->setCurrentIndex(m_spread->findData(int(options.spread)));
    m_excludeFlagged->setChecked(options.excludeFlagged);
}

void ResultsWindow::choicesEdited()
{
    if (m_filling)
        return;
    ResultOptions options = m_session.resultOptions();
    QString why;
    for (auto [box, choice, what] :
         {std::tuple{m_target, &options.target, QStringLiteral("target")},
          std::tuple{m_control, &options.control, QStringLiteral("control")}}) {
        QString text = box->currentData().toString();
        if (text.isEmpty()) {
            // "Other...": a choice typed as the command line takes it.
            const std::optional<QString> typed = Prompts::current().inputText(
                this,
                QStringLiteral("The %1 as band:K, size:S, bands:K,L,..., lane-total or none:")
                    .arg(what),
                QStringLiteral("Results"), bandChoiceText(*choice));
            if (!typed) {
                refresh();
                return;
            }
            text = *typed;
        }
        const std::optional<BandChoice> parsed = parseBandChoice(text, &why);
        if (!parsed) {
            warn(QStringLiteral("The %1 cannot be \"%2\": %3").arg(what, text, why));
            refresh();
            return;
        }
        *choice = *parsed;
    }
    const QString reference = m_reference->currentData().toString();
    if (reference.isEmpty()) {
        options.reference = ResultReference();
    } else if (const std::optional<ResultReference> parsed =
                   parseResultReference(reference, &why)) {
        options.reference = *parsed;
    }
    options.spread = Spread(m_spread->currentData().toInt());
    options.excludeFlagged = m_excludeFlagged->isChecked();
    m_session.setResultOptions(options);
    commit(QStringLiteral("Result Choices"));
}

void ResultsWindow::fillSampleTable()
{
    const QSignalBlocker blocker(m_samples);
    const SampleTable& table = m_session.sampleTable();
    // A row per lane found, and one for every row of the table beyond them.
    std::vector<std::pair<int, int>> keys; // blot, lane
    for (int lane = 0; lane < m_session.proposals().laneCount(); ++lane)
        keys.emplace_back(0, lane);
    for (const SampleRow& row : table.rows())
        if (std::find(keys.begin(), keys.end(), std::pair(row.blot, row.lane)) == keys.end())
            keys.emplace_back(row.blot, row.lane);
    std::sort(keys.begin(), keys.end());
    m_samples->setRowCount(int(keys.size()));
    for (int r = 0; r < int(keys.size()); ++r) {
        const auto [blot, lane] = keys[std::size_t(r)];
        const SampleRow* row = table.rowFor(lane, blot);
        QStringList cells(ColCount);
        cells[ColLane] = laneName(lane, blot);
        if (row) {
            cells[ColSample] = row->sample;
            cells[ColGroup] = row->group;
            cells[ColReplicate] = row->replicate > 0 ? QString::number(row->replicate) : QString();
            cells[ColRole] = sampleRoleText(row->role);
            cells[ColAmount] = row->amount ? doubleText(*row->amount) : QString();
            cells[ColUnit] = row->unit;
            cells[ColNotes] = row->notes;
        }
        for (int c = 0; c < ColCount; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == ColLane) {
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
                item->setData(Qt::UserRole, lane);
                item->setData(Qt::UserRole + 1, blot);
                if (blot == 0 && lane >= m_session.proposals().laneCount()) {
                    item->setForeground(LeftOutText);
                    item->setToolTip(
                        QStringLiteral("No lane %1 was found on the picture").arg(lane + 1));
                }
            }
            m_samples->setItem(r, c, item);
        }
    }
}

void ResultsWindow::sampleCellEdited(int r, int)
{
    if (m_filling)
        return;
    const auto text = [this, r](int c) {
        const QTableWidgetItem* item = m_samples->item(r, c);
        return item ? item->text().trimmed() : QString();
    };
    SampleRow row;
    row.lane = m_samples->item(r, ColLane)->data(Qt::UserRole).toInt();
    row.blot = m_samples->item(r, ColLane)->data(Qt::UserRole + 1).toInt();
    row.sample = text(ColSample);
    row.group = text(ColGroup);
    row.unit = text(ColUnit);
    row.notes = text(ColNotes);
    QString fault;
    if (!text(ColReplicate).isEmpty()) {
        bool ok = false;
        row.replicate = text(ColReplicate).toInt(&ok);
        if (!ok)
            fault = QStringLiteral("the replicate is not a whole number");
    }
    if (!text(ColRole).isEmpty()) {
        QString why;
        if (const std::optional<SampleRole> role = parseSampleRole(text(ColRole), &why))
            row.role = *role;
        else
            fault = why;
    }
    if (!text(ColAmount).isEmpty()) {
        bool ok = false;
        row.amount = text(ColAmount).toDouble(&ok);
        if (!ok)
            fault = QStringLiteral("the amount is not a number");
    }
    if (fault.isEmpty())
        fault = sampleRowFault(row);
    if (!fault.isEmpty()) {
        warn(QStringLiteral("Lane %1: %2.").arg(laneName(row.lane, row.blot), fault));
        refresh();
        return;
    }
    std::vector<SampleRow> rows;
    for (const SampleRow& old : m_session.sampleTable().rows())
        if (old.lane != row.lane || old.blot != row.blot)
            rows.push_back(old);
    // A row emptied of everything it says is no row.
    const bool empty = row.sample.isEmpty() && row.group.isEmpty() && row.replicate == 0 &&
                       text(ColRole).isEmpty() && !row.amount && row.unit.isEmpty() &&
                       row.notes.isEmpty();
    if (!empty)
        rows.push_back(row);
    m_session.setSampleTable(SampleTable(std::move(rows)));
    commit(QStringLiteral("Edit Sample Table"));
}

void ResultsWindow::fillResults()
{
    m_details->clear();
    if (!m_results) {
        fillTextTable(m_lanes, {});
        fillTextTable(m_groups, {});
        return;
    }
    const Results& results = *m_results;
    fillTextTable(m_lanes, resultLaneTable(results));
    for (int r = 0; r < m_lanes->rowCount() && r < int(results.lanes.size()); ++r) {
        const LaneResult& lane = results.lanes[std::size_t(r)];
        setRowLook(m_lanes, r, laneTip(lane), !lane.flags.isEmpty(), lane.leftOut);
    }
    fillTextTable(m_groups, resultGroupTable(results));
    for (int r = 0; r < m_groups->rowCount() && r < int(results.groups.size()); ++r) {
        const GroupResult& group = results.groups[std::size_t(r)];
        bool flagged = false;
        for (int i : group.lanes)
            flagged = flagged || !results.lanes[std::size_t(i)].flags.isEmpty();
        setRowLook(m_groups, r, groupTip(results, group), flagged, false);
    }
    for (QTableWidget* table : {m_lanes, m_groups})
        table->resizeColumnsToContents();
}

void ResultsWindow::showDetails(QTableWidget* table, int row, int column)
{
    const QTableWidgetItem* item = row >= 0 && column >= 0 ? table->item(row, column) : nullptr;
    m_details->setText(item ? item->toolTip() : QString());
}

void ResultsWindow::fillChart()
{
    m_chart->removeAllSeries();
    for (QAbstractAxis* axis : m_chart->axes()) {
        m_chart->removeAxis(axis);
        delete axis;
    }
    m_points = new QScatterSeries;
    m_points->setName(QStringLiteral("Replicates"));
    m_points->setMarkerSize(9);
    m_points->setColor(QColor(0x20, 0x9f, 0xdf));
    auto* leftOut = new QScatterSeries;
    leftOut->setName(QStringLiteral("Left out"));
    leftOut->setMarkerSize(9);
    leftOut->setColor(Qt::white);
    leftOut->setBorderColor(LeftOutText);
    auto* means = new QScatterSeries;
    means->setName(QStringLiteral("Mean"));
    means->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    means->setMarkerSize(7);
    means->setColor(Qt::black);
    auto* axisX = new QCategoryAxis;
    axisX->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    auto* axisY = new QValueAxis;
    const Spread spread = m_session.resultOptions().spread;
    m_chart->addAxis(axisX, Qt::AlignBottom);
    m_chart->addAxis(axisY, Qt::AlignLeft);
    const auto add = [this, axisX, axisY](QAbstractSeries* series) {
        m_chart->addSeries(series);
        series->attachAxis(axisX);
        series->attachAxis(axisY);
    };

    double low = 0;
    double high = 1.5;
    int groupCount = 0;
    if (m_results) {
        const Results& results = *m_results;
        // Relative to the reference: the reference group's mean is 1.
        const double scale =
            results.referenceValue && *results.referenceValue > 0 ? *results.referenceValue : 1;
        axisY->setTitleText(scale != 1 ? QStringLiteral("Relative to the reference")
                                       : QStringLiteral("Normalized value"));
        groupCount = int(results.groups.size());
        for (int g = 0; g < groupCount; ++g) {
            const GroupResult& group = results.groups[std::size_t(g)];
            axisX->append(group.group.isEmpty() ? QStringLiteral("(no group)") : group.group, g);
            // Replicates side by side just left of the group's mean and its bar, so equal
            // values stay apart and none hides behind the mean.
            const int count = int(group.allLanes.size());
            for (int k = 0; k < count; ++k) {
                const LaneResult& lane = results.lanes[std::size_t(group.allLanes[std::size_t(k)])];
                if (!lane.normalized)
                    continue;
                const double x = g - 0.14 - (count > 1 ? (count - 1 - k) * 0.16 / (count - 1) : 0);
                const double y = *lane.normalized / scale;
                (lane.leftOut ? leftOut : m_points)->append(x, y);
                low = std::min(low, y);
                high = std::max(high, y);
            }
            if (!group.mean)
                continue;
            const double mean = *group.mean / scale;
            means->append(g, mean);
            high = std::max(high, mean);
            if (const std::optional<double> s = group.spread(spread)) {
                auto* bar = new QLineSeries;
                bar->setName(spreadText(spread));
                bar->setPen(QPen(Qt::black, 1.5));
                const double d = *s / scale;
                bar->append(g - 0.08, mean + d);
                bar->append(g + 0.08, mean + d);
                bar->append(g, mean + d);
                bar->append(g, mean - d);
                bar->append(g - 0.08, mean - d);
                bar->append(g + 0.08, mean - d);
                add(bar);
                low = std::min(low, mean - d);
                high = std::max(high, mean + d);
            }
        }
    }
    auto* reference = new QLineSeries;
    reference->setName(QStringLiteral("Reference = 1"));
    reference->setPen(QPen(QColor(200, 0, 0), 1, Qt::DashLine));
    reference->append(-0.5, 1);
    reference->append(std::max(groupCount, 1) - 0.5, 1);
    add(reference);
    add(m_points);
    add(leftOut);
    add(means);
    axisX->setRange(-0.5, std::max(groupCount, 1) - 0.5);
    axisY->setRange(low, high * 1.1);
    // The legend names the markers; the error bars are one entry each, so they are left out.
    for (QLegendMarker* marker : m_chart->legend()->markers())
        marker->setVisible(marker->series() == m_points || marker->series() == leftOut ||
                           marker->series() == means || marker->series() == reference);
    m_chart->setTitle(spread == Spread::SD ? QStringLiteral("Replicates, mean ± SD")
                                           : QStringLiteral("Replicates, mean ± SEM"));
}

void ResultsWindow::fillByPattern()
{
    Prompts& prompts = Prompts::current();
    const QString title = QStringLiteral("Fill by Pattern");
    const auto number = [&](const QString& prompt, const QString& start, int low,
                            int high) -> std::optional<int> {
        const std::optional<QString> text = prompts.inputText(this, prompt, title, start);
        if (!text)
            return std::nullopt;
        bool ok = false;
        const int value = text->trimmed().toInt(&ok);
        if (!ok || value < low || value > high) {
            warn(QStringLiteral("Expected a whole number from %1 to %2, found \"%3\".")
                     .arg(low)
                     .arg(high)
                     .arg(*text));
            return std::nullopt;
        }
        return value;
    };
    const int lanes = m_session.proposals().laneCount();
    const std::optional<int> groups =
        number(QStringLiteral("Groups (conditions):"), QStringLiteral("3"), 1, MaxSampleLane);
    if (!groups)
        return;
    const std::optional<int> replicates =
        number(QStringLiteral("Replicates of each group:"), QStringLiteral("3"), 1, MaxSampleLane);
    if (!replicates)
        return;
    const std::optional<int> order =
        prompts.chooseItem(this, QStringLiteral("Order of the lanes:"), title,
                           {QStringLiteral("Groups together (A1 A2 A3 B1 ...)"),
                            QStringLiteral("Interleaved (A1 B1 C1 A2 ...)")},
                           0);
    if (!order)
        return;
    const std::optional<int> first =
        number(QStringLiteral("First lane:"), QStringLiteral("1"), 1, MaxSampleLane);
    if (!first)
        return;
    const std::optional<QString> names = prompts.inputText(
        this, QStringLiteral("Group names, separated by commas (none: Group 1, Group 2, ...):"),
        title, QString());
    if (!names)
        return;
    QStringList groupNames;
    for (const QString& name : names->split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!name.trimmed().isEmpty())
            groupNames << name.trimmed();
    try {
        const SampleTable table = samplePattern(
            *groups, *replicates, *first - 1,
            *order == 1 ? SampleOrder::Interleaved : SampleOrder::GroupsTogether, groupNames);
        const QString fault = lanes > 0 ? sampleTableFault(table, {lanes}) : QString();
        if (!fault.isEmpty()) {
            warn(QStringLiteral("The pattern does not fit the lanes found: %1.").arg(fault));
            return;
        }
        m_session.setSampleTable(table);
    } catch (const Error& e) {
        warn(e.message());
        return;
    }
    commit(QStringLiteral("Fill Sample Table"));
}

bool ResultsWindow::takeTable(const QString& text, const QString& source)
{
    try {
        const SampleTable table = parseSampleTable(text, source);
        const int lanes = m_session.proposals().laneCount();
        const QString fault = lanes > 0 ? sampleTableFault(table, {lanes}) : QString();
        if (!fault.isEmpty()) {
            warn(QStringLiteral("%1: the table does not fit the lanes found: %2.")
                     .arg(source, fault));
            return false;
        }
        m_session.setSampleTable(table);
    } catch (const Error& e) {
        warn(e.message());
        return false;
    }
    return true;
}

void ResultsWindow::pasteTable()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (text.trimmed().isEmpty()) {
        warn(QStringLiteral("The clipboard holds no text. Copy the table's cells in the "
                            "spreadsheet, with a heading row naming LANE, first."));
        return;
    }
    if (takeTable(text, QStringLiteral("the clipboard")))
        commit(QStringLiteral("Paste Sample Table"));
}

void ResultsWindow::importTable()
{
    const QString path = Prompts::current().openFileName(
        this, QStringLiteral("Import Sample Table"), QString(), {sampleTableFilter()}, 0);
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        warn(QStringLiteral("%1: %2").arg(path, file.errorString()));
        return;
    }
    if (file.size() > MaxSampleFileBytes) {
        warn(QStringLiteral("%1: a sample table is at most %2 MiB")
                 .arg(path)
                 .arg(MaxSampleFileBytes >> 20));
        return;
    }
    if (takeTable(QString::fromUtf8(file.read(MaxSampleFileBytes)), QFileInfo(path).fileName()))
        commit(QStringLiteral("Import Sample Table"));
}

void ResultsWindow::exportTable()
{
    int filter = 0;
    QString path = Prompts::current().saveFileName(this, QStringLiteral("Export Sample Table"),
                                                   QStringLiteral("samples.tsv"),
                                                   {sampleTableFilter()}, filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".tsv");
    QSaveFile file(path);
    const QByteArray bytes = sampleTableText(m_session.sampleTable()).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        warn(QStringLiteral("Cannot save the sample table:\r\n%1\r\n%2")
                 .arg(path, file.errorString()));
}

void ResultsWindow::saveChart()
{
    int filter = 0;
    QString path =
        Prompts::current().saveFileName(this, QStringLiteral("Save Chart"),
                                        QStringLiteral("results.png"), chartFileFilters(), filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + chartFileSuffix(filter);
    saveChartTo(path);
}

bool ResultsWindow::saveChartTo(const QString& path)
{
    QString why;
    if (kesto::saveChart(m_view, path, &why))
        return true;
    warn(QStringLiteral("Cannot save the chart:\r\n") + why);
    return false;
}

void ResultsWindow::saveTables()
{
    if (!m_results) {
        warn(QStringLiteral("There are no results to save: ") + status());
        return;
    }
    int filter = 0;
    QString path = Prompts::current().saveFileName(
        this, QStringLiteral("Save Result Tables"), QStringLiteral("results.xlsx"),
        {QStringLiteral("Excel workbook (*.xlsx)"), QStringLiteral("CSV (*.csv)")}, filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += filter == 1 ? QStringLiteral(".csv") : QStringLiteral(".xlsx");
    saveTablesTo(path);
}

bool ResultsWindow::saveTablesTo(const QString& path)
{
    if (!m_results) {
        warn(QStringLiteral("There are no results to save: ") + status());
        return false;
    }
    try {
        const std::optional<StandardResults>& amounts = m_curveTab->standardResults();
        writeResultsFile(*m_results, path, sheetFileTypeOf(path).value_or(SheetFileType::Csv),
                         amounts ? &*amounts : nullptr);
    } catch (const Error& e) {
        warn(QStringLiteral("Cannot save the result tables:\r\n") + e.message());
        return false;
    }
    return true;
}

void ResultsWindow::openStainPicture()
{
    if (!m_session.hasPicture()) {
        warn(QStringLiteral("Open the blot's picture first: the stain picture's lanes are read "
                            "where the picture's lanes lie."));
        return;
    }
    const QString path = Prompts::current().openFileName(
        this, QStringLiteral("Open Stain Picture"), QString(),
        {QStringLiteral("Pictures (*.bmp *.jpg *.jpeg *.png *.tif *.tiff)"),
         QStringLiteral("All files (*)")},
        0);
    if (path.isEmpty())
        return;
    const GelImageLoad load = loadMeasurementPicture(path);
    if (!load.ok()) {
        warn(QStringLiteral("Cannot open the stain picture %1:\r\n%2").arg(path, load.reason));
        return;
    }
    StainPicture stain;
    try {
        stain = makeStainPicture(load.image, QFileInfo(path).absoluteFilePath(),
                                 m_session.picture(), m_session.channel());
        // Kept in plans, so that a replay knows the stain file again.
        stain.sha256 = fileSha256(path);
    } catch (const Error& e) {
        warn(e.message());
        return;
    }
    // One step: the stain and the control it gives.
    m_session.setStainPicture(stain);
    ResultOptions options = m_session.resultOptions();
    options.control = BandChoice::stain();
    m_session.setResultOptions(options);
    commit(QStringLiteral("Open Stain Picture"));
    const int lanes = int(m_session.lanes().size());
    if (lanes > 0 && stain.lanes != lanes)
        warn(QStringLiteral("The lane finder sees %1 lanes on the stain picture and %2 on the "
                            "picture: check that both show the same membrane, laid the same way. "
                            "Each lane's stain total is read where the picture's lane lies.")
                 .arg(stain.lanes)
                 .arg(lanes));
}

void ResultsWindow::pickTargetBands(int row)
{
    if (!m_results || row < 0 || row >= int(m_results->lanes.size()))
        return;
    const LaneResult& result = m_results->lanes[std::size_t(row)];
    if (result.blot != 0)
        return;
    const int lane = result.lane;
    const auto picked = m_session.targetPicks().find(lane);
    QString now;
    if (picked != m_session.targetPicks().end()) {
        now = bandChoiceText(BandChoice::bands(picked->second));
        now = now.mid(now.indexOf(QLatin1Char(':')) + 1);
    }
    const std::optional<QString> typed = Prompts::current().inputText(
        this,
        QStringLiteral("Target bands of lane %1, top first (2, or 1,3 to sum them; empty: the "
                       "Target box's):")
            .arg(lane + 1),
        QStringLiteral("Pick Target Bands"), now);
    if (!typed)
        return;
    std::vector<int> bands;
    if (!typed->trimmed().isEmpty()) {
        QString why;
        const std::optional<BandChoice> choice =
            parseBandChoice(QStringLiteral("bands:") + typed->trimmed(), &why);
        if (!choice) {
            warn(QStringLiteral("Lane %1's target bands cannot be %2").arg(lane + 1).arg(why));
            return;
        }
        bands = choice->picked;
    }
    // A lane's own bands stand in for a bands target's: a single band target becomes one.
    ResultOptions options = m_session.resultOptions();
    if (!bands.empty() && options.target.kind == BandChoice::Kind::Band) {
        options.target = BandChoice::bands({options.target.band});
    } else if (!bands.empty() && options.target.kind != BandChoice::Kind::Picked) {
        warn(QStringLiteral("A lane's own target bands go with a band target: choose a band in "
                            "the Target box first (the target is now %1).")
                 .arg(bandChoiceLabel(options.target)));
        return;
    }
    m_session.setTargetPicks(lane, bands);
    m_session.setResultOptions(options);
    commit(QStringLiteral("Pick Target Bands"));
}

void ResultsWindow::commit(const QString& text)
{
    m_form.commitUndo(text);
    refresh();
}

void ResultsWindow::warn(const QString& text)
{
    Prompts::current().message(this, text, appTitle(), MessageButtons::Ok, MessageIcon::Warning);
}

} // namespace kesto
