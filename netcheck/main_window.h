// TForm1: the window of netcheck. Its components keep the names of the original form; the
// handlers run the toolkit-free listing and check. Long steps run on a worker thread while the
// window keeps painting and holds user input back, so no handler ever runs inside another.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>
#include <functional>
#include <memory>

#include "netcheck/check.h"
#include "netcheck/listing.h"

namespace qv::net {

inline constexpr char kNetcheckTitle[] = "netcheck";

// What the window needs of the system: the network source, the check's system, and the probe of
// the server listing.
struct NetcheckBackends {
    std::unique_ptr<NetEnumerator> network;
    std::unique_ptr<CheckSystem> system;
};

class TForm1 : public QWidget, private CheckUi, private ListingUi {
    Q_OBJECT

public:
    explicit TForm1(NetcheckBackends backends, QWidget* parent = nullptr);
    ~TForm1() override;

    QPushButton* Refresh;
    QComboBox* ComboBox1;
    QListWidget* ListBox1;
    QTreeWidget* liste;
    QPlainTextEdit* Memo1;
    QLabel* Label1;
    QPushButton* Button1;
    QPlainTextEdit* Memo2;
    QLineEdit* Edit1;
    QListWidget* ListBox2;
    QLabel* Label2;
    QLabel* Label3;
    QListWidget* ListBox3;
    QLabel* Label4;
    QTimer* Timer1;
    QLabel* Panel1;
    QPushButton* Button2;

    // How many times the listing ran (the start-up listing included).
    int listings() const { return listings_; }

public slots:
    void Timer1Timer();
    void RefreshClick();
    void listeClick();
    void Button1Click();
    void Button2Click();

private:
    // CheckUi and ListingUi, called from the worker: each runs on the window's thread.
    void ClearReport() override;
    void Report(const std::string& line) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    void ShowBusy(bool shown) override;
    void ShowMessage(const std::string& text) override { ShowMessage(text, {}); }
    void ScratchLines(const std::vector<std::string>& lines) override;
    void ScratchText(const std::string& text) override;

    // Runs `work` on a worker thread; the window paints meanwhile and user input waits.
    void RunLong(const std::function<void()>& work);
    // Runs a handler; an error it raises goes to the application's error box.
    void Guarded(const std::function<void()>& handler);
    void OnGuiThread(const std::function<void()>& f);
    void ShowTree();

    NetcheckBackends backends_;
    NetListing listing_;
    int listings_ = 0;
    bool busy_ = false;
};

}  // namespace qv::net
