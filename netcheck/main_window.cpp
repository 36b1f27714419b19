#include "netcheck/main_window.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QThread>
#include <exception>
#include <thread>

namespace qv::net {

namespace {

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

template <class W>
W* Named(W* w, const char* name) {
    w->setObjectName(name);
    return w;
}

}  // namespace

TForm1::TForm1(NetcheckBackends backends, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      backends_(std::move(backends)) {
    setObjectName("TForm1");
    setWindowTitle(QString::fromUtf8("KOVI A\xC4\x9F Kontrol"));
    QFont font("MS Sans Serif");
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    setFont(font);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFixedSize(507, 531);

    Refresh = Named(new QPushButton("Refresh", this), "Refresh");
    Refresh->setGeometry(228, 28, 97, 25);
    ComboBox1 = Named(new QComboBox(this), "ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox1->setEditText("ComboBox1");
    ListBox1 = Named(new QListWidget(this), "ListBox1");
    liste = Named(new QTreeWidget(this), "liste");
    liste->setGeometry(12, 24, 209, 241);
    liste->setIndentation(19);
    liste->setHeaderHidden(true);
    Memo1 = Named(new QPlainTextEdit("Memo1", this), "Memo1");
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Label1 = Named(new QLabel("Label1", this), "Label1");
    Button1 = Named(new QPushButton("Kontrol et", this), "Button1");
    Button1->setGeometry(228, 60, 97, 25);
    Memo2 = Named(new QPlainTextEdit(this), "Memo2");
    Memo2->setGeometry(12, 296, 485, 225);
    Memo2->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Edit1 = Named(new QLineEdit(this), "Edit1");
    Edit1->setGeometry(102, 272, 121, 21);
    Edit1->setReadOnly(true);
    ListBox2 = Named(new QListWidget(this), "ListBox2");
    Label2 = Named(new QLabel(QString::fromUtf8("A\xC4\x9F\x64\x61ki ana bilgisayar Listesi"), this), "Label2");
    Label3 = Named(new QLabel(QString::fromUtf8("A\xC4\x9F\x64\x61ki bilgisayar listesi"), this), "Label3");
    Label3->move(16, 8);
    ListBox3 = Named(new QListWidget(this), "ListBox3");
    Label4 = Named(new QLabel("Rapor", this), "Label4");
    Label4->move(16, 276);
    for (QLabel* heading : {Label3, Label4}) {
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        heading->adjustSize();
    }
    Panel1 = Named(new QLabel(QString::fromUtf8("L\xC3\xBCtfen bekleyin sayfa g\xC3\xBCncelleniyor..."), this), "Panel1");
    Panel1->setGeometry(93, 213, 337, 65);
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setAutoFillBackground(true);
    QFont panel_font = font;
    panel_font.setBold(true);
    panel_font.setPixelSize(13);
    Panel1->setFont(panel_font);
    Button2 = Named(new QPushButton(QString::fromUtf8("Serverlar\xC4\xB1 G\xC3\xB6ster"), this), "Button2");
    Button2->setGeometry(228, 192, 97, 25);
    // The hidden components: out of sight, as on the original form.
    for (QWidget* hidden : std::initializer_list<QWidget*>{ComboBox1, ListBox1, Memo1, Label1, ListBox2, Label2, ListBox3, Panel1})
        hidden->hide();
    // None of the three buttons is a tab stop.
    for (QPushButton* b : {Refresh, Button1, Button2}) b->setFocusPolicy(Qt::ClickFocus);
    Panel1->raise();

    connect(Refresh, &QPushButton::clicked, this, &TForm1::RefreshClick);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(liste, &QTreeWidget::itemClicked, this, &TForm1::listeClick);

    // The first listing starts by itself, once, as soon as the window shows.
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    Timer1->start();
    liste->setFocus();
}

TForm1::~TForm1() = default;

void TForm1::OnGuiThread(const std::function<void()>& f) {
    if (QThread::currentThread() == thread())
        f();
    else
        QMetaObject::invokeMethod(this, f, Qt::BlockingQueuedConnection);
}

void TForm1::RunLong(const std::function<void()>& work) {
    std::exception_ptr error;
    QEventLoop loop;
    busy_ = true;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    busy_ = false;
    if (error) std::rethrow_exception(error);
}

void TForm1::Guarded(const std::function<void()>& handler) {
    if (busy_) return;
    try {
        handler();
    } catch (const std::exception& e) {
        QMessageBox box(QMessageBox::Critical, kNetcheckTitle, Q(e.what()), QMessageBox::Ok, this);
        box.exec();
    }
}

void TForm1::ClearReport() {
    OnGuiThread([this] { Memo2->clear(); });
}

void TForm1::Report(const std::string& line) {
    OnGuiThread([this, line] { Memo2->appendPlainText(Q(line)); });
}

void TForm1::ShowMessage(const std::string& text, const std::string& caption) {
    OnGuiThread([this, text, caption] {
        QMessageBox box(QMessageBox::NoIcon, caption.empty() ? QString(kNetcheckTitle) : Q(caption), Q(text),
                        QMessageBox::Ok, this);
        box.exec();
    });
}

void TForm1::ScratchLines(const std::vector<std::string>& lines) {
    OnGuiThread([this, lines] {
        QStringList all;
        for (const std::string& line : lines) all << Q(line);
        Memo1->setPlainText(all.join('\n'));
    });
}

void TForm1::ScratchText(const std::string& text) {
    OnGuiThread([this, text] { Label1->setText(Q(text)); });
}

void TForm1::ShowBusy(bool shown) {
    OnGuiThread([this, shown] {
        Panel1->setVisible(shown);
        if (shown) Panel1->repaint();
    });
}

void TForm1::ShowTree() {
    liste->clear();
    for (const TreeNode& node : listing_.tree()) {
        auto* item = new QTreeWidgetItem(liste, QStringList(Q(node.text)));
        for (const TreeNode& child : node.children) new QTreeWidgetItem(item, QStringList(Q(child.text)));
        item->setExpanded(node.expanded);
    }
    ListBox1->clear();
    for (const std::string& line : listing_.record_lines()) ListBox1->addItem(Q(line));
    ListBox3->clear();
    for (const std::string& share : listing_.share_names()) ListBox3->addItem(Q(share));
}

void TForm1::Timer1Timer() {
    Timer1->stop();
    RefreshClick();
}

void TForm1::RefreshClick() {
    Guarded([this] {
        ++listings_;
        try {
            RunLong([this] { listing_.Refresh(*backends_.network, *this); });
        } catch (...) {
            ShowTree();
            throw;
        }
        ShowTree();
    });
}

void TForm1::listeClick() {
    Guarded([this] {
        QTreeWidgetItem* item = liste->currentItem();
        std::vector<size_t> path;
        for (QTreeWidgetItem* i = item; i; i = i->parent()) {
            const int index = i->parent() ? i->parent()->indexOfChild(i) : liste->indexOfTopLevelItem(i);
            path.insert(path.begin(), static_cast<size_t>(index));
        }
        std::string host = Edit1->text().toStdString();
        listing_.Click(path, *this, &host);
        Edit1->setText(Q(host));
    });
}

void TForm1::Button1Click() {
    Guarded([this] {
        const std::string host = Edit1->text().toStdString();
        RunLong([this, host] { RunCheck(*backends_.system, *this, host); });
    });
}

void TForm1::Button2Click() {
    Guarded([this] {
        std::string host;
        RunLong([this, &host] {
            listing_.ShowServers(
                [this](const std::string& name) {
                    // The host field follows the walk.
                    OnGuiThread([this, name] { Edit1->setText(Q(name.substr(0, name.find(':')))); });
                    return backends_.system->ProbeDatabase(name) != ProbeResult::kFailed;
                },
                &host);
        });
        ShowTree();
        liste->collapseAll();
        Edit1->setText(Q(host));
    });
}

}  // namespace qv::net
