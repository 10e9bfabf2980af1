// frmScan's measurement record: what every value of the sheet came from, its tip and
// origin frame, and measurement plans saved from it and replayed through the window.

#include "app/frmscan.h"

#include "app/mainbar.h"
#include "app/maincommands.h"
#include "components/commandbar.h"
#include "components/prompts.h"
#include "components/worksheet.h"
#include "core/batchmeasure.h"
#include "core/deeppicture.h"
#include "core/error.h"
#include "core/pictureops.h"
#include "core/sheetdata.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace kesto {

namespace {

QStringList planFilters()
{
    return {QStringLiteral("Measurement plans (*.plan)"), QStringLiteral("All files (*)")};
}

} // namespace

void frmScan::rememberPicture(const QString& path)
{
    PictureInverted = false;
    try {
        PictureId = pictureIdentity(picImage->picture(), path);
    } catch (const Error&) {
        // The file went away after loading: its pixels still say which picture it was.
        PictureId = pictureIdentity(picImage->picture(), QString());
        PictureId.path = path;
    }
    hideOrigin();
}

void frmScan::recordScan(const CellAddress& cell, const FrameGeometry& frame, Channel channel,
                         const ScanResult& scan)
{
    MeasurementEntry entry;
    entry.cell = cell;
    entry.text = f1Report->text(cell.row, cell.column);
    entry.time = QDateTime::currentDateTimeUtc();
    entry.picture = PictureId;
    entry.channel = channel;
    entry.inverted = PictureInverted;
    entry.background =
        isDeepPicture(picImage->picture()) ? BackgroundLevels : levelsOf(BackgroundColor);
    entry.picked = BackgroundPicked;
    entry.pickX = PickX;
    entry.pickY = PickY;
    entry.method = ScanBackgroundMethod;
    entry.frame = frame;
    entry.scan = scan;
    Record.add(std::move(entry));
}

void frmScan::recordEdits(int firstRow, int firstColumn, int lastRow, int lastColumn, bool pasted)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    lastRow = qMin(lastRow, f1Report->rowCount());
    lastColumn = qMin(lastColumn, f1Report->columnCount());
    for (int r = firstRow; r <= lastRow; ++r) {
        for (int c = firstColumn; c <= lastColumn; ++c) {
            const QString text = f1Report->text(r, c);
            // Deleting an empty cell changes nothing worth replaying.
            if (text.isEmpty() && !Record.entryAt(r, c))
                continue;
            MeasurementEntry entry;
            entry.cell = CellAddress{r, c};
            entry.text = text;
            entry.source = pasted ? ValueSource::Pasted : ValueSource::Typed;
            entry.time = now;
            Record.add(std::move(entry));
        }
    }
}

QString frmScan::cellTip(int row, int column) const
{
    const MeasurementEntry* entry = Record.entryAt(row, column);
    return entry ? measurementTip(*entry) : QString();
}

void frmScan::showOrigin(int row, int column)
{
    hideOrigin();
    const MeasurementEntry* entry = Record.entryAt(row, column);
    // Only a scan made on the picture that is open has a frame to show on it.
    if (!entry || entry->source != ValueSource::Scan || picImage->picture().isNull() ||
        entry->picture.sha256 != PictureId.sha256)
        return;
    shpOrigin.left = entry->frame.left;
    shpOrigin.top = entry->frame.top;
    shpOrigin.width = entry->frame.width;
    shpOrigin.height = entry->frame.height;
    picImage->update();
}

void frmScan::hideOrigin()
{
    if (shpOrigin.width < 0)
        return;
    shpOrigin.width = -1;
    shpOrigin.height = -1;
    picImage->update();
}

void frmScan::fillMeasurements(SheetData& sheet) const { fillMeasurementSheet(sheet, Record); }

void frmScan::saveMeasurementPlan()
{
    if (Record.history().empty()) {
        Prompts::current().message(this,
                                   QStringLiteral("The sheet holds no recorded values yet: scan "
                                                  "or type a value first."),
                                   appTitle(), MessageButtons::Ok, MessageIcon::Information);
        return;
    }
    int filter = 0;
    QString path = Prompts::current().saveFileName(this, QStringLiteral("Save Measurement Plan"),
                                                   QString(), planFilters(), filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".plan");
    QSaveFile file(path);
    const QByteArray text = measurementPlanText(Record).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        Prompts::current().message(this,
                                   QStringLiteral("Cannot save the measurement plan:\r\n") + path +
                                       QStringLiteral("\r\n") + file.errorString(),
                                   appTitle(), MessageButtons::Ok, MessageIcon::Warning);
    }
}

void frmScan::openMeasurementPlan()
{
    const QString path = Prompts::current().openFileName(
        this, QStringLiteral("Open Measurement Plan"), QString(), planFilters(), 0);
    if (path.isEmpty())
        return;
    const auto warn = [this](const QString& text) {
        Prompts::current().message(this, text, appTitle(), MessageButtons::Ok,
                                   MessageIcon::Warning);
    };
    try {
        const int fullScale = channelFullScale(picImage->picture());
        MeasurementPlan plan = readMeasurementPlan(path, fullScale);
        // The picture the plan names, when the one open is not it and the file is there.
        QByteArray wanted;
        QString named;
        for (const PlanStep& step : plan.steps) {
            if (step.kind == PlanStep::Kind::Picture && named.isEmpty())
                named = step.text;
            if (step.kind == PlanStep::Kind::PictureSha256 && wanted.isEmpty())
                wanted = step.sha256;
        }
        const bool openIsIt = !picImage->picture().isNull() && PictureId.sha256 == wanted;
        if (!openIsIt && !named.isEmpty() && QFileInfo::exists(named)) {
            if (!openPicture(named))
                return;
            // Background colours are in the units of the picture just opened.
            plan = readMeasurementPlan(path, channelFullScale(picImage->picture()));
        }
        if (picImage->picture().isNull()) {
            warn(QStringLiteral("Open the picture the plan was made on first:\r\n") +
                 (named.isEmpty() ? QStringLiteral("(a pasted picture)") : named));
            return;
        }
        try {
            replayPlan(plan, false);
        } catch (const PictureHashError& error) {
            const auto answer = Prompts::current().message(
                this, error.message() + QStringLiteral("\r\n\r\nReplay it on this picture anyway?"),
                appTitle(), MessageButtons::YesNo, MessageIcon::Warning);
            if (answer != MessageAnswer::Yes)
                return;
            replayPlan(plan, true);
        }
    } catch (const Error& error) {
        warn(error.message());
    }
}

void frmScan::replayPlan(const MeasurementPlan& plan, bool ignoreHash)
{
    const QImage& picture = picImage->picture();
    // The hash is checked before anything changes, so a refused plan leaves the sheet.
    bool pasted = false;
    for (const PlanStep& step : plan.steps) {
        if (step.kind == PlanStep::Kind::Picture)
            pasted = step.text.isEmpty();
        if (step.kind != PlanStep::Kind::PictureSha256 || ignoreHash)
            continue;
        QByteArray found = PictureId.sha256;
        if (pasted && !PictureId.fromClipboard()) {
            QImage original = picture;
            if (PictureInverted)
                invertPicture(original);
            found = pixelSha256(original);
        }
        if (found != step.sha256)
            throw PictureHashError(pictureHashMessage(step.where, step.sha256, found),
                                   step.sha256, found);
    }
    // A plan starts where a session on a freshly opened picture starts.
    if (PictureInverted)
        commands::invertColors(*this);
    commands::chooseChannel(*this, QStringLiteral("mnuRed"));
    BackgroundColor = 0;
    BackgroundLevels = ChannelLevels{};
    BackgroundPicked = false;
    LastPick = QPointF(-1, -1);
    setBackgroundMethod(BackgroundMethod{});
    f1Report_Click(1, 2);
    setFrame(RectShape{0, 0, 67, 31, shpPointer.borderColor});

    for (const PlanStep& step : plan.steps) {
        switch (step.kind) {
        case PlanStep::Kind::Channel:
            commands::chooseChannel(*this, step.channel == Channel::Red     ? QStringLiteral("mnuRed")
                                           : step.channel == Channel::Green ? QStringLiteral("mnuGreen")
                                                                            : QStringLiteral("mnuBlue"));
            break;
        case PlanStep::Kind::Invert:
            commands::invertColors(*this);
            break;
        case PlanStep::Kind::Background:
            if (!(step.x >= 0 && step.y >= 0 && double(step.x) < picture.width() &&
                  double(step.y) < picture.height()))
                throw PlanError(step.where +
                                QStringLiteral(": expected a background point on the picture"));
            pickBackgroundAt(step.x, step.y);
            Calculate();
            break;
        case PlanStep::Kind::BackgroundColor:
            if (isDeepPicture(picture)) {
                BackgroundLevels = step.levels;
                BackgroundColor = narrowedColor(step.levels);
            } else {
                BackgroundColor = step.colour;
                BackgroundLevels = widenedLevels(step.colour);
            }
            BackgroundPicked = false;
            BackgroundAverage = BackgroundValues::of(isDeepPicture(picture) ? BackgroundLevels
                                                                            : levelsOf(BackgroundColor));
            break;
        case PlanStep::Kind::Cell:
            f1Report_Click(step.cell.row, step.cell.column);
            break;
        case PlanStep::Kind::Frame: {
            RectShape frame = shpPointer;
            frame.left = step.frame.left;
            frame.top = step.frame.top;
            frame.width = step.frame.width;
            frame.height = step.frame.height;
            setFrame(frame);
            Calculate();
            break;
        }
        case PlanStep::Kind::BackgroundMethod:
            setBackgroundMethod(step.method);
            break;
        case PlanStep::Kind::Picture:
        case PlanStep::Kind::PictureSha256:
            break;
        case PlanStep::Kind::Value:
        case PlanStep::Kind::PastedValue:
            f1Report->setText(step.cell.row, step.cell.column, step.text);
            recordEdits(step.cell.row, step.cell.column, step.cell.row, step.cell.column,
                        step.kind == PlanStep::Kind::PastedValue);
            break;
        }
    }
}

} // namespace kesto
