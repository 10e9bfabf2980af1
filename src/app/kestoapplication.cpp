#include "app/kestoapplication.h"

#include "components/prompts.h"
#include "core/error.h"

#include <QWidget>

#include <cstdio>
#include <exception>

namespace kesto {

KestoApplication::KestoApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool KestoApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const Error& e) {
        report(receiver, e.message());
    } catch (const std::exception& e) {
        report(receiver, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        report(receiver, QStringLiteral("An unexpected error occurred."));
    }
    return false;
}

void KestoApplication::report(QObject* receiver, const QString& text)
{
    // The message box runs its own event loop; an error raised while it shows is written to
    // standard error rather than stacking boxes or escaping.
    if (m_reporting) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        return;
    }
    m_reporting = true;
    auto* widget = qobject_cast<QWidget*>(receiver);
    QWidget* parent = widget ? widget->window() : activeWindow();
    try {
        Prompts::current().message(parent, text, appTitle(), MessageButtons::Ok,
                                   MessageIcon::Critical);
    } catch (...) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
    m_reporting = false;
}

} // namespace kesto
