#include "commands/maincommands.h"

#include "app/frmscan.h"
#include "commands/imagecommands.h"
#include "commands/mainbar.h"
#include "components/commandbar.h"
#include "components/prompts.h"

namespace kesto::commands {

void chooseChannel(frmScan& form, const QString& channelTool)
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
    invertPicture(form.picImage->picture());
    form.picImage->pictureChanged();
    form.CopyImage();
}

void showBackground(frmScan& form)
{
    Prompts::current().message(&form, backgroundText(form.BackgroundColor), appTitle(),
                               MessageButtons::Ok, MessageIcon::None);
}

void moveScanFrame(frmScan& form, FrameMove move)
{
    const QImage& picture = form.picImage->picture();
    const ScaleArea area{0, 0, float(picture.width()), float(picture.height())};
    const FramePosition next = moveFrame(move, {form.shpPointer.left, form.shpPointer.top},
                                         form.shpPointer.width, form.shpPointer.height, area);
    form.moveFrameTo(next.left, next.top);
}

} // namespace kesto::commands
