#include "termbackup/main_window.h"

#include <QApplication>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <cstdio>

namespace qv::term {

namespace {

std::string Text(const QLineEdit* edit) { return edit->text().toStdString(); }

// A small picture for the buttons that carry one.
QIcon Picture(QColor color, const QString& mark) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(color);
    p.setPen(color.darker());
    p.drawRoundedRect(1, 1, 14, 14, 3, 3);
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setPixelSize(10);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, mark);
    return QIcon(pixmap);
}

// An edit with its own label just above it.
QLineEdit* LabelledEdit(QWidget* parent, const QString& label_text, const QString& text, QRect geometry,
                        QLabel** label) {
    auto* edit = new QLineEdit(text, parent);
    edit->setGeometry(geometry);
    *label = new QLabel(label_text, parent);
    (*label)->move(geometry.left(), geometry.top() - 16);
    return edit;
}

}  // namespace

TForm1::TForm1(std::unique_ptr<ITerminalControl> control, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      Terminal1(std::move(control)) {
    setObjectName("TForm1");
    setWindowTitle(QString::fromUtf8("Tarvelek veri yedekleme ve geri y\xC3\xBCkleme mod\xC3\xBCl\xC3\xBC"));
    QFont font("Tahoma");
    font.setPointSize(8);
    setFont(font);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    tool_ = std::make_unique<BackupTool>(*Terminal1, [this](const std::string& line) {
        LogStatus(QString::fromStdString(line));
    });

    auto named = [](auto* w, const char* name) {
        w->setObjectName(name);
        return w;
    };
    sbtnTCPIP = named(new QToolButton(this), "sbtnTCPIP");
    sbtnTCPIP->setGeometry(8, 9, 18, 17);
    sbtnRS232 = named(new QToolButton(this), "sbtnRS232");
    sbtnRS232->setGeometry(8, 27, 18, 17);
    for (QToolButton* b : {sbtnTCPIP, sbtnRS232}) {
        b->setCheckable(true);
        b->setAutoRaise(true);
        b->setIconSize(QSize(14, 14));
    }
    sbtnTCPIP->setIcon(Picture(QColor(40, 110, 200), "N"));
    sbtnRS232->setIcon(Picture(QColor(60, 150, 70), "S"));
    group1_ = new QButtonGroup(this);
    group1_->setExclusive(true);
    group1_->addButton(sbtnTCPIP);
    group1_->addButton(sbtnRS232);
    sbtnRS232->setChecked(true);

    edtNetAddress = named(LabelledEdit(this, "Com Port:", "COM1", QRect(28, 24, 77, 21), &lblNetAddress), "edtNetAddress");
    edtNetPort = named(LabelledEdit(this, "Cihaz ID:", "1", QRect(104, 24, 57, 21), &lblNetPort), "edtNetPort");
    Label5 = named(new QLabel("BautRate", this), "Label5");
    Label5->move(163, 8);
    edtBaudRate = named(new QLineEdit("115200", this), "edtBaudRate");
    edtBaudRate->setGeometry(162, 24, 49, 21);
    Label1 = named(new QLabel(this), "Label1");
    Label1->move(240, 2);
    btnConnect = named(new QPushButton(QString::fromUtf8("Ba\xC4\x9Flan"), this), "btnConnect");
    btnConnect->setGeometry(8, 50, 73, 25);
    chkEnabled = named(new QCheckBox("Parola:", this), "chkEnabled");
    chkEnabled->setGeometry(89, 54, 53, 17);
    edtPassword = named(new QLineEdit(this), "edtPassword");
    edtPassword->setGeometry(144, 51, 73, 21);
    Bevel1 = named(new QFrame(this), "Bevel1");
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 88, 281, 2);
    BitBtn1 = named(new QPushButton(QString::fromUtf8("Kullan\xC4\xB1\x63\xC4\xB1lar\xC4\xB1 Yedekle"), this), "BitBtn1");
    BitBtn1->setGeometry(8, 104, 137, 33);
    BitBtn2 = named(new QPushButton(QString::fromUtf8("Kullan\xC4\xB1\x63\xC4\xB1lar\xC4\xB1 Geri Y\xC3\xBCkle"), this), "BitBtn2");
    BitBtn2->setGeometry(8, 152, 137, 33);
    Bevel2 = named(new QFrame(this), "Bevel2");
    Bevel2->setFrameShape(QFrame::VLine);
    Bevel2->setFrameShadow(QFrame::Sunken);
    Bevel2->setGeometry(156, 104, 2, 81);
    BitBtn3 = named(new QPushButton("Verileri Yedekle", this), "BitBtn3");
    BitBtn3->setGeometry(168, 104, 121, 33);
    BitBtn4 = named(new QPushButton(QString::fromUtf8("Verileri Geri Y\xC3\xBCkle"), this), "BitBtn4");
    BitBtn4->setGeometry(168, 152, 121, 33);
    BitBtn1->setIcon(Picture(QColor(40, 110, 200), "U"));
    BitBtn2->setIcon(Picture(QColor(200, 120, 30), "U"));
    BitBtn3->setIcon(Picture(QColor(40, 110, 200), "D"));
    BitBtn4->setIcon(Picture(QColor(200, 120, 30), "D"));

    // The status lines, in a read-only log below the controls (the window is taller by it).
    StatusLog = named(new QPlainTextEdit(this), "StatusLog");
    StatusLog->setReadOnly(true);
    StatusLog->setGeometry(8, 196, 281, 140);
    StatusLog->setFocusPolicy(Qt::NoFocus);

    // The file dialogs, without file-type filters.
    SaveDialog1 = named(new QFileDialog(this), "SaveDialog1");
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite);
    SaveDialog1->selectFile("yedek.dat");
    OpenDialog1 = named(new QFileDialog(this), "OpenDialog1");
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    OpenDialog1->selectFile("yedek.dat");
    SaveDialog2 = named(new QFileDialog(this), "SaveDialog2");
    SaveDialog2->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog2->setOption(QFileDialog::DontConfirmOverwrite);
    SaveDialog2->setDefaultSuffix("dbin");
    OpenDialog2 = named(new QFileDialog(this), "OpenDialog2");
    OpenDialog2->setFileMode(QFileDialog::ExistingFile);
    for (QFileDialog* d : {SaveDialog1, OpenDialog1, SaveDialog2, OpenDialog2}) {
        d->setOption(QFileDialog::DontUseNativeDialog);
        d->setWindowModality(Qt::ApplicationModal);
    }

    setTabOrder(btnConnect, edtNetAddress);
    setTabOrder(edtNetAddress, edtNetPort);
    setTabOrder(edtNetPort, edtBaudRate);
    setTabOrder(edtBaudRate, edtPassword);
    setTabOrder(edtPassword, chkEnabled);
    setTabOrder(chkEnabled, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, BitBtn3);
    setTabOrder(BitBtn3, BitBtn4);
    for (QToolButton* b : {sbtnTCPIP, sbtnRS232}) b->setFocusPolicy(Qt::NoFocus);

    connect(sbtnRS232, &QToolButton::clicked, this, &TForm1::sbtnRS232Click);
    connect(sbtnTCPIP, &QToolButton::clicked, this, &TForm1::sbtnTCPIPClick);
    connect(btnConnect, &QPushButton::clicked, this, &TForm1::btnConnectClick);
    connect(chkEnabled, &QCheckBox::clicked, this, &TForm1::chkEnabledClick);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm1::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TForm1::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TForm1::BitBtn4Click);

    // FormCreate: the control's version text.
    Label1->setText(QString::fromStdString(tool_->ControlVersion()));
    Label1->adjustSize();
    setFixedSize(306 - 8, 234 - 34 + 146);  // the outer size less the frame, plus the log
}

TForm1::~TForm1() = default;

void TForm1::LogStatus(const QString& text) {
    StatusLog->appendPlainText(text);
    std::printf("%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

void TForm1::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        QMessageBox box(QMessageBox::Critical, kApplicationTitle, QString::fromStdString(ErrorBoxText(e.what())),
                        QMessageBox::Ok, this);
        box.exec();
    }
}

QString TForm1::Choose(QFileDialog* dialog) {
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return {};
    const QString file = dialog->selectedFiles().front();
    dialog->selectFile(file);  // proposed the next time
    return file;
}

void TForm1::sbtnRS232Click() {
    lblNetAddress->setText("Com Port:");
    lblNetPort->setText("Cihaz ID:");
    edtNetAddress->setText("COM1");
    edtNetPort->setText("1");
}

void TForm1::sbtnTCPIPClick() {
    lblNetAddress->setText("IP Adres:");
    lblNetPort->setText("Port:");
    edtNetAddress->setText("192.168.1.201");
    edtNetPort->setText("$1112");
}

void TForm1::btnConnectClick() {
    Guarded([&] {
        tool_->ConnectClick(Text(edtNetAddress), Text(edtNetPort), Text(edtBaudRate), Text(edtPassword));
        btnConnect->setText(QString::fromStdString(tool_->connect_caption()));
    });
}

void TForm1::chkEnabledClick() {
    Guarded([&] { tool_->EnabledClick(chkEnabled->isChecked()); });
}

void TForm1::BitBtn1Click() {
    Guarded([&] {
        const QString file = Choose(SaveDialog1);
        if (!file.isEmpty()) tool_->BackupUsers(file.toStdString());
    });
}

void TForm1::BitBtn2Click() {
    Guarded([&] {
        const QString file = Choose(OpenDialog1);
        // Pending window messages are handled between two users.
        if (!file.isEmpty()) tool_->RestoreUsers(file.toStdString(), [] { QCoreApplication::processEvents(); });
    });
}

void TForm1::BitBtn3Click() {
    Guarded([&] {
        const QString file = Choose(SaveDialog2);
        if (file.isEmpty()) return;
        if (tool_->BackupData(file.toStdString()) && !open_dialog2_named_) {
            OpenDialog2->selectFile(file);
            open_dialog2_named_ = true;
        }
    });
}

void TForm1::BitBtn4Click() {
    Guarded([&] {
        const QString file = Choose(OpenDialog2);
        if (file.isEmpty()) return;
        open_dialog2_named_ = true;
        tool_->RestoreData(file.toStdString());
    });
}

}  // namespace qv::term
