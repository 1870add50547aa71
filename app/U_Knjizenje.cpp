#include "U_Knjizenje.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWindow>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <thread>

#include "DM_db_source.h"
#include "FileIO.h"
#include "Markon.h"
#include "Orbella.h"
#include "OrbellaFrame.h"
#include "pitanjeopsega.h"
#include "DatasetModel.h"
#include "Dialogs.h"
#include "U_Podesavanje.h"
#include "u_unos_sifre_robe.h"

TF_Knjizenje* F_Knjizenje = nullptr;

namespace {

constexpr const char* IniName = "tarvela.ini";

std::string latin1(const QString& s) {
    QByteArray b = s.toLatin1();
    return std::string(b.constData(), static_cast<size_t>(b.size()));
}

QPushButton* button(QWidget* parent, const char* name, const char* caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

QLineEdit* lineEdit(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

}  // namespace

// ---- small controls ------------------------------------------------------------------------------

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)) {
    auto* l = new QHBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto* r = new QRadioButton(items[i], this);
        group_->addButton(r, i);
        l->addWidget(r);
    }
}

int TRadioGroup::ItemIndex() const { return group_->checkedId(); }

void TRadioGroup::setItemIndex(int i) {
    if (QAbstractButton* b = group_->button(i)) {
        b->setChecked(true);
    } else if (QAbstractButton* c = group_->checkedButton()) {
        group_->setExclusive(false);
        c->setChecked(false);
        group_->setExclusive(true);
    }
}

TProgress::TProgress(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    setValue(0);
}

void TProgress::setTotal(int total) {
    total_ = std::max(0, total);
    setCompleted(0);
}

void TProgress::setCompleted(int completed) {
    completed_ = std::clamp(completed, 0, total_);
    setValue(total_ == 0 ? 0 : static_cast<int>(std::lround(completed_ * 100.0 / total_)));
}

// ---- the window ----------------------------------------------------------------------------------

TF_Knjizenje::TF_Knjizenje(Tdm_db& dm, TF_Podesavanje& link, Dialogs& dialogs, std::string directory,
                           QWidget* parent)
    : QWidget(parent),
      Pause([](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }),
      dm_(dm),
      link_(link),
      dialogs_(dialogs),
      dir_(std::move(directory)),
      orbella_(std::make_unique<TOrbella>(link, dm, *this)),
      markon_(std::make_unique<TMarkon>(link, dm, *this)) {
    F_Knjizenje = this;
    link_.ProcessMessages = [] { QApplication::processEvents(); };
    opseg = new Topseg(this);
    setObjectName("F_Knjizenje");
    setWindowTitle("ZENTOR Tarvela ");
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint);
    setFixedSize(797, 632);
    setFont(QFont("Tahoma"));

    TipKase = new TRadioGroup(" Tip uredjaja ", {"Orbella", "Markon"}, this);
    TipKase->setObjectName("TipKase");
    TipKase->setItemIndex(0);

    auto* portBox = new QGroupBox(" Com Port ", this);
    ComboBox1 = new QComboBox(portBox);
    ComboBox1->setObjectName("ComboBox1");
    for (int i = 1; i <= 9; ++i) ComboBox1->addItem(QString("COM %1").arg(i));
    ComboBox1->setCurrentIndex(0);
    ComboBox2 = new QComboBox(portBox);
    ComboBox2->setObjectName("ComboBox2");
    ComboBox2->addItems({"9600", "57600"});
    ComboBox2->setCurrentIndex(1);
    auto* portLayout = new QHBoxLayout(portBox);
    portLayout->addWidget(ComboBox1);
    portLayout->addWidget(new QLabel("Speed", portBox));
    portLayout->addWidget(ComboBox2);

    auto* linkBox = new QGroupBox(" Povezivanje ", this);
    Edit7 = lineEdit(linkBox, "Edit7");
    Edit7->setText("4071938265530817");
    Edit4 = lineEdit(linkBox, "Edit4");
    Edit4->setText("000020");
    BitBtn1 = button(linkBox, "BitBtn1", "Povezi se");
    connect(BitBtn1, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn1Click);
    auto* linkLayout = new QHBoxLayout(linkBox);
    linkLayout->addWidget(new QLabel("IBSA", linkBox));
    linkLayout->addWidget(Edit7);
    linkLayout->addWidget(new QLabel("IBFK", linkBox));
    linkLayout->addWidget(Edit4);
    linkLayout->addWidget(BitBtn1);

    auto* statusBox = new QGroupBox(" Status ", this);
    Memo1 = new QPlainTextEdit(statusBox);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setBackgroundRole(QPalette::Window);
    auto* statusLayout = new QVBoxLayout(statusBox);
    statusLayout->addWidget(Memo1);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    PageControl1->addTab(buildRobaTab(), "Roba");
    for (const char* name : {"Poreske stope", "Operateri", "Grupe", "Naziv", "Podesavanja", "Komande"}) {
        auto* page = new QWidget;
        page->setObjectName(name);
        PageControl1->addTab(page, name);
    }
    // Groups and operators grids: their commands come with their tabs.
    DBGrid2 = new DBGrid(PageControl1->widget(2));
    DBGrid2->setObjectName("DBGrid2");
    DBGrid2->setDatasetModel(new DatasetModel(
        dm_.f_operateri,
        {{"STAT", "STAT", 38, Qt::AlignLeft},
         {"F_SIFRA_OPERATERA", "SIFRA", 58, Qt::AlignLeft},
         {"F_NAZIV_OPERATERA", "NAZIV", 173, Qt::AlignLeft},
         {"F_LOZINKA_OPERATERA", "LOZINKA", 76, Qt::AlignLeft}},
        DBGrid2));
    (new QVBoxLayout(PageControl1->widget(2)))->addWidget(DBGrid2);
    DBGrid1 = new DBGrid(PageControl1->widget(3));
    DBGrid1->setObjectName("DBGrid1");
    DBGrid1->setDatasetModel(new DatasetModel(dm_.f_grupe_roba,
                                              {{"STAT", "STAT", 39, Qt::AlignLeft},
                                               {"F_SIFRA_GRUPA", "Sifra", 41, Qt::AlignHCenter},
                                               {"F_NAZIV_GRUPA", "Naziv", 216, Qt::AlignLeft},
                                               {"PORSTOPA", "Stopa", 62, Qt::AlignLeft}},
                                              DBGrid1));
    (new QVBoxLayout(PageControl1->widget(3)))->addWidget(DBGrid1);
    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int i) {
        guarded([&] {
            if (i == 2 && dm_.Connected()) dm_.f_operateri.open();
            if (i == 3 && dm_.Connected()) dm_.f_grupe_roba.open();
        });
    });

    QWidget* settingsTab = PageControl1->widget(5);
    ComboBox3 = new QComboBox(settingsTab);
    ComboBox3->setObjectName("ComboBox3");
    ComboBox3->addItems({"Latinica", "Cirilica"});
    ComboBox3->setCurrentIndex(0);
    Button1 = button(settingsTab, "Button1", "Postavi");
    auto* settingsLayout = new QHBoxLayout(settingsTab);
    settingsLayout->addWidget(new QLabel("Font kodna strana", settingsTab));
    settingsLayout->addWidget(ComboBox3);
    settingsLayout->addWidget(Button1);
    settingsLayout->addStretch();
    connect(Button1, &QPushButton::clicked, this, &TF_Knjizenje::Button1Click);

    pb = new TProgress(this);
    pb->setObjectName("pb");
    BitBtn10 = button(this, "BitBtn10", "Stop");
    connect(BitBtn10, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn10Click);

    auto* top = new QHBoxLayout;
    top->addWidget(TipKase);
    top->addWidget(portBox);
    top->addWidget(linkBox, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(pb, 1);
    bottom->addWidget(BitBtn10);
    auto* main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addWidget(statusBox, 1);
    main->addWidget(PageControl1, 4);
    main->addLayout(bottom);

    PageControl1->setCurrentIndex(0);  // FormCreate: the first tab, not connected
    Connected = false;
    qApp->installEventFilter(this);
}

TF_Knjizenje::~TF_Knjizenje() {
    qApp->removeEventFilter(this);
    if (F_Knjizenje == this) F_Knjizenje = nullptr;
}

QWidget* TF_Knjizenje::buildRobaTab() {
    auto* tab = new QWidget;
    tab->setObjectName("Roba");
    RzMenuButton3 = button(tab, "RzMenuButton3", "Citanje iz kase");
    auto* readMenu = new QMenu(RzMenuButton3);
    connect(readMenu->addAction("Ocitaj samo trenutnu robu"), &QAction::triggered, this, &TF_Knjizenje::MenuItem1Click);
    connect(readMenu->addAction("Ocitaj grupu sifri iz kase"), &QAction::triggered, this, &TF_Knjizenje::MenuItem2Click);
    RzMenuButton3->setMenu(readMenu);
    BitBtn3 = button(tab, "BitBtn3", "F5 - Nova roba");
    BitBtn4 = button(tab, "BitBtn4", "F6 - Prepravi");
    BitBtn5 = button(tab, "BitBtn5", "F7 - Obrisi");
    BitBtn7 = button(tab, "BitBtn7", "Uvoz iz Excela");
    BitBtn6 = button(tab, "BitBtn6", "Izvoz u Excel");
    RzMenuButton2 = button(tab, "RzMenuButton2", "Upis u kasu");
    auto* writeMenu = new QMenu(RzMenuButton2);
    connect(writeMenu->addAction("Upisi samo trenutnu robu"), &QAction::triggered, this,
            &TF_Knjizenje::Upisisamotrenutnurobu1Click);
    connect(writeMenu->addAction("Upisi samo promjenjene robe"), &QAction::triggered, this,
            &TF_Knjizenje::Upisisamopromjenjenerobe1Click);
    connect(writeMenu->addAction("Upisi sve"), &QAction::triggered, this, &TF_Knjizenje::Upisisve1Click);
    writeMenu->addSeparator();
    connect(writeMenu->addAction("Obrisi vise roba u kasi "), &QAction::triggered, this,
            &TF_Knjizenje::Obrisiviserobaukasi1Click);
    RzMenuButton2->setMenu(writeMenu);
    BitBtn9 = button(tab, "BitBtn9", "Stampaj listu");
    RzMenuButton1 = button(tab, "RzMenuButton1", "Napredno");
    NapredanMenu = new QMenu(RzMenuButton1);
    NapredanMenu->setObjectName("NapredanMenu");
    NapredanMenu->addAction("Ocisti sadrzaj u kasi");  // runs no command
    connect(NapredanMenu->addAction("Isprazni ovu tabelu"), &QAction::triggered, this,
            &TF_Knjizenje::Isprazniovutabelu1Click);
    NapredanMenu->addSeparator();
    connect(NapredanMenu->addAction("Prihvati sve izmjene bez slanja na kasu"), &QAction::triggered,
            this, &TF_Knjizenje::Prihvatisveizmjenebezslanjanakasu1Click);
    NapredanMenu->addSeparator();
    connect(NapredanMenu->addAction("Prebaci sve robe u stopu X"), &QAction::triggered, this,
            &TF_Knjizenje::Prebacisverobeustopu11Click);
    NapredanMenu->addSeparator();
    NapredanMenu->addAction("Analiza duplih barkodova");  // runs no command
    RzMenuButton1->setMenu(NapredanMenu);

    connect(BitBtn3, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn4Click);
    connect(BitBtn5, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn5Click);

    auto* heading = new QLabel("Trazenje po ", tab);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    Edit1 = lineEdit(tab, "Edit1");
    Edit2 = lineEdit(tab, "Edit2");
    Edit2->setMaxLength(32);
    Edit3 = lineEdit(tab, "Edit3");
    Edit3->setMaxLength(14);
    // (Their keys and focus are seen by the window's application-wide filter.)

    DBGrid4 = new DBGrid(tab);
    DBGrid4->setObjectName("DBGrid4");
    QFont narrow("Liberation Sans Narrow");
    narrow.setStretch(QFont::Condensed);
    DBGrid4->setFont(narrow);
    robaModel_ = new DatasetModel(dm_.froba,
                                  {{"STAT", "STAT", 38, Qt::AlignLeft},
                                   {"F_SIFRA_ROBE", "Fisk Sifra", 59, Qt::AlignHCenter},
                                   {"F_BAR_CODE", "Bar Code", 115, Qt::AlignLeft},
                                   {"F_NAZIV_ROBE", "Naziv", 184, Qt::AlignLeft},
                                   {"F_SIFRA_GRUPA", "Gr", 25, Qt::AlignHCenter},
                                   {"F_SIFRA_POR_STOPE", "St", 25, Qt::AlignHCenter},
                                   {"StopaIme", "Ime", 25, Qt::AlignLeft},
                                   {"F_CIJENA_ROBE", "Cijena", 68, Qt::AlignLeft},
                                   {"F_KOLICINA", "Kolicina", 75, Qt::AlignLeft}},
                                  DBGrid4);
    DBGrid4->setDatasetModel(robaModel_);
    GridMenu = new QMenu(DBGrid4);
    GridMenu->setObjectName("GridMenu");
    connect(GridMenu->addAction("Prebaci na Latinicu"), &QAction::triggered, this,
            &TF_Knjizenje::PrebacinaLatinicu1Click);
    connect(GridMenu->addAction("Prebaci na Cirilicu"), &QAction::triggered, this,
            &TF_Knjizenje::PrebacinaCirilicu1Click);
    DBGrid4->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGrid4, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { GridMenu->exec(DBGrid4->viewport()->mapToGlobal(p)); });

    auto* buttons = new QGridLayout;
    QWidget* row[] = {RzMenuButton3, BitBtn3, BitBtn4, BitBtn5, BitBtn7, BitBtn6, RzMenuButton2, BitBtn9, RzMenuButton1};
    for (int i = 0; i < 9; ++i) buttons->addWidget(row[i], i / 5, i % 5);
    auto* search = new QHBoxLayout;
    search->addWidget(heading);
    search->addWidget(new QLabel("Sifra", tab));
    search->addWidget(Edit1);
    search->addWidget(new QLabel("Naziv", tab));
    search->addWidget(Edit2);
    search->addWidget(new QLabel("Barcode", tab));
    search->addWidget(Edit3);
    auto* l = new QVBoxLayout(tab);
    l->addLayout(buttons);
    l->addLayout(search);
    l->addWidget(DBGrid4, 1);
    return tab;
}

template <class F>
void TF_Knjizenje::guarded(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        dialogs_.ShowError(e.what());
    }
}

void TF_Knjizenje::AddLog(const std::string& line) {
    Memo1->appendPlainText(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
}

int TF_Knjizenje::CodePageIndex() const { return ComboBox3->currentIndex(); }

void TF_Knjizenje::ProcessMessages() { QApplication::processEvents(); }

// ---- settings and life cycle -----------------------------------------------------------------

Settings TF_Knjizenje::currentSettings() const {
    Settings s;
    s.ComPortIndex = ComboBox1->currentIndex();
    s.SpeedIndex = ComboBox2->currentIndex();
    s.TipUredjajaIndex = TipKase->ItemIndex();
    s.IBFK = latin1(Edit4->text());
    s.JezikIndex = ComboBox3->currentIndex();
    s.IBSA = latin1(Edit7->text());
    return s;
}

void TF_Knjizenje::applySettings(const Settings& s) {
    auto pick = [](QComboBox* c, int i) { c->setCurrentIndex(i >= 0 && i < c->count() ? i : -1); };
    pick(ComboBox1, s.ComPortIndex);
    pick(ComboBox2, s.SpeedIndex);
    TipKase->setItemIndex(s.TipUredjajaIndex > 1 ? 1 : s.TipUredjajaIndex);
    pick(ComboBox3, s.JezikIndex);
    Edit4->setText(QString::fromLatin1(s.IBFK.c_str()));
    Edit7->setText(QString::fromLatin1(s.IBSA.c_str()));
}

void TF_Knjizenje::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TF_Knjizenje::FormShow() {
    QApplication::processEvents();
    const std::string ini = dir_ + IniName;
    std::string content;
    int err = 0;
    if (readWholeFile(ini, content, err)) {
        Settings s = currentSettings();
        applyIni(content, s);
        applySettings(s);
    } else if (err != ENOENT) {
        // A settings file that is there but cannot be read: say so, go on with the defaults.
        dialogs_.ShowError("Greska citanja datoteke " + ini + "\r" + std::strerror(err));
    }
    try {
        dm_.DatabaseName = dir_ + Tdm_db::FileName;
        dm_.Open();
        dm_.froba.open();
        AddLog("Lokalna baza podataka otvorena..");
    } catch (const std::exception& ex) {
        dialogs_.ShowError(std::string("Greska otvaranja baze podataka!\r") + ex.what());
    }
    try {
        dm_.froba.setIndexName("frobasifra");
    } catch (const std::exception& ex) {
        dialogs_.ShowError(std::string("Greska postavljanja indeksa slaganja sifri robe!\r") + ex.what());
    }
    Button1Click();
}

void TF_Knjizenje::closeEvent(QCloseEvent* e) {
    FormClose();
    QWidget::closeEvent(e);
}

void TF_Knjizenje::FormClose() {
    if (closed_) return;
    closed_ = true;
    guarded([&] { dm_.CommitIfActive(); });
    const std::string ini = dir_ + IniName;
    int err = 0;
    if (!writeWholeFile(ini, formatIni(currentSettings()), err))
        dialogs_.ShowError("Greska upisa datoteke " + ini + "\r" + std::strerror(err));
}

bool TF_Knjizenje::FormKeyDown(int key) {
    if (PageControl1->currentIndex() != 0) return false;
    if (key == Qt::Key_F7) BitBtn5Click();
    else if (key == Qt::Key_F6) BitBtn4Click();
    else if (key == Qt::Key_F5) BitBtn3Click();
    else return false;
    return true;
}

bool TF_Knjizenje::eventFilter(QObject* o, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        // The window sees keys before its controls: a key reaches the window's own native
        // window exactly once, before it goes on to the focused control.
        if (o == windowHandle()) FormKeyDown(k->key());
        if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) &&
            (o == Edit1 || o == Edit2 || o == Edit3)) {
            if (o == Edit1) Edit1KeyPress();
            if (o == Edit2) Edit2KeyPress();
            if (o == Edit3) Edit3KeyPress();
            return true;  // swallowed
        }
    } else if (e->type() == QEvent::FocusIn) {
        if (o == Edit1) Edit1Enter();
        if (o == Edit2) Edit2Enter();
        if (o == Edit3) Edit3Enter();
    }
    return QWidget::eventFilter(o, e);
}

void TF_Knjizenje::BitBtn10Click() { StopRequested = true; }

void TF_Knjizenje::Button1Click() {
    int i = ComboBox3->currentIndex();
    if (i < 0) return;
    codePage_ = i == 1 ? CodePage::Cirilica : CodePage::Latinica;
    for (DBGrid* g : {DBGrid1, DBGrid2, DBGrid4}) g->datasetModel()->setCodePage(codePage_);
}

// ---- articles ------------------------------------------------------------------------------------

bool TF_Knjizenje::articleRulesPass() {
    const db::Table& t = dm_.froba;
    double code = t.fieldByName("F_SIFRA_ROBE").asFloat();
    double price = t.fieldByName("F_CIJENA_ROBE").asFloat();
    double group = t.fieldByName("F_SIFRA_GRUPA").asFloat();
    double rate = t.fieldByName("F_SIFRA_POR_STOPE").asFloat();
    bool ok = true;
    auto rule = [&](bool holds, const char* message) {
        if (!holds) {
            dialogs_.ShowError(message);
            ok = false;
        }
    };
    rule(code >= 0, "Sifra robe ne moze biti manja od 0");
    rule(price >= 0, "Cijena robe ne moze biti manja od 0");
    rule(code <= 12000, "Sifra robe ne moze biti veca od 12000");
    rule(group >= 0 && group <= 10, "Grupa robe nije u dozvoljenim granicama");
    rule(rate >= 0 && rate <= 3, "Poreska stopa robe nije u dozvoljenim granicama");
    return ok;
}

bool TF_Knjizenje::runArticleDialog() {
    if (!azuroba_) azuroba_ = std::make_unique<TAzuroba>(dm_, dialogs_, this);
    bool first = true;
    for (;;) {
        if (first) azuroba_->FormShow(codePage_);  // reopened, the dialog keeps what was typed
        first = false;
        if (azuroba_->exec() != QDialog::Accepted) {
            dm_.froba.cancel();
            return false;
        }
        if (articleRulesPass()) return true;
    }
}

void TF_Knjizenje::postArticle(const std::string& stat) {
    db::Table& t = dm_.froba;
    QString name = decodeText(t.fieldByName("F_NAZIV_ROBE").asString(), codePage_).trimmed().left(32);
    t.setField("F_NAZIV_ROBE", encodeText(name, codePage_));
    t.setField("STAT", stat);
    if (stat == "NOV") {
        t.setField("F_SIFRA_ROBE", dm_.max("F_roba", "f_sifra_robe", "") + 1);
        t.setField("F_ID_KASE", 1);
    }
    try {
        t.post();
    } catch (const std::exception& e) {
        dialogs_.ShowError(std::string("Greska upisa podatka u bazu!\r") + e.what());
    }
}

void TF_Knjizenje::BitBtn3Click() {
    guarded([&] {
        if (!azuroba_) azuroba_ = std::make_unique<TAzuroba>(dm_, dialogs_, this);
        dm_.froba.append();
        dm_.froba.setField("F_SIFRA_ROBE", dm_.max("F_roba", "f_sifra_robe", "") + 1);
        if (runArticleDialog()) postArticle("NOV");
    });
}

void TF_Knjizenje::BitBtn4Click() {
    guarded([&] {
        if (dm_.froba.isEmpty()) return;
        dm_.froba.edit();
        if (runArticleDialog()) postArticle("PRO");
    });
}

void TF_Knjizenje::BitBtn5Click() {
    guarded([&] {
        db::Table& t = dm_.froba;
        if (t.isEmpty()) return;
        std::string stat = t.fieldByName("STAT").asString();
        auto mark = t.bookmark();
        t.edit();
        t.setField("STAT", stat == "OBR" ? "" : "OBR");
        try {
            t.post();
        } catch (const std::exception& e) {
            dialogs_.ShowError(std::string("Greska upisa podatka u bazu!\r") + e.what());
            return;
        }
        t.refresh();
        t.gotoBookmark(mark);
    });
}

void TF_Knjizenje::Edit1Enter() {
    guarded([&] { dm_.froba.setIndexName("frobasifra"); });
}

void TF_Knjizenje::Edit2Enter() {
    guarded([&] { dm_.froba.setIndexName("NAZIV_ROBE"); });
}

void TF_Knjizenje::Edit3Enter() {
    guarded([&] { dm_.froba.setIndexName("BAR_CODE"); });
}

void TF_Knjizenje::Edit1KeyPress() {
    guarded([&] {
        // A code that is not a number finds nothing; the grid stays where it was.
        bool ok = false;
        double code = Edit1->text().trimmed().toDouble(&ok);
        if (ok) dm_.froba.locate("F_SIFRA_ROBE", code);
    });
}

void TF_Knjizenje::Edit2KeyPress() {
    guarded([&] {
        if (!dm_.froba.locate("F_NAZIV_ROBE", encodeText(Edit2->text(), codePage_), true))
            AddLog("Trazeni pojam nije pronadjen..");
    });
}

void TF_Knjizenje::Edit3KeyPress() {
    guarded([&] { dm_.froba.locate("F_BAR_CODE", encodeText(Edit3->text(), codePage_)); });
}

void TF_Knjizenje::refreshAndReturn() {
    db::Table& t = dm_.froba;
    auto mark = t.bookmark();
    t.refresh();
    t.gotoBookmark(mark);
}

void TF_Knjizenje::Isprazniovutabelu1Click() {
    guarded([&] {
        dm_.sqlexec("Delete from f_roba");
        dm_.froba.refresh();
    });
}

void TF_Knjizenje::Prihvatisveizmjenebezslanjanakasu1Click() {
    guarded([&] {
        dm_.sqlexec("Delete from f_roba where stat=" + quotedSql("OBR"));
        dm_.sqlexec("Update f_roba set stat=null where stat is not null");
        if (!dm_.froba.isEmpty()) refreshAndReturn();
    });
}

void TF_Knjizenje::Prebacisverobeustopu11Click() {
    guarded([&] {
        if (dm_.froba.isEmpty()) return;
        auto text = dialogs_.InputQuery("Nova stopa", "Unesite stopu 0-3", "");
        if (!text) return;
        int n;
        if (!parseInt(*text, n)) {
            dialogs_.ShowError("Pogresan format broja!");
            return;
        }
        // The statement is built from the parsed number, never from the typed text.
        const std::string v = std::to_string(n);
        dm_.sqlexec("Update f_roba set stat=" + quotedSql("PRO") + ", f_sifra_por_stope=" + v +
                    " where f_sifra_por_stope<>" + v);
        refreshAndReturn();
    });
}

void TF_Knjizenje::PrebacinaLatinicu1Click() {
    ComboBox3->setCurrentIndex(0);
    Button1Click();
}

void TF_Knjizenje::PrebacinaCirilicu1Click() {
    ComboBox3->setCurrentIndex(1);
    Button1Click();
}

// ---- connect and disconnect ----------------------------------------------------------------------

void TF_Knjizenje::BitBtn1Click() {
    if (Connected) {
        if (isOrbella()) orbella_->ZahtjevIzlazVezaSaPC();
        BitBtn1->setText("Povezi se");
        Connected = false;
        TipKase->setEnabled(true);
        return;
    }
    link_.AdresaKase = {0x01, 0x11};
    link_.IBO.clear();
    link_.IBSA = latin1(Edit7->text());
    link_.ReadTimeout = ConnectReadTimeout;
    if (isOrbella()) {
        const std::string ibfk = latin1(Edit4->text());
        int number;
        if (ibfk.size() != 6) {
            dialogs_.ShowError("IBFK polje mora imati 6 cifara");
            return;
        }
        if (!parseInt(ibfk, number) || !orbella::IbfkBytes(ibfk, link_.IBFKBajtovi)) {
            dialogs_.ShowError("IBFK polje mora biti broj");
            return;
        }
    }
    // A port that an earlier exchange left open (it ended with an error) is closed first, so
    // that connecting again works instead of failing with "Device is allready opened.".
    if (link_.XComm1.IsOpen()) link_.XComm1.CloseDevice();
    link_.XComm1.setDeviceName("COM" + std::to_string(ComboBox1->currentIndex() + 1));
    if (ComboBox2->currentIndex() == 0) link_.XComm1.setBaudRate(br9600);
    if (ComboBox2->currentIndex() == 1) link_.XComm1.setBaudRate(br57600);
    link_.XComm1.DataControl.setStopBits(sb1);
    link_.XComm1.DataControl.setParity(paNone);
    link_.XComm1.DataControl.setDataBits(db8);
    try {
        link_.XComm1.OpenDevice();
    } catch (const EDeviceError& e) {
        // The component's own message, then the system's reason on a line of its own.
        dialogs_.ShowError(e.what() + (e.SystemReason.empty() ? std::string() : "\r" + e.SystemReason));
        return;
    }
    AddLog("COM port otvoren..");
    if (isOrbella()) {
        orbella_->ZahtjevIdentifikacija();
    } else {
        markon_->PosaljiIBSA();
        markon_->CitajIBO();
    }
    if (DeviceAnswered) {
        AddLog("Veza OK.. IBO = " + link_.IBO);
        Connected = true;
        BitBtn1->setText("Odspoji se");
        TipKase->setEnabled(false);
    } else {
        AddLog("Kasa nije odgovorila");
        Connected = false;
        BitBtn1->setText("Spoji se");
    }
}

// ---- article synchronisation ---------------------------------------------------------------------

void TF_Knjizenje::fillArticleFromCurrent() {
    const db::Table& t = dm_.froba;
    link_.ArtSifra = static_cast<int32_t>(t.fieldByName("F_SIFRA_ROBE").asInt());
    link_.ArtOdjeljenje = static_cast<int32_t>(t.fieldByName("F_SIFRA_GRUPA").asInt());
    link_.ArtStopa = static_cast<int32_t>(t.fieldByName("F_SIFRA_POR_STOPE").asInt());
    link_.ArtCijena = t.fieldByName("F_CIJENA_ROBE").asFloat();
    link_.ArtNaziv = t.fieldByName("F_NAZIV_ROBE").asString();
    link_.ArtBarKod = t.fieldByName("F_BAR_CODE").asString();
}

void TF_Knjizenje::fillEmptyArticle(int32_t code) {
    link_.ArtSifra = code;
    link_.ArtOdjeljenje = 1;
    link_.ArtStopa = 0;
    link_.ArtBarKod = "00000000000000";
    link_.ArtCijena = 0;
    link_.ArtNaziv.assign(36, '\xFF');
}

void TF_Knjizenje::readArticle(int32_t code) {
    if (isOrbella()) orbella_->ZahtjevCitajArtikal(code);
    else markon_->CitajArtikl(code);
}

void TF_Knjizenje::writeCurrentArticle() {
    fillArticleFromCurrent();
    const int32_t code = link_.ArtSifra;
    if (isOrbella()) {
        orbella_->ZahtjevUpisArtikla();
    } else {
        link_.ArtOdjeljenje = link_.ArtStopa + 1;
        markon_->UpisiArtikl();
    }
    if (link_.ArtikalPrihvacen) {
        Pause(100);
        readArticle(code);
    } else {
        AddLog("Greska upisa artikla broj=" + std::to_string(code));
    }
}

bool TF_Knjizenje::deleteCurrentArticle() {
    const auto code = static_cast<int32_t>(dm_.froba.fieldByName("F_SIFRA_ROBE").asInt());
    fillEmptyArticle(code);
    if (isOrbella()) orbella_->ZahtjevUpisArtikla();
    else markon_->ObrisiArtikl(code);
    Pause(20);
    if (!link_.ArtikalPrihvacen) {
        AddLog("Artikl nije obrisan !");
        return false;
    }
    AddLog("Obrisan artikl broj=" + std::to_string(code));
    if (dm_.froba.locate("F_SIFRA_ROBE", code)) dm_.froba.deleteRecord();
    return true;
}

void TF_Knjizenje::Upisisamotrenutnurobu1Click() {
    guarded([&] {
        db::Table& t = dm_.froba;
        if (t.isEmpty()) return;
        if (!Connected) {
            AddLog("Kasa nije spojena...");
            return;
        }
        if (t.fieldByName("STAT").asString() == "OBR") {
            const auto code = static_cast<int32_t>(t.fieldByName("F_SIFRA_ROBE").asInt());
            if (deleteCurrentArticle() && isOrbella()) readArticle(code);
        }
        if (t.isEmpty()) return;
        const std::string stat = t.fieldByName("STAT").asString();
        if (stat == "PRO" || stat == "NOV") writeCurrentArticle();
    });
}

void TF_Knjizenje::forEachSelected(const std::string& sql, const std::function<void()>& step) {
    // A cursor of its own: the read-backs run other statements while this one is iterated.
    db::Query selection(dm_.SQL);
    try {
        selection.open(sql);
    } catch (const db::DbError&) {
        return;  // a failing selection finds no rows
    }
    for (selection.first(); !selection.eof(); selection.next()) {
        if (dm_.froba.locate("F_SIFRA_ROBE", selection.fieldByName("F_SIFRA_ROBE"))) step();
        ProcessMessages();
        pb->StepIt();
        if (StopRequested) break;
    }
}

void TF_Knjizenje::writeArticles(const std::string& writeSelection) {
    guarded([&] {
        if (!Connected) {
            AddLog("Kasa nije spojena...");
            return;
        }
        dm_.sqlopen("Select count(*) as cnt from f_roba where stat in (" + quotedSql("OBR") + ", " +
                    quotedSql("PRO") + ", " + quotedSql("NOV") + ")");
        pb->setTotal(dm_.up.active() ? static_cast<int>(dm_.up.fieldByName("cnt").asInt()) : 0);
        StopRequested = false;
        forEachSelected("Select * from f_roba where stat=" + quotedSql("OBR"), [&] { deleteCurrentArticle(); });
        forEachSelected(writeSelection, [&] { writeCurrentArticle(); });
        pb->setCompleted(0);
    });
}

void TF_Knjizenje::Upisisamopromjenjenerobe1Click() {
    writeArticles("Select * from f_roba where stat=" + quotedSql("PRO") + " or stat=" + quotedSql("NOV"));
}

void TF_Knjizenje::Upisisve1Click() {
    writeArticles("Select * from f_roba where stat<>" + quotedSql("OBR"));
}

void TF_Knjizenje::Obrisiviserobaukasi1Click() {
    guarded([&] {
        int bounds[2];
        const char* prompts[2] = {"Unesi od koje sifre robe", "Unesi do koje sifre robe"};
        const char* initial[2] = {"1", "12000"};
        for (int i = 0; i < 2; ++i) {
            auto text = dialogs_.InputQuery("BRISANJE ARTIKLA", prompts[i], initial[i]);
            if (!text) return;
            if (!parseInt(*text, bounds[i])) {
                dialogs_.ShowMessage("Pogresan unos sifre robe - pokusaj ponovo");
                return;
            }
        }
        if (bounds[1] < bounds[0]) {
            dialogs_.ShowError("Gornja granica ne moze biti manja od donje");
            return;
        }
        pb->setTotal(bounds[1] - bounds[0] + 1);
        StopRequested = false;
        pb->setCompleted(0);
        for (int code = bounds[0]; code <= bounds[1]; ++code) {
            fillEmptyArticle(code);
            if (isOrbella()) orbella_->ZahtjevUpisArtikla();
            else markon_->ObrisiArtikl(code);
            Pause(20);
            pb->StepIt();
            ProcessMessages();
            if (StopRequested) break;
        }
        Pause(100);
        pb->setCompleted(0);
    });
}

void TF_Knjizenje::MenuItem1Click() {
    guarded([&] {
        if (!Connected) {
            AddLog("Kasa nije spojena...");
            return;
        }
        db::Table& t = dm_.froba;
        if (t.isEmpty()) return;
        readArticle(static_cast<int32_t>(t.fieldByName("F_SIFRA_ROBE").asInt()));
        if (link_.ArtSifra > 0) refreshAndReturn();
        else AddLog("Roba nije nadjena u kasi");
    });
}

void TF_Knjizenje::MenuItem2Click() {
    guarded([&] {
        if (!Connected) {
            AddLog("Kasa nije spojena...");
            return;
        }
        pb->setCompleted(0);
        if (opseg->exec() != QDialog::Accepted) return;
        const int highest = isOrbella() ? 12000 : 7100;
        int from = 1, to = highest;
        if (!opseg->RadioButton2->isChecked()) {
            if (!parseInt(latin1(opseg->Edit1->text()), from)) {
                dialogs_.ShowError("Pogresan format broja OD");
                return;
            }
            if (!parseInt(latin1(opseg->Edit2->text()), to)) {
                dialogs_.ShowError("Pogresan format broja DO");
                return;
            }
            if (from < 1) from = 1;
            if (from > 12000) return;
            to = std::clamp(to, 1, highest);
        }
        AddLog("Citam robu iz kase");
        pb->setTotal(std::max(0, to - from + 1));
        pb->setCompleted(0);
        StopRequested = false;
        for (int code = from; code <= to; ++code) {
            ProcessMessages();
            readArticle(code);
            pb->StepIt();
            if (StopRequested) break;
            ProcessMessages();
        }
        AddLog("Citanje zavrseno");
        pb->setCompleted(0);
    });
}
