// frmScan: the background method, chosen from the Image menu and shown in the read-out.

#include "app/frmscan.h"

#include "app/mainbar.h"
#include "components/prompts.h"
#include "core/deeppicture.h"
#include "core/measurementsession.h"
#include "dialogs/backgroundmethoddialog.h"

namespace kesto {

void frmScan::chooseBackgroundMethod()
{
    // The dialog opens on the method in use, with what was last typed for the others.
    const BackgroundMethod& current = m_session->backgroundMethod();
    BackgroundMethod shown = m_typedMethod;
    shown.kind = current.kind;
    shown.statistic = current.statistic;
    shown.baseline = current.baseline;
    if (current.kind == BackgroundMethod::Kind::PickedArea)
        shown.areaSize = current.areaSize;
    else if (current.kind == BackgroundMethod::Kind::FrameBorder)
        shown.borderWidth = current.borderWidth;
    else if (current.kind == BackgroundMethod::Kind::LaneBaseline &&
             current.baseline == BackgroundMethod::Baseline::RollingBall)
        shown.ballRadius = current.ballRadius;
    BackgroundMethodDialog dialog(this);
    dialog.setMethod(shown);
    const int answer = Prompts::current().execDialog(dialog);
    // What was typed is kept, even when the dialog was cancelled.
    m_typedMethod = dialog.method();
    if (answer != QDialog::Accepted)
        return;
    // Only the chosen method's own settings go to the session.
    const std::optional<BackgroundMethod> method =
        parseBackgroundMethod(backgroundMethodText(dialog.method()));
    if (method)
        setBackgroundMethod(*method);
}

void frmScan::setBackgroundMethod(const BackgroundMethod& method)
{
    // Like a channel choice, nothing is rescanned until the next scan; the read-out
    // follows through the session.
    m_session->setBackgroundMethod(method);
    commitUndo(QStringLiteral("Background Method"));
}

QString frmScan::backgroundReadout() const
{
    return m_session->backgroundReadout();
}

} // namespace kesto
