#include "app/maincommands.h"

#include "app/frmscan.h"
#include "app/mainbar.h"
#include "components/commandbar.h"
#include "components/prompts.h"
#include "components/worksheet.h"
#include "core/deeppicture.h"
#include "core/error.h"
#include "core/gelimage.h"
#include "core/measurementsession.h"
#include "core/pictureops.h"
#include "core/reportrows.h"
#include "core/sheetdata.h"
#include "core/sheetfiles.h"
#include "dialogs/frmabout.h"
#include "dialogs/frmmsg.h"
#include "report/frmreport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

namespace kesto::commands {

void chooseChannel(frmScan& form, const QString& channelTool)
{
    showChannel(form, channelTool);
    form.session().setChannel(channelTool == QLatin1String("mnuRed")     ? Channel::Red
                              : channelTool == QLatin1String("mnuGreen") ? Channel::Green
                                                                         : Channel::Blue);
    form.commitUndo(QStringLiteral("Channel"));
}

void showChannel(frmScan& form, const QString& channelTool)
{
    const QString red = QStringLiteral("mnuRed");
    const QString green = QStringLiteral("mnuGreen");
    const QString blue = QStringLiteral("mnuBlue");
    QStringList order;
    if (channelTool == red)
        order = {red, green, blue};
    else if (channelTool == green)
        order = {green, red, blue};
    else
        order = {blue, red, green};
    for (int band : {int(BandToolbar), int(BandPicture)}) {
        for (qsizetype i = 0; i < order.size(); ++i)
            form.tool(band, order.at(i)).setChecked(i == 0);
    }
}

void invertColors(frmScan& form)
{
    form.session().invertPicture();
    form.CopyImage();
    form.commitUndo(QStringLiteral("Invert"));
}

void showBackground(frmScan& form)
{
    const MeasurementSession& session = form.session();
    QString text = session.isDeep() ? backgroundText(session.backgroundLevels())
                                    : backgroundText(session.background());
    // Another method than the picked pixel says which, and what the scans subtract.
    if (session.backgroundMethod().kind != BackgroundMethod::Kind::PickedPixel)
        text += QStringLiteral("\nMethod: ") + backgroundMethodLabel(session.backgroundMethod()) +
                QStringLiteral("\nIn use: ") + form.backgroundReadout();
    Prompts::current().message(&form, text, appTitle(), MessageButtons::Ok, MessageIcon::None);
}

void moveScanFrame(frmScan& form, FrameMove move)
{
    const QImage& picture = form.picImage->picture();
    const ScaleArea area{0, 0, float(picture.width()), float(picture.height())};
    const FramePosition next = moveFrame(move, {form.shpPointer.left, form.shpPointer.top},
                                         form.shpPointer.width, form.shpPointer.height, area);
    form.moveFrameTo(next.left, next.top);
    form.commitUndo(QStringLiteral("Move Frame"));
}

bool saveReport(frmScan& form)
{
    QString path;
    SheetFileType type = SheetFileType::Excel;
    try {
        form.f1Report->saveDialog(QStringLiteral("Save Report"), path, type);
    } catch (const Error& e) {
        // Nothing is saved, and the user hears why.
        path.clear();
        Prompts::current().message(&form, QStringLiteral("Cannot save report:\r\n") + e.message(),
                                   appTitle(), MessageButtons::Ok, MessageIcon::Warning);
    }
    if (path.isEmpty())
        return false;
    try {
        // A workbook keeps where every value came from as its second sheet.
        SheetData measurements;
        form.fillMeasurements(measurements);
        writeSheetFile(form.f1Report->data(),
                       form.session().record().isEmpty() ? nullptr : &measurements, path, type);
        form.session().markSaved();
        return true;
    } catch (const Error& e) {
        // A failed save must not end the program or touch the results: say why and go on.
        Prompts::current().message(&form,
                                   QStringLiteral("Cannot save report:\r\n") + path +
                                       QStringLiteral("\r\n") + e.message(),
                                   appTitle(), MessageButtons::Ok, MessageIcon::Warning);
    }
    return false;
}

void printReport(frmScan& form)
{
    Worksheet& sheet = *form.f1Report;
    const int workRow = form.workRow();
    const int workColumn = form.workColumn();
    if (workRow > 0 && (workColumn == 2 || workColumn == 3)) {
        sheet.selectRange(workRow, workColumn, workRow, workColumn);
        sheet.setSelectionPattern(0, Module1::SystemColorToRGB(SystemWindowBackground),
                                  rgbValue(0, 0, 0));
        sheet.setSelectionTextColor(rgbValue(0, 0, 0));
        sheet.setPrintHeader(QStringLiteral("&B") + form.programTitle());
    }
    sheet.setPrintGridlines(true);
    sheet.setPrintRowHeadings(true);
    sheet.setPrintColumnHeadings(true);
    try {
        sheet.print(true);
    } catch (const Error& e) {
        // Cancelling the print dialog is the user's choice; a printer that fails is not.
        if (e.number() != Worksheet::PrintCancelled)
            Prompts::current().message(&form,
                                       QStringLiteral("Cannot print report:\r\n") + e.message(),
                                       appTitle(), MessageButtons::Ok, MessageIcon::Warning);
    }
}

QString reportText(const frmScan& form)
{
    const Worksheet& sheet = *form.f1Report;
    const int rows = sheet.rowCount();
    const int columns = sheet.columnCount();
    QString text = QStringLiteral("Expression\r\n");
    // One heading per column, so that the heading line lines up with the data lines.
    for (int n = 1; n <= columns; ++n) {
        if (n > 1)
            text += QLatin1Char('\t');
        text += sheet.headingText(n);
    }
    for (int r = 1; r <= rows; ++r) {
        text += QStringLiteral("\r\n");
        for (int c = 1; c <= columns; ++c) {
            if (c > 1)
                text += QLatin1Char('\t');
            text += sheet.text(r, c);
        }
    }
    return text;
}

void copyReport(frmScan& form)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(reportText(form));
}

void pastePicture(frmScan& form)
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasImage()) {
        // An empty clipboard is said so; text on it is no picture and is left alone.
        if (!data || data->formats().isEmpty())
            Prompts::current().message(
                &form, QStringLiteral("The clipboard is empty: there is no picture to paste."),
                appTitle(), MessageButtons::Ok, MessageIcon::None);
        return;
    }
    const QImage picture = qvariant_cast<QImage>(data->imageData());
    if (picture.isNull())
        return;
    // A pasted picture meets the same size limit as a file.
    if (!pictureSizeAllowed(picture.width(), picture.height())) {
        Prompts::current().message(&form,
                                   QStringLiteral("Cannot paste picture:\r\n") +
                                       pictureTooLargeReason(picture.size()),
                                   appTitle(), MessageButtons::Ok, MessageIcon::None);
        return;
    }
    form.showPicture(toWorkingImage(picture), false);
}

} // namespace kesto::commands

namespace kesto::commands {

void clearTable(frmScan& form)
{
    const std::int16_t answer =
        Module1::AskUser(QStringLiteral("All data will be lost. Clear anyway?"), true,
                         QStringLiteral("Warning!"), QString(), QString(), QString());
    if (answer != 1)
        return;
    form.session().clearSheet();
    form.commitUndo(QStringLiteral("Clear"));
}

void showAbout(frmScan& form)
{
    frmAbout::showModal(&form);
}

} // namespace kesto::commands

namespace kesto::commands {

void sendRowsToReport(frmScan& form)
{
    frmReport& report = frmReport::showReport();
    int sent = 0;
    try {
        sent = appendScanRowsToReport(form.f1Report->data(), report.f1Report->data());
    } catch (const Error& e) {
        Prompts::current().message(&form, e.message(), appTitle(), MessageButtons::Ok,
                                   MessageIcon::Warning);
        return;
    }
    if (sent == 0)
        Prompts::current().message(&form,
                                   QStringLiteral("No row of the sheet has both a band and a "
                                                  "control value to send."),
                                   appTitle(), MessageButtons::Ok, MessageIcon::Information);
}

} // namespace kesto::commands
