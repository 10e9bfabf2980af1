#pragma once

// Every dialog that waits for a person goes through Prompts, so tests can answer it
// without blocking. The program uses Prompts::current(); tests install a fake.

#include <QString>
#include <QStringList>

#include <optional>

class QDialog;
class QPrinter;
class QWidget;

namespace kesto {

enum class MessageButtons { Ok, YesNo, YesNoCancel };
enum class MessageIcon { None, Information, Question, Warning, Critical };
enum class MessageAnswer { Ok, Yes, No, Cancel };

class Prompts
{
public:
    virtual ~Prompts();

    // Open-file chooser. filters are Qt name filters ("Pictures (*.bmp *.jpg)"); the one at
    // selectedFilter is selected. Returns "" on cancel.
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& fileName,
                                 const QStringList& filters, int selectedFilter) = 0;
    // Save-file chooser. On return selectedFilter holds the chosen filter's index.
    // Returns "" on cancel.
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& fileName,
                                 const QStringList& filters, int& selectedFilter) = 0;
    virtual MessageAnswer message(QWidget* parent, const QString& text, const QString& title,
                                  MessageButtons buttons, MessageIcon icon) = 0;
    // Returns nullopt on cancel.
    virtual std::optional<QString> inputText(QWidget* parent, const QString& prompt,
                                             const QString& title, const QString& defaultText) = 0;
    // One of items, chosen from a list (current selected at first): its index, or
    // nullopt on cancel.
    virtual std::optional<int> chooseItem(QWidget* parent, const QString& prompt,
                                          const QString& title, const QStringList& items,
                                          int current) = 0;
    // The print dialog for a printer; false when cancelled.
    virtual bool printDialog(QWidget* parent, QPrinter& printer) = 0;
    // Shows one of the program's own modal dialogs and returns its result code.
    virtual int execDialog(QDialog& dialog) = 0;

    static Prompts& current();
    // Installs a replacement (not owned); nullptr restores the real dialogs.
    static void setCurrent(Prompts* prompts);
};

// The real, blocking Qt dialogs.
class QtPrompts : public Prompts
{
public:
    QString openFileName(QWidget* parent, const QString& title, const QString& fileName,
                         const QStringList& filters, int selectedFilter) override;
    QString saveFileName(QWidget* parent, const QString& title, const QString& fileName,
                         const QStringList& filters, int& selectedFilter) override;
    MessageAnswer message(QWidget* parent, const QString& text, const QString& title,
                          MessageButtons buttons, MessageIcon icon) override;
    std::optional<QString> inputText(QWidget* parent, const QString& prompt, const QString& title,
                                     const QString& defaultText) override;
    std::optional<int> chooseItem(QWidget* parent, const QString& prompt, const QString& title,
                                  const QStringList& items, int current) override;
    bool printDialog(QWidget* parent, QPrinter& printer) override;
    int execDialog(QDialog& dialog) override;
};

// The program's title for message boxes ("KestoScan").
QString appTitle();

} // namespace kesto
