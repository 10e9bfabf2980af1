// The application object's safety net under the event handlers.

#include "app/kestoapplication.h"
#include "components/prompts.h"
#include "core/error.h"
#include "support/fakeprompts.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTest>
#include <QWidget>

#include <stdexcept>

using namespace kesto;

namespace {

const QEvent::Type Throw = static_cast<QEvent::Type>(QEvent::User + 1);
const QEvent::Type Count = static_cast<QEvent::Type>(QEvent::User + 2);

// A widget whose handler throws what it is told to, and counts the events it handles.
class ThrowingWidget : public QWidget
{
public:
    enum class What { KestoError, StdException };
    What what = What::KestoError;
    int handled = 0;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == Throw) {
            if (what == What::KestoError)
                throw Error(Error::InvalidValue, QStringLiteral("Invalid property value"));
            throw std::runtime_error("vector too long");
        }
        if (event->type() == Count) {
            ++handled;
            return true;
        }
        return QWidget::event(event);
    }
};

} // namespace

Q_DECLARE_METATYPE(ThrowingWidget::What)

class TestApplication : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void errorInHandlerIsShownAndProgramCarriesOn_data();
    void errorInHandlerIsShownAndProgramCarriesOn();
};

void TestApplication::errorInHandlerIsShownAndProgramCarriesOn_data()
{
    QTest::addColumn<ThrowingWidget::What>("what");
    QTest::addColumn<QString>("message");
    QTest::newRow("kesto error") << ThrowingWidget::What::KestoError
                                 << QStringLiteral("Invalid property value");
    QTest::newRow("std exception")
        << ThrowingWidget::What::StdException << QStringLiteral("vector too long");
}

void TestApplication::errorInHandlerIsShownAndProgramCarriesOn()
{
    QFETCH(ThrowingWidget::What, what);
    QFETCH(QString, message);
    QVERIFY(qobject_cast<KestoApplication*>(QCoreApplication::instance()));
    test::FakePrompts prompts;
    ThrowingWidget widget;
    widget.what = what;
    QCoreApplication::postEvent(&widget, new QEvent(Throw));
    QCoreApplication::postEvent(&widget, new QEvent(Count));
    QCoreApplication::sendPostedEvents();
    QCOMPARE(prompts.messages.size(), 1);
    QCOMPARE(prompts.messages.at(0).text, message);
    QCOMPARE(prompts.messages.at(0).title, appTitle());
    QCOMPARE(prompts.messages.at(0).buttons, MessageButtons::Ok);
    // The event queued behind the failing one still arrives, and so does the next one.
    QCOMPARE(widget.handled, 1);
    QEvent again(Count);
    QCoreApplication::sendEvent(&widget, &again);
    QCOMPARE(widget.handled, 2);
    QCOMPARE(prompts.messages.size(), 1);
}

int main(int argc, char* argv[])
{
    KestoApplication app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
