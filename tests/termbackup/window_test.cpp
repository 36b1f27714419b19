// The window under the offscreen platform, over a scripted control.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>

#include "fake_control.h"
#include "support/test_env.h"
#include "platform/process.h"
#include "termbackup/main_window.h"
#include "termbackup/terminal_client.h"

namespace qv::test {
namespace {

using term::TForm1;

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "window_test";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
    }
    WindowTest() {
        auto control = std::make_unique<FakeControl>();
        control_ = control.get();
        form_ = std::make_unique<TForm1>(std::move(control));
        form_->show();
    }
    // Runs `act`, which opens a modal box or dialog, and `answer` on that box once it shows.
    template <class Answer>
    void WithModal(const std::function<void()>& act, Answer answer) {
        bool answered = false;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            ASSERT_NE(modal, nullptr);
            answer(modal);
            answered = true;
        });
        act();
        EXPECT_TRUE(answered);
    }
    // Types a file name into a file dialog, as a user would, and confirms it.
    static void TypeAndAccept(QFileDialog* d, const std::string& path) {
        auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(edit, nullptr);
        edit->setText(QString::fromStdString(path));
        static_cast<QDialog*>(d)->accept();
    }
    std::vector<std::string> Log() const {
        std::vector<std::string> lines;
        for (const QString& l : form_->StatusLog->toPlainText().split('\n'))
            if (!l.isEmpty()) lines.push_back(l.toStdString());
        return lines;
    }

    FakeControl* control_;
    std::unique_ptr<TForm1> form_;
    TempDir dir_;
};

TEST_F(WindowTest, StartsInSerialModeWithItsTextsAndFocusOrder) {
    EXPECT_EQ(form_->windowTitle().toStdString(), "Tarvelek veri yedekleme ve geri y\xC3\xBCkleme mod\xC3\xBCl\xC3\xBC");
    EXPECT_TRUE(form_->sbtnRS232->isChecked());
    EXPECT_FALSE(form_->sbtnTCPIP->isChecked());
    EXPECT_EQ(form_->edtNetAddress->text(), "COM1");
    EXPECT_EQ(form_->edtNetPort->text(), "1");
    EXPECT_EQ(form_->edtBaudRate->text(), "115200");
    EXPECT_EQ(form_->lblNetAddress->text(), "Com Port:");
    EXPECT_EQ(form_->lblNetPort->text(), "Cihaz ID:");
    EXPECT_EQ(form_->Label1->text(), "Fake 1.0");
    EXPECT_EQ(form_->btnConnect->text().toStdString(), "Ba\xC4\x9Flan");
    EXPECT_EQ(form_->BitBtn2->text().toStdString(), "Kullan\xC4\xB1\x63\xC4\xB1lar\xC4\xB1 Geri Y\xC3\xBCkle");
    EXPECT_FALSE(form_->chkEnabled->isChecked());
    EXPECT_EQ(form_->edtNetAddress->geometry(), QRect(28, 24, 77, 21));
    EXPECT_EQ(form_->BitBtn4->geometry(), QRect(168, 152, 121, 33));
    std::vector<std::string> order;
    QWidget* w = form_->btnConnect;
    for (int i = 0; i < 10; ++i) {
        order.push_back(w->objectName().toStdString());
        do w = w->nextInFocusChain(); while (!(w->focusPolicy() & Qt::TabFocus));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"btnConnect", "edtNetAddress", "edtNetPort", "edtBaudRate", "edtPassword",
                                               "chkEnabled", "BitBtn1", "BitBtn2", "BitBtn3", "BitBtn4"}));
    EXPECT_TRUE(form_->StatusLog->isReadOnly());
}

TEST_F(WindowTest, ModeButtonsWorkAsAPairAndOverwriteTheFields) {
    form_->sbtnTCPIP->click();
    EXPECT_TRUE(form_->sbtnTCPIP->isChecked());
    EXPECT_FALSE(form_->sbtnRS232->isChecked());
    EXPECT_EQ(form_->lblNetAddress->text(), "IP Adres:");
    EXPECT_EQ(form_->lblNetPort->text(), "Port:");
    EXPECT_EQ(form_->edtNetAddress->text(), "192.168.1.201");
    EXPECT_EQ(form_->edtNetPort->text(), "$1112");
    form_->edtNetAddress->setText("10.0.0.9");
    form_->sbtnTCPIP->click();  // already down: still overwrites
    EXPECT_EQ(form_->edtNetAddress->text(), "192.168.1.201");
    form_->sbtnRS232->click();
    EXPECT_EQ(form_->edtNetAddress->text(), "COM1");
    EXPECT_EQ(form_->edtBaudRate->text(), "115200");
}

TEST_F(WindowTest, ConnectAndDisconnectChangeTheCaptionAndLog) {
    form_->btnConnect->click();
    EXPECT_EQ(form_->btnConnect->text(), "Disconnect");
    const auto log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "Device Connected.");
    form_->btnConnect->click();
    EXPECT_EQ(form_->btnConnect->text(), "Connect");
    form_->chkEnabled->click();
    EXPECT_EQ(control_->Last(), "SetDeviceEnabled 1 -1");
}

TEST_F(WindowTest, AnErrorShowsTheErrorBoxAndTheWindowWorksAfterwards) {
    form_->edtPassword->setText("abc");
    WithModal([&] { form_->btnConnect->click(); },
              [](QWidget* modal) {
                  auto* box = qobject_cast<QMessageBox*>(modal);
                  ASSERT_NE(box, nullptr);
                  EXPECT_EQ(box->windowTitle(), "Tarvelek Yedekleyici");
                  EXPECT_EQ(box->text(), "'abc' is not a valid integer value.");
                  EXPECT_EQ(box->icon(), QMessageBox::Critical);
                  box->accept();
              });
    EXPECT_TRUE(control_->calls.empty());
    form_->sbtnTCPIP->click();
    EXPECT_EQ(form_->edtNetAddress->text(), "192.168.1.201");
    form_->edtPassword->clear();
    form_->btnConnect->click();
    EXPECT_EQ(form_->btnConnect->text(), "Disconnect");
}

TEST_F(WindowTest, FileDialogsProposeTheirNamesAndTheDataDialogAddsItsExtension) {
    control_->users = {{5, "Five", "", 0, true, {}}};
    const std::string users = dir_.file("chosen.dat");
    WithModal([&] { form_->BitBtn1->click(); },
              [&](QWidget* modal) {
                  auto* d = qobject_cast<QFileDialog*>(modal);
                  ASSERT_NE(d, nullptr);
                  EXPECT_TRUE(d->selectedFiles().value(0).endsWith("yedek.dat"));
                  TypeAndAccept(d, users);
              });
    EXPECT_TRUE(std::filesystem::exists(users));
    // The data backup: a name typed without an extension gets ".dbin".
    WithModal([&] { form_->BitBtn3->click(); },
              [&](QWidget* modal) {
                  auto* d = qobject_cast<QFileDialog*>(modal);
                  TypeAndAccept(d, dir_.file("first"));
              });
    EXPECT_EQ(control_->Last(), "BackupData " + dir_.file("first.dbin"));
    EXPECT_EQ(Log().back(), "Backup Data to File: \"" + dir_.file("first.dbin") + "\" OK.");
    WithModal([&] { form_->BitBtn3->click(); },
              [&](QWidget* modal) {
                  auto* d = qobject_cast<QFileDialog*>(modal);
                  TypeAndAccept(d, dir_.file("second.dbin"));
              });
    EXPECT_EQ(control_->Last(), "BackupData " + dir_.file("second.dbin"));
    // The restore dialog proposes the first backup, and a cancelled dialog does nothing.
    control_->calls.clear();
    WithModal([&] { form_->BitBtn4->click(); },
              [&](QWidget* modal) {
                  auto* d = qobject_cast<QFileDialog*>(modal);
                  EXPECT_TRUE(d->selectedFiles().value(0).endsWith("first.dbin")) << d->selectedFiles().value(0).toStdString();
                  d->reject();
              });
    EXPECT_TRUE(control_->calls.empty());
}

TEST_F(WindowTest, Screenshot) {
    const QByteArray dir = qgetenv("QV_SCREENSHOT_DIR");
    if (dir.isEmpty()) GTEST_SKIP() << "QV_SCREENSHOT_DIR names where to put it";
    form_->btnConnect->click();
    EXPECT_TRUE(form_->grab().save(QString::fromUtf8(dir) + "/termbackup.png"));
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

// The window with the real control against terminal-sim: connect, report, back up and restore
// users and data through the buttons and dialogs.
TEST(WindowWithSimulator, ConnectsReportsBacksUpAndRestores) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "window_test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
    auto sim = platform::ChildProcess::Start(platform::ProgramDirectory() + "terminal-sim",
                                             {"--tcp", "127.0.0.1:0", "--users", "12", "--seed", "4"});
    ASSERT_NE(sim, nullptr);
    const auto line = sim->ReadLine(10000);
    ASSERT_TRUE(line.has_value());
    const std::string port = line->substr(14);
    term::TForm1 form(std::make_unique<term::TerminalControl>());
    form.show();
    form.sbtnTCPIP->click();
    form.edtNetAddress->setText("127.0.0.1");
    form.edtNetPort->setText(QString::fromStdString(port));
    form.btnConnect->click();
    EXPECT_EQ(form.btnConnect->text(), "Disconnect");
    const QString log = form.StatusLog->toPlainText();
    EXPECT_TRUE(log.contains("Device Connected.\nFirmware Version: Ver 6.60 Sim 1\nSerial Number: QVSIM0000001\n"));
    EXPECT_TRUE(log.contains("Tatal users: 12\n"));
    TempDir dir;
    auto answer = [](const std::string& path) {
        QTimer::singleShot(0, [path] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            d->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(path));
            static_cast<QDialog*>(d)->accept();
        });
    };
    answer(dir.file("users.dat"));
    form.BitBtn1->click();
    EXPECT_NE(ReadFile(dir.file("users.dat")).find("[Users_12]\r\n"), std::string::npos);
    answer(dir.file("users.dat"));
    form.BitBtn2->click();
    EXPECT_TRUE(form.StatusLog->toPlainText().contains("SetEnrollData OK: User=12,FP=0"));
    answer(dir.file("data"));
    form.BitBtn3->click();
    EXPECT_TRUE(form.StatusLog->toPlainText().contains(
        QString::fromStdString("Backup Data to File: \"" + dir.file("data.dbin") + "\" OK.")));
    answer(dir.file("data.dbin"));
    form.BitBtn4->click();
    EXPECT_TRUE(form.StatusLog->toPlainText().contains(
        QString::fromStdString("Restore Data from File: \"" + dir.file("data.dbin") + "\" OK.")));
    form.btnConnect->click();
    EXPECT_EQ(form.btnConnect->text(), "Connect");
    sim->Kill();
}

}  // namespace
}  // namespace qv::test
