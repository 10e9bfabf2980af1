#include "support/fakeprompts.h"

#include <QDialog>
#include <QPrinter>
#include <QTest>

namespace kesto::test {

FakePrompts::FakePrompts()
{
    Prompts::setCurrent(this);
}

FakePrompts::~FakePrompts()
{
    Prompts::setCurrent(nullptr);
}

QString FakePrompts::openFileName(QWidget*, const QString& title, const QString&,
                                  const QStringList& filters, int)
{
    openTitles.append(title);
    openFilters.append(filters);
    if (openAnswers.isEmpty()) {
        QTest::qFail("unexpected open-file dialog", __FILE__, __LINE__);
        return QString();
    }
    return openAnswers.takeFirst();
}

QString FakePrompts::saveFileName(QWidget*, const QString& title, const QString&,
                                  const QStringList&, int& selectedFilter)
{
    saveTitles.append(title);
    if (!saveFilterAnswers.isEmpty())
        selectedFilter = saveFilterAnswers.takeFirst();
    if (saveAnswers.isEmpty()) {
        QTest::qFail("unexpected save-file dialog", __FILE__, __LINE__);
        return QString();
    }
    return saveAnswers.takeFirst();
}

MessageAnswer FakePrompts::message(QWidget*, const QString& text, const QString& title,
                                   MessageButtons buttons, MessageIcon icon)
{
    messages.append({text, title, buttons, icon});
    if (!messageAnswers.isEmpty())
        return messageAnswers.takeFirst();
    return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
}

std::optional<QString> FakePrompts::inputText(QWidget*, const QString& prompt, const QString&,
                                              const QString& defaultText)
{
    inputPrompts.append(prompt);
    if (inputAnswers.isEmpty())
        return defaultText;
    return inputAnswers.takeFirst();
}

std::optional<int> FakePrompts::chooseItem(QWidget*, const QString& prompt, const QString&,
                                           const QStringList& items, int current)
{
    itemPrompts.append(prompt);
    itemLists.append(items);
    if (itemAnswers.isEmpty())
        return current;
    return itemAnswers.takeFirst();
}

bool FakePrompts::printDialog(QWidget*, QPrinter& printer)
{
    ++printDialogs;
    if (!printToPdf.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printToPdf);
    }
    if (printAnswers.isEmpty())
        return !printToPdf.isEmpty();
    return printAnswers.takeFirst();
}

int FakePrompts::execDialog(QDialog& dialog)
{
    ++dialogs;
    if (dialogHandler)
        return dialogHandler(dialog);
    QTest::qFail("unexpected modal dialog", __FILE__, __LINE__);
    return QDialog::Rejected;
}

} // namespace kesto::test
