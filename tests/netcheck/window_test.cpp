// The netcheck window under the offscreen platform, over scripted backends.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>
#include <atomic>

#include "netcheck/main_window.h"

namespace qv::test {
namespace {

using namespace net;

struct OneServerNetwork final : NetEnumerator {
    std::atomic<int> opens{0};
    std::atomic<bool> panel_seen{false};
    QWidget* panel = nullptr;
    int Open(const NetResource* c) override {
        ++opens;
        if (panel && panel->isVisible()) panel_seen = true;
        return c ? 1 : 0;
    }
    int NextBatch(int e, std::vector<NetResource>* batch) override {
        static thread_local std::vector<int> done(2, 0);
        if (done[static_cast<size_t>(e)]++ % 2) return kResultNoMoreItems;
        if (e == 0)
            *batch = {NetResource{0, 2, 2, std::nullopt, std::string("\\\\ALPHA")},
                      NetResource{0, 2, 0, std::nullopt, std::string("\\\\BETA")}};
        else
            *batch = {NetResource{1, 3, 0, std::nullopt, std::string("\\\\ALPHA\\ders")}};
        return 0;
    }
    bool Close(int) override { return true; }
};

struct ScriptedSystem final : CheckSystem {
    bool installed = true;
    bool OpenServerKey(const std::string&) override { return installed; }
    ProcessList Processes() override { return {false, {"fbserver"}}; }
    std::string ComputerName() override { return "HERE"; }
    std::vector<std::string> PingOutput(const std::string&) override {
        std::vector<std::string> lines(12, "reply");
        lines[2] = "Pinging x [10.0.0.1] with 32 bytes of data:";
        return lines;
    }
    std::vector<std::string> NetstatOutput() override { return {"TCP 0.0.0.0:gds_db LISTENING"}; }
    std::vector<std::string> ServicesCandidates() override { return {}; }
    bool FileExists(const std::string&) override { return false; }
    std::vector<std::string> ReadLines(const std::string&) override { return {}; }
    void WriteLines(const std::string&, const std::vector<std::string>&) override {}
    ProbeResult ProbeDatabase(const std::string& name) override {
        return name.rfind("ALPHA:", 0) == 0 || name.rfind("c:", 0) == 0 ? ProbeResult::kConnected : ProbeResult::kFailed;
    }
};

class NetcheckWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "netcheck_window_test";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
    }
    NetcheckWindowTest() {
        auto network = std::make_unique<OneServerNetwork>();
        auto system = std::make_unique<ScriptedSystem>();
        network_ = network.get();
        system_ = system.get();
        form_ = std::make_unique<TForm1>(NetcheckBackends{std::move(network), std::move(system)});
        network_->panel = form_->Panel1;
        form_->show();
        Pump(100);
    }
    static void Pump(int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
    void WithModal(const std::function<void()>& act, const std::function<void(QMessageBox*)>& answer) {
        bool answered = false;
        QTimer::singleShot(50, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            answer(box);
            answered = true;
            box->accept();
        });
        act();
        EXPECT_TRUE(answered);
    }

    OneServerNetwork* network_;
    ScriptedSystem* system_;
    std::unique_ptr<TForm1> form_;
};

TEST_F(NetcheckWindowTest, ListsOnceAtStartWithTheBusyNoticeShownThenHidden) {
    EXPECT_EQ(form_->listings(), 1);
    Pump(50);
    EXPECT_EQ(form_->listings(), 1) << "the timer runs once";
    EXPECT_TRUE(network_->panel_seen);
    EXPECT_FALSE(form_->Panel1->isVisible());
    ASSERT_EQ(form_->liste->topLevelItemCount(), 2);
    EXPECT_EQ(form_->liste->topLevelItem(0)->text(0), "\\\\ALPHA");
    EXPECT_EQ(form_->liste->topLevelItem(0)->child(0)->text(0), "\\\\ALPHA\\ders");
    EXPECT_EQ(form_->windowTitle().toStdString(), "KOVI A\xC4\x9F Kontrol");
    EXPECT_EQ(form_->size(), QSize(507, 531));
    EXPECT_FALSE(form_->Memo1->isVisible());
    EXPECT_FALSE(form_->Button1->focusPolicy() & Qt::TabFocus);
}

TEST_F(NetcheckWindowTest, TheHostFieldCannotBeTypedInto) {
    form_->Edit1->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    QApplication::sendEvent(form_->Edit1, &press);
    EXPECT_EQ(form_->Edit1->text(), "");
    EXPECT_TRUE(form_->Edit1->isReadOnly());
}

TEST_F(NetcheckWindowTest, ClicksInTheTreePickAComputerOrAskForOne) {
    form_->liste->setCurrentItem(form_->liste->topLevelItem(0));
    form_->listeClick();
    EXPECT_EQ(form_->Edit1->text(), "ALPHA");
    form_->liste->setCurrentItem(form_->liste->topLevelItem(0)->child(0));
    WithModal([&] { form_->listeClick(); },
              [](QMessageBox* box) { EXPECT_EQ(box->text().toStdString(), "L\xC3\xBCtfen bilgisayar ad\xC4\xB1 se\xC3\xA7in"); });
    EXPECT_EQ(form_->Edit1->text(), "");
}

TEST_F(NetcheckWindowTest, TheCheckReportsAndAnErrorLeavesAWorkingWindow) {
    form_->Button1->click();
    const QStringList report = form_->Memo2->toPlainText().split('\n');
    ASSERT_GE(report.size(), 4);
    EXPECT_TRUE(report[0].startsWith(QString::fromUtf8("TCP/IP ba\xC4\x9Flant\xC4\xB1s\xC4\xB1")));
    EXPECT_EQ(report.back().toStdString(), "Smart.gdb ile ba\xC4\x9Flant\xC4\xB1 sa\xC4\x9Fland\xC4\xB1");
    EXPECT_EQ(form_->Label1->text(), "10.0.0.1") << "the scratch label ends with the address";
    EXPECT_EQ(form_->Memo1->toPlainText(), "TCP 0.0.0.0:gds_db LISTENING") << "the last command output";
    system_->installed = false;
    WithModal([&] { form_->Button1->click(); },
              [](QMessageBox* box) {
                  EXPECT_EQ(box->windowTitle(), "netcheck");
                  EXPECT_EQ(box->icon(), QMessageBox::Critical);
                  EXPECT_TRUE(box->text().startsWith("Interbase veya FireBird"));
              });
    form_->Refresh->click();
    EXPECT_EQ(form_->listings(), 2);
    EXPECT_EQ(form_->liste->topLevelItemCount(), 2);
}

TEST_F(NetcheckWindowTest, TheServerListingKeepsTheServersCollapsed) {
    form_->Button2->click();
    ASSERT_EQ(form_->liste->topLevelItemCount(), 1);
    EXPECT_EQ(form_->liste->topLevelItem(0)->text(0), "\\\\ALPHA");
    EXPECT_FALSE(form_->liste->topLevelItem(0)->isExpanded());
    EXPECT_EQ(form_->Edit1->text(), "");
}

TEST_F(NetcheckWindowTest, Screenshot) {
    const QByteArray dir = qgetenv("QV_SCREENSHOT_DIR");
    if (dir.isEmpty()) GTEST_SKIP() << "QV_SCREENSHOT_DIR names where to put it";
    form_->liste->expandAll();
    form_->Button1->click();
    EXPECT_TRUE(form_->grab().save(QString::fromUtf8(dir) + "/netcheck.png"));
}

}  // namespace
}  // namespace qv::test

#include <cstdlib>

#include "netcheck/local_system.h"
#include "netcheck/probe.h"
#include "netcheck/smb_network.h"

namespace qv::test {
namespace {

// The window on its real backends and the test servers of tools/test.sh: it lists the network
// from its root, checks 127.0.0.1 through every step, and thins the tree.
TEST_F(NetcheckWindowTest, OnTheRealServersItListsChecksAndThins) {
    if (!std::getenv("QV_SMB_BROWSE") || !std::getenv("QV_FIREBIRD")) GTEST_SKIP() << "no test servers started";
    NetcheckBackends backends;
    backends.network = std::make_unique<SmbNetwork>(3000);
    backends.system = std::make_unique<LocalSystem>([](const std::string& n) { return ProbeInChildProcess(n); });
    TForm1 form(std::move(backends));
    form.show();
    Pump(100);
    for (int i = 0; i < 100 && form.liste->topLevelItemCount() == 0; ++i) Pump(100);
    ASSERT_EQ(form.liste->topLevelItemCount(), 1);
    EXPECT_EQ(form.liste->topLevelItem(0)->text(0), "\\\\LOOPSRV");
    form.liste->setCurrentItem(form.liste->topLevelItem(0));
    form.listeClick();
    EXPECT_EQ(form.Edit1->text(), "LOOPSRV");
    form.Edit1->setText("127.0.0.1");  // the computer that serves the databases here
    form.Button1->click();
    const QStringList report = form.Memo2->toPlainText().split('\n');
    ASSERT_EQ(report.size(), 4) << form.Memo2->toPlainText().toStdString();
    EXPECT_EQ(report[3].toStdString(), "Smart.gdb ile ba\xC4\x9Flant\xC4\xB1 sa\xC4\x9Fland\xC4\xB1");
    // LOOPSRV is no name the database client can reach here: the server listing removes it.
    form.Button2->click();
    EXPECT_EQ(form.liste->topLevelItemCount(), 0);
    EXPECT_EQ(form.Edit1->text(), "");
}

}  // namespace
}  // namespace qv::test
