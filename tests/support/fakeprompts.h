#pragma once

// A Prompts fake for tests: every dialog is answered from a queue the test fills, and
// every question asked is recorded. An unexpected dialog fails loudly instead of blocking.

#include "components/prompts.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace kesto::test {

class FakePrompts : public Prompts
{
public:
    struct Message
    {
        QString text;
        QString title;
        MessageButtons buttons;
        MessageIcon icon;
    };

    FakePrompts();           // installs itself as Prompts::current()
    ~FakePrompts() override; // restores the real dialogs

    QStringList openAnswers;      // file names, "" = cancel
    QStringList saveAnswers;      // paths, "" = cancel
    QList<int> saveFilterAnswers; // filter index for each save answer
    QList<MessageAnswer> messageAnswers;
    QList<std::optional<QString>> inputAnswers;
    QList<std::optional<int>> itemAnswers; // chosen indices, nullopt = cancel; none: current
    QList<bool> printAnswers;
    QString printToPdf; // when set, printDialog points the printer at this PDF
    std::function<int(QDialog&)> dialogHandler; // answers execDialog

    QList<Message> messages; // what was shown
    QStringList openTitles, saveTitles, inputPrompts, itemPrompts;
    QList<QStringList> itemLists; // the items of every chooseItem
    QList<QStringList> openFilters;
    int printDialogs = 0;
    int dialogs = 0;

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

} // namespace kesto::test
