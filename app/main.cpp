// tarvela: the program with its main window.
#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <pthread.h>
#include <sys/signalfd.h>
#include <cstring>
#include <memory>
#include <unistd.h>

#include "DM_db_source.h"
#include "Dialogs.h"
#include "ProgramDir.h"
#include "Simulator.h"
#include <QComboBox>
#include "U_Knjizenje.h"
#include "U_Podesavanje.h"

namespace {

// SIGTERM and SIGINT close the window the normal way: the database is committed and the
// settings written, as when the user closes it. The signals are blocked in every thread (the
// database engine would otherwise catch them and shut itself down under the running program)
// and read from a signalfd on the event loop instead.
sigset_t terminationSignals() {
    sigset_t s;
    sigemptyset(&s);
    sigaddset(&s, SIGTERM);
    sigaddset(&s, SIGINT);
    return s;
}

void closeOnTerminate(QWidget& window) {
    sigset_t s = terminationSignals();
    int fd = signalfd(-1, &s, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd < 0) return;
    auto* n = new QSocketNotifier(fd, QSocketNotifier::Read, &window);
    QObject::connect(n, &QSocketNotifier::activated, &window, [fd, &window] {
        signalfd_siginfo info;
        while (read(fd, &info, sizeof info) == sizeof info) {
        }
        window.close();
    });
}

}  // namespace

int main(int argc, char** argv) {
    sigset_t blocked = terminationSignals();
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);  // before any thread starts
    QApplication app(argc, argv);
    QApplication::setApplicationName("Zentor Tarvela");
    std::string dir = programDirectory();
    bool simulate = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) dir = asDirectory(argv[i + 1]);
        if (std::strcmp(argv[i], "--simulate") == 0) simulate = true;
    }

    // The data module first; the device link is made before the main window, which holds it
    // by reference (and lets pending window messages run before each exchange).
    Tdm_db dm_db;
    WidgetDialogs dialogs;
    TF_Podesavanje F_Podesavanje;
    TF_Knjizenje window(dm_db, F_Podesavanje, dialogs, dir);
    dialogs.setParent(&window);
    // --simulate: a simulated register of the selected type answers on the selected port.
    std::unique_ptr<SimulatedRegister> simulated;
    if (simulate) {
        simulated = std::make_unique<SimulatedRegister>(dir);
        window.BeforeConnect = [&] {
            simulated->PointAt(window.TipKase->ItemIndex(), std::max(0, window.ComboBox1->currentIndex()));
        };
    }
    closeOnTerminate(window);
    window.show();
    return app.exec();
}
