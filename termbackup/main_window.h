// TForm1: the window of the terminal backup tool. Its widgets keep the names of the original
// form; each handler hands the texts of the fields to the toolkit-free BackupTool.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>
#include <functional>
#include <memory>

#include "termbackup/backup_tool.h"
#include "termbackup/terminal_control.h"

namespace qv::term {

inline constexpr char kApplicationTitle[] = "Tarvelek Yedekleyici";

class TForm1 : public QWidget {
    Q_OBJECT

public:
    // The window owns `control` (Terminal1) for its life.
    explicit TForm1(std::unique_ptr<ITerminalControl> control, QWidget* parent = nullptr);
    ~TForm1() override;

    // Widgets, under their names.
    QToolButton* sbtnTCPIP;
    QToolButton* sbtnRS232;
    QLabel* lblNetAddress;
    QLineEdit* edtNetAddress;
    QLabel* lblNetPort;
    QLineEdit* edtNetPort;
    QLabel* Label5;
    QLineEdit* edtBaudRate;
    QLabel* Label1;
    QPushButton* btnConnect;
    QCheckBox* chkEnabled;
    QLineEdit* edtPassword;
    QFrame* Bevel1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QFrame* Bevel2;
    QPushButton* BitBtn3;
    QPushButton* BitBtn4;
    QFileDialog* SaveDialog1;
    QFileDialog* OpenDialog1;
    QFileDialog* SaveDialog2;
    QFileDialog* OpenDialog2;
    QPlainTextEdit* StatusLog;  // the status lines, under the controls

    BackupTool& tool() { return *tool_; }
    // One status line: into the log and onto standard output.
    void LogStatus(const QString& text);

public slots:
    void sbtnRS232Click();
    void sbtnTCPIPClick();
    void btnConnectClick();
    void chkEnabledClick();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();

private:
    // Runs a handler; an error it raises is shown in the application's error box.
    void Guarded(const std::function<void()>& handler);
    // Shows a file dialog; the chosen name, or empty when cancelled.
    QString Choose(QFileDialog* dialog);

    std::unique_ptr<ITerminalControl> Terminal1;
    std::unique_ptr<BackupTool> tool_;
    QButtonGroup* group1_;
    bool open_dialog2_named_ = false;  // OpenDialog2 proposes a name once it has one
};

}  // namespace qv::term
