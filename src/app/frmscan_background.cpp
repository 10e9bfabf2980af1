// frmScan: the background method, chosen from the Image menu and shown in the read-out.

#include "app/frmscan.h"

#include "app/mainbar.h"
#include "components/prompts.h"
#include "core/deeppicture.h"
#include "core/measurementsession.h"

namespace kesto {

void frmScan::chooseBackgroundMethod()
{
    const std::optional<QString> answer = Prompts::current().inputText(
        this,
        QStringLiteral("How scans find their background:\n"
                       "  pixel - the picked pixel's colour\n"
                       "  area:N - the mean of the N x N square around the picked pixel (N odd)\n"
                       "  border:W:mean or border:W:median - a band W pixels wide (1 to 10) "
                       "just outside the frame\n"
                       "  lane:minima or lane:ball:R - a baseline along the frame's rows, "
                       "through its minima or under a ball of radius R"),
        QStringLiteral("Background Method"), backgroundMethodText(m_session->backgroundMethod()));
    if (!answer)
        return;
    QString why;
    const std::optional<BackgroundMethod> method = parseBackgroundMethod(answer->trimmed(), &why);
    if (!method) {
        Prompts::current().message(this, QStringLiteral("Background method not changed:\n") + why,
                                   appTitle(), MessageButtons::Ok, MessageIcon::Warning);
        return;
    }
    setBackgroundMethod(*method);
}

void frmScan::setBackgroundMethod(const BackgroundMethod& method)
{
    // Like a channel choice, nothing is rescanned until the next scan; the read-out
    // follows through the session.
    m_session->setBackgroundMethod(method);
    commitUndo(QStringLiteral("Background Method"));
}

QString frmScan::backgroundReadout() const { return m_session->backgroundReadout(); }

} // namespace kesto
