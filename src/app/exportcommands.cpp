#include "app/exportcommands.h"

#include "app/frmscan.h"
#include "app/picturebox.h"
#include "components/prompts.h"
#include "components/worksheet.h"
#include "core/analysisreport.h"
#include "core/figure.h"
#include "core/measurementsession.h"
#include "core/sampletable.h"
#include "report/frmreport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QSpinBox>

#include <optional>

namespace kesto::commands {

namespace {

enum LabelChoice { NoLabels, LaneNumbers, SampleNames };

// The choices of the last export in this run of the program.
struct ExportChoices
{
    FigureOptions figure;
    int labels = LaneNumbers;
    bool frameOnly = false;
};
ExportChoices& lastChoices()
{
    static ExportChoices choices;
    return choices;
}

// The overlays dialog; false when cancelled.
bool chooseOverlays(frmScan& form, ExportChoices& choices)
{
    QDialog dialog(&form);
    dialog.setObjectName(QStringLiteral("dlgExportFigure"));
    dialog.setWindowTitle(QStringLiteral("Export Figure"));
    auto* form_ = new QFormLayout(&dialog);
    auto* labels = new QComboBox(&dialog);
    labels->setObjectName(QStringLiteral("cboLabels"));
    labels->addItems({QStringLiteral("None"), QStringLiteral("Lane numbers"),
                      QStringLiteral("Sample names from a table file...")});
    labels->setCurrentIndex(choices.labels);
    form_->addRow(QStringLiteral("Lane &labels:"), labels);
    const auto box = [&](const char* name, const QString& text, bool on) {
        auto* check = new QCheckBox(text, &dialog);
        check->setObjectName(QLatin1String(name));
        check->setChecked(on);
        form_->addRow(check);
        return check;
    };
    QCheckBox* ticks = box("chkTicks", QStringLiteral("Ladder sizes as &ticks at the side"),
                           choices.figure.sizeTicks);
    QCheckBox* outlines =
        box("chkOutlines", QStringLiteral("Found bands' &outlines"), choices.figure.bandOutlines);
    QCheckBox* scale =
        box("chkScale", QStringLiteral("Display levels &bar"), choices.figure.levelsScale);
    QCheckBox* caption =
        box("chkCaption", QStringLiteral("&Caption stating the levels"), choices.figure.caption);
    QCheckBox* frame =
        box("chkFrameOnly", QStringLiteral("Only the scan &frame's area"), choices.frameOnly);
    auto* dpi = new QSpinBox(&dialog);
    dpi->setObjectName(QStringLiteral("spnDpi"));
    dpi->setRange(FigureOptions::MinDpi, FigureOptions::MaxDpi);
    dpi->setValue(choices.figure.dpi);
    dpi->setSuffix(QStringLiteral(" dpi"));
    form_->addRow(QStringLiteral("&Resolution:"), dpi);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form_->addRow(buttons);
    if (Prompts::current().execDialog(dialog) != QDialog::Accepted)
        return false;
    choices.labels = labels->currentIndex();
    choices.figure.sizeTicks = ticks->isChecked();
    choices.figure.bandOutlines = outlines->isChecked();
    choices.figure.levelsScale = scale->isChecked();
    choices.figure.caption = caption->isChecked();
    choices.frameOnly = frame->isChecked();
    choices.figure.dpi = dpi->value();
    return true;
}

void warn(frmScan& form, const QString& text)
{
    Prompts::current().message(&form, text, appTitle(), MessageButtons::Ok, MessageIcon::Warning);
}

// The sample table a person picks for the labels; nullopt when cancelled or unreadable
// (the person was told why).
std::optional<SampleTable> askSampleTable(frmScan& form)
{
    const QString path = Prompts::current().openFileName(
        &form, QStringLiteral("Sample Names"), QString(),
        {QStringLiteral("Sample tables (*.tsv *.txt)"), QStringLiteral("All files (*)")}, 0);
    if (path.isEmpty())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > 4 * 1024 * 1024) {
        warn(form, QStringLiteral("Cannot read the sample table:\r\n") + path);
        return std::nullopt;
    }
    try {
        return parseSampleTable(QString::fromUtf8(file.readAll()), QFileInfo(path).fileName());
    } catch (const Error& error) {
        warn(form, error.message());
        return std::nullopt;
    }
}

} // namespace

bool exportFigure(frmScan& form)
{
    MeasurementSession& session = form.session();
    if (!session.hasPicture()) {
        Prompts::current().message(&form, QStringLiteral("Open a gel picture first."), appTitle(),
                                   MessageButtons::Ok, MessageIcon::Information);
        return false;
    }
    ExportChoices choices = lastChoices();
    if (!chooseOverlays(form, choices))
        return false;
    std::optional<SampleTable> samples;
    if (choices.labels == SampleNames) {
        // The session's own table, else one from a file.
        samples = session.sampleTable().isEmpty()
                      ? askSampleTable(form)
                      : std::optional<SampleTable>(session.sampleTable());
        if (!samples)
            return false;
    }
    FigureOptions options = choices.figure;
    options.labels = choices.labels == NoLabels      ? FigureLabels::None
                     : choices.labels == SampleNames ? FigureLabels::Samples
                                                     : FigureLabels::Numbers;
    if (choices.frameOnly) {
        const FrameGeometry f = session.frame();
        options.region = QRect(int(f.left), int(f.top), int(f.width) + 1, int(f.height) + 1)
                             .intersected(session.picture().rect());
    }
    lastChoices() = choices;

    int filter = 0;
    QString path = Prompts::current().saveFileName(
        &form, QStringLiteral("Export Figure"), QString(),
        {QStringLiteral("PNG picture (*.png)"), QStringLiteral("SVG drawing (*.svg)"),
         QStringLiteral("PDF document (*.pdf)")},
        filter);
    if (path.isEmpty())
        return false;
    if (!figureFormatOf(path))
        path += filter == 1   ? QStringLiteral(".svg")
                : filter == 2 ? QStringLiteral(".pdf")
                              : QStringLiteral(".png");
    try {
        const FigureContent content =
            figureContent(session, form.picImage->levels(), options, samples ? &*samples : nullptr);
        writeFigure(path, content, options);
    } catch (const Error& error) {
        warn(form, QStringLiteral("Cannot export the figure:\r\n") + error.message());
        return false;
    }
    return true;
}

bool exportReportPdf(frmScan& form)
{
    int filter = 0;
    QString path =
        Prompts::current().saveFileName(&form, QStringLiteral("Export Report (PDF)"), QString(),
                                        {QStringLiteral("PDF document (*.pdf)")}, filter);
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0)
        path += QStringLiteral(".pdf");
    ReportInputs inputs;
    inputs.levels = form.picImage->levels();
    inputs.figure = lastChoices().figure;
    inputs.figure.labels =
        lastChoices().labels == NoLabels ? FigureLabels::None : FigureLabels::Numbers;
    if (frmReport* report = frmReport::existing())
        inputs.reportTable = &report->f1Report->data();
    try {
        writeReportPdf(sessionReport(form.session(), inputs), path);
    } catch (const Error& error) {
        warn(form, QStringLiteral("Cannot export the report:\r\n") + error.message());
        return false;
    }
    return true;
}

} // namespace kesto::commands
