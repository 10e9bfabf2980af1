// frmScan's measurement record: what every value of the sheet came from, its tip and
// origin frame, and measurement plans saved from it and replayed through the window.

#include "app/frmscan.h"

#include "app/mainbar.h"
#include "app/maincommands.h"
#include "components/commandbar.h"
#include "components/prompts.h"
#include "components/worksheet.h"
#include "core/deeppicture.h"
#include "core/error.h"
#include "core/gelimage.h"
#include "core/measurementsession.h"
#include "core/pictureops.h"
#include "core/resultsplan.h"
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

void frmScan::recordEdits(int firstRow, int firstColumn, int lastRow, int lastColumn, bool pasted)
{
    m_session->recordEdits(SheetRange{firstRow, firstColumn, lastRow, lastColumn}, pasted);
    commitUndo(pasted ? QStringLiteral("Paste") : QStringLiteral("Typing"));
}

QString frmScan::cellTip(int row, int column) const
{
    const MeasurementEntry* entry = m_session->record().entryAt(row, column);
    return entry ? measurementTip(*entry) : QString();
}

void frmScan::showOrigin(int row, int column)
{
    hideOrigin();
    const MeasurementEntry* entry = m_session->record().entryAt(row, column);
    // Only a scan made on the picture that is open has a frame to show on it.
    if (!entry || entry->source != ValueSource::Scan || !m_session->hasPicture() ||
        entry->picture.sha256 != m_session->pictureIdentity().sha256)
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

void frmScan::fillMeasurements(SheetData& sheet) const
{
    fillMeasurementSheet(sheet, m_session->record());
}

void frmScan::saveMeasurementPlan()
{
    if (m_session->record().history().empty()) {
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
    // The sample table and result choices follow the record's lines, after its pictures.
    const QByteArray text = (measurementPlanText(m_session->record()) +
                             resultsPlanText(m_session->sampleTable(), m_session->resultOptions(),
                                             m_session->curveOptions(), m_session->stainPicture(),
                                             m_session->targetPicks()))
                                .toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        Prompts::current().message(this,
                                   QStringLiteral("Cannot save the measurement plan:\r\n") + path +
                                       QStringLiteral("\r\n") + file.errorString(),
                                   appTitle(), MessageButtons::Ok, MessageIcon::Warning);
    }
}

void frmScan::openMeasurementPlan()
{
    // The plan's sheet takes the place of this one: unsaved results are asked about.
    if (!maybeSaveChanges())
        return;
    const QString path = Prompts::current().openFileName(
        this, QStringLiteral("Open Measurement Plan"), QString(), planFilters(), 0);
    if (path.isEmpty())
        return;
    const auto warn = [this](const QString& text) {
        Prompts::current().message(this, text, appTitle(), MessageButtons::Ok,
                                   MessageIcon::Warning);
    };
    try {
        // Read in 16-bit units; each background colour is checked against its picture.
        const MeasurementPlan plan = readMeasurementPlan(path, 65535);
        bool namesFile = false;
        bool pasted = false;
        for (const PlanStep& step : plan.steps) {
            if (step.kind == PlanStep::Kind::Picture) {
                namesFile = namesFile || !step.text.isEmpty();
                pasted = pasted || step.text.isEmpty();
            }
        }
        if (!m_session->hasPicture() && (pasted || !namesFile)) {
            warn(QStringLiteral("Open the picture the plan was made on first:\r\n") +
                 QStringLiteral("(a pasted picture)"));
            return;
        }
        try {
            replayPlan(plan, false);
        } catch (const PictureHashError& error) {
            const auto answer = Prompts::current().message(
                this, error.message() + QStringLiteral("\r\n\r\nReplay it anyway?"), appTitle(),
                MessageButtons::YesNo, MessageIcon::Warning);
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
    // A refused or failed plan leaves the session as it was.
    const SessionState before = m_session->state();
    const QImage pictureBefore = m_session->picture();
    const PictureIdentity identityBefore =
        m_session->hasPicture() ? m_session->pictureIdentity() : PictureIdentity();
    const bool invertedBefore = m_session->inverted();
    ReplayOptions options;
    options.ignoreHash = ignoreHash;
    // The plan's pictures are opened in turn, unless the one open is the one it names
    // (or there is only one to replay on).
    const QStringList pictures = planPictures(plan);
    const bool onOpenPicture =
        m_session->hasPicture() &&
        (pictures.size() <= 1 &&
         (ignoreHash || pictures.isEmpty() || pictures.constFirst().isEmpty() ||
          !QFileInfo::exists(pictures.constFirst()) ||
          QFileInfo(pictures.constFirst()).absoluteFilePath() ==
              QFileInfo(identityBefore.path).absoluteFilePath()));
    bool opened = false;
    if (!onOpenPicture) {
        options.openPicture = [this, &opened](const PlanStep& step) {
            if (!QFileInfo::exists(step.text))
                throw PlanError(step.where +
                                QStringLiteral(": the picture \"%1\" is not there").arg(step.text));
            GelImageLoad load = loadMeasurementPicture(step.text, step.page);
            if (!load.ok())
                throw PlanError(step.where + QStringLiteral(": cannot load image ") + step.text +
                                QStringLiteral(": ") + load.reason);
            m_openingPath = step.text;
            showPicture(load.image);
            m_openingPath.clear();
            setLossyNotice(load.lossy);
            opened = true;
        };
    }
    try {
        // A plan starts where a session on a freshly opened picture starts, on an empty sheet.
        if (m_session->inverted())
            m_session->invertPicture();
        m_session->setChannel(Channel::Red);
        m_session->setBackground(0);
        m_session->setBackgroundMethod(BackgroundMethod{});
        m_session->setFrame(MeasurementSession::StartFrame);
        m_session->clearSheet();
        m_session->pickCell(1, 2);
        m_replaying = true;
        runMeasurementPlanCounted(*m_session, plan, options);
        m_replaying = false;
    } catch (const Error&) {
        m_replaying = false;
        if (opened || m_session->picture().cacheKey() != pictureBefore.cacheKey()) {
            m_session->setPicture(invertedBefore ? [&] {
                QImage original = pictureBefore;
                invertPicture(original);
                return original;
            }()
                                                 : pictureBefore,
                                  identityBefore.path);
        }
        m_session->restore(before);
        f1Report->updateSheet();
        throw;
    }
    f1Report->updateSheet();
    resetUndo();
    m_session->markSaved();
}

} // namespace kesto
