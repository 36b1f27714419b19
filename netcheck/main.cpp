// netcheck: the network and database check tool's window, on the real backends of this system.
#include <QApplication>

#include "netcheck/local_system.h"
#include "netcheck/main_window.h"
#include "netcheck/probe.h"
#include "netcheck/smb_network.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(qv::net::kNetcheckTitle);
    qv::net::NetcheckBackends backends;
    backends.network = std::make_unique<qv::net::SmbNetwork>();
    backends.system = std::make_unique<qv::net::LocalSystem>(
        [](const std::string& name) { return qv::net::ProbeInChildProcess(name); });
    qv::net::TForm1 form(std::move(backends));
    form.show();
    return app.exec();
}
