#pragma once

// The window program's application object: a last safety net under every event handler.

#include <QApplication>

namespace kesto {

// An error that escapes an event handler would end the program and lose the sheet. notify()
// catches it instead, tells the user through Prompts with the program's title, and the
// program carries on.
class KestoApplication : public QApplication
{
    Q_OBJECT
public:
    KestoApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void report(QObject* receiver, const QString& text);

    bool m_reporting = false;
};

} // namespace kesto
