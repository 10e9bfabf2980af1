#include "app/displaylevelscommand.h"

#include "app/frmscan.h"
#include "components/prompts.h"
#include "core/deeppicture.h"
#include "core/displaylevels.h"

#include <QRegularExpression>

namespace kesto {

void chooseDisplayLevels(frmScan& form)
{
    const QImage& picture = form.picImage->picture();
    if (picture.isNull())
        return;
    const QString prompt =
        QStringLiteral(
            "Display levels change only what is shown; scans and read-outs keep the picture's "
            "counts.\n\nType auto (a stretch from the picture's own histogram), or the black and "
            "white points from 0 to %1 and an optional gamma (above 1 lightens):")
            .arg(channelFullScale(picture));
    const std::optional<QString> answer = Prompts::current().inputText(
        &form, prompt, QStringLiteral("Display Levels"), levelsText(form.picImage->levels()));
    if (!answer)
        return;
    QString reason;
    const std::optional<DisplayLevels> levels = parseLevels(*answer, picture, &reason);
    if (!levels) {
        Prompts::current().message(&form, reason, appTitle(), MessageButtons::Ok,
                                   MessageIcon::Warning);
        return;
    }
    form.picImage->setLevels(*levels);
    showLevelsInTitle(form);
}

void showLevelsInTitle(frmScan& form)
{
    static const QRegularExpression suffix(QStringLiteral(" \\[levels [^\\]]*\\]$"));
    QString title = form.windowTitle();
    title.remove(suffix);
    const DisplayLevels& levels = form.picImage->levels();
    const QImage& picture = form.picImage->picture();
    if (!picture.isNull() && (levels.automatic || !isIdentity(levels, picture))) {
        title += QStringLiteral(" [levels ");
        if (levels.automatic)
            title += QStringLiteral("auto ");
        title += QString::number(levels.black) + QLatin1Char('-') + QString::number(levels.white);
        if (levels.gamma != 1.0)
            title += QStringLiteral(" gamma ") + QString::number(levels.gamma, 'g', 4);
        title += QLatin1Char(']');
    }
    form.setWindowTitle(title);
}

} // namespace kesto
