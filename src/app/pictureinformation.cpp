#include "app/pictureinformation.h"

#include "app/frmscan.h"
#include "components/prompts.h"
#include "core/deeppicture.h"
#include "core/pictureinfo.h"

#include <QStringList>

namespace kesto {

std::optional<int> askPicturePage(QWidget* parent, const QString& path)
{
    const QStringList pages = picturePageChoices(path);
    if (pages.isEmpty())
        return 0;
    const std::optional<int> chosen = Prompts::current().chooseItem(
        parent, QStringLiteral("The file holds %1 pictures. Open page:").arg(pages.size()),
        appTitle(), pages, 0);
    if (!chosen)
        return std::nullopt;
    return *chosen + 1;
}

void showPictureInformation(frmScan& form)
{
    const QImage& picture = form.picImage->picture();
    QString text;
    if (picture.isNull()) {
        text = QStringLiteral("No picture is open.");
    } else if (form.session().pictureIdentity().fromClipboard()) {
        text = pictureFactsText(
            {{QStringLiteral("File"), QStringLiteral("(pasted from the clipboard)")},
             {QStringLiteral("Size"),
              QStringLiteral("%1 x %2 pixels").arg(picture.width()).arg(picture.height())},
             {QStringLiteral("Depth"),
              QStringLiteral("%1 bits per channel").arg(isDeepPicture(picture) ? 16 : 8)}});
    } else {
        text = pictureFactsText(pictureFacts(form.session().pictureIdentity().path,
                                             form.session().pictureIdentity().page));
    }
    Prompts::current().message(&form, text, QStringLiteral("Picture Information"),
                               MessageButtons::Ok, MessageIcon::Information);
}

} // namespace kesto
