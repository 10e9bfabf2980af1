#pragma once

// The about box: the program's name, version, description and legal notice from the
// version record, and a button that starts the desktop's system-information program.

#include <QDialog>

#include <array>

class QFrame;
class QLabel;

namespace kesto {

class Border;
class KestoButton;

class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget* parent = nullptr);
    ~frmAbout() override;

    // Shows a fresh about box modally and drops it afterwards (the About command).
    static void showModal(QWidget* parent);

    // Starts the system-information program, or says that there is none.
    void StartSysInfo();

    QLabel* lblProgramName = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescriotion = nullptr;
    QLabel* lblCopyRight = nullptr;
    QLabel* imgIcon = nullptr;
    QFrame* Line1 = nullptr;
    Border* Border1 = nullptr;
    std::array<KestoButton*, 2> cmdAction{}; // OK and System Info

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void cmdAction_Click(int index);
};

} // namespace kesto
