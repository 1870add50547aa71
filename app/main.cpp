// tarvela: the main window. Until the full window lands it opens the local database and
// shows the status log.
#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTimer>

#include <cstring>

#include "DM_db_source.h"
#include "ProgramDir.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Zentor Tarvela");
    std::string dir = programDirectory();
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--dir") == 0) dir = asDirectory(argv[i + 1]);

    Tdm_db dm_db;
    QMainWindow w;
    w.setObjectName("F_Knjizenje");
    w.setWindowTitle("ZENTOR Tarvela ");
    w.setFixedSize(797, 632);
    auto* memo = new QPlainTextEdit(&w);
    memo->setObjectName("Memo1");
    memo->setReadOnly(true);
    w.setCentralWidget(memo);
    w.show();
    QTimer::singleShot(0, [&] {
        dm_db.DatabaseName = dir + Tdm_db::FileName;
        try {
            dm_db.Open();
            dm_db.froba.open();
            dm_db.froba.setIndexName("frobasifra");
            memo->appendPlainText("Lokalna baza podataka otvorena..");
        } catch (const std::exception& e) {
            QMessageBox::critical(&w, QApplication::applicationName(),
                                  QString("Greska otvaranja baze podataka!\r") + e.what());
        }
    });
    int rc = app.exec();
    dm_db.CommitIfActive();
    return rc;
}
