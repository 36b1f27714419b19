// termbackup: the terminal backup tool's window.
#include <QApplication>

#include "termbackup/main_window.h"
#include "termbackup/terminal_client.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(qv::term::kApplicationTitle);
    QApplication::setApplicationDisplayName(qv::term::kApplicationTitle);
    qv::term::TForm1 form(std::make_unique<qv::term::TerminalControl>());
    form.show();
    return app.exec();
}
