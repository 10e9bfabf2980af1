#pragma once

// The program's own modal message box: a heading, the message, a foot line and an icon,
// with either an OK button or Yes and No buttons (keys Y and N), and the answer read back
// after it closed. AskUser shows a fresh dialog for every question.

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTimer;

namespace kesto {

class KestoButton;

class frmMsg : public QDialog
{
    Q_OBJECT

public:
    // The start timer's delay and how long a key press shows the pressed button.
    static constexpr int StartDelayMs = 20;
    static constexpr int KeyPressLookMs = 125;

    explicit frmMsg(QWidget* parent = nullptr);
    ~frmMsg() override;

    QString sCaption() const { return m_sCaption; }
    void setSCaption(const QString& asCaption) { m_sCaption = asCaption; }
    QString Message() const { return m_message; }
    void setMessage(const QString& asMessage) { m_message = asMessage; }
    bool YesNo() const { return m_yesNo; }
    void setYesNo(bool abYesNo) { m_yesNo = abYesNo; }
    QString FootNote() const { return m_footNote; }
    void setFootNote(const QString& asFootNote) { m_footNote = asFootNote; }
    QString YesCaption() const { return m_yesCaption; }
    void setYesCaption(const QString& asData) { m_yesCaption = asData; }
    QString NoCaption() const { return m_noCaption; }
    void setNoCaption(const QString& asData) { m_noCaption = asData; }
    // 1 = Yes; 0 = No, OK or closed otherwise.
    std::int16_t Answer() const { return m_answer; }
    void setAnswer(std::int16_t aiAnswer) { m_answer = aiAnswer; }

    // OK, Yes and No.
    std::array<KestoButton*, 3> cmdAction{};
    QPlainTextEdit* txtMsg = nullptr;
    QLabel* lblWelcome = nullptr;
    QLabel* lblDisplay = nullptr;
    QLabel* imgExclamatin = nullptr;
    QLabel* imgQuestion = nullptr; // holds the question picture; never shown itself
    QLineEdit* txtFocus = nullptr; // kept out of sight, holds the keyboard focus
    QTimer* tmrStart = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void tmrStart_Timer();
    void Form_KeyDown(int key);
    void pressByKey(int index);
    void cmdAction_Click(int index);

    QString m_sCaption;
    QString m_message;
    bool m_yesNo = false;
    QString m_footNote;
    QString m_yesCaption;
    QString m_noCaption;
    std::int16_t m_answer = 0;
    bool m_loaded = false;
    bool m_pressing = false;
};

namespace Module1 {

// Asks through a fresh message dialog and returns its answer: 1 for Yes, 0 otherwise.
// Empty button captions keep "Yes" and "No".
std::int16_t AskUser(const QString& message, bool yesNo, const QString& caption,
                     const QString& footNote, const QString& yesCaption, const QString& noCaption);

} // namespace Module1

} // namespace kesto
