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
#include "Workbook.h"
#include "Q_listaArtikala.h"
#include "DBEdit.h"
#include "azuriranje.h"
#include <QCheckBox>
#include <QFormLayout>
#include <QFileInfo>
#include <optional>
#include "DatasetModel.h"
#include "Dialogs.h"
#include "U_Podesavanje.h"
#include "u_unos_sifre_robe.h"

TF_Knjizenje* F_Knjizenje = nullptr;

namespace {

constexpr const char* IniName = "tarvela.ini";

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
    buildTaxTab(PageControl1->widget(1));
    buildOperatorsTab(PageControl1->widget(2));
    buildGroupsTab(PageControl1->widget(3));
    buildHeaderTab(PageControl1->widget(4));
    buildSettingsTab(PageControl1->widget(5));
    connect(PageControl1, &QTabWidget::currentChanged, this, [this, previous = 0](int i) mutable {
        if (previous == 4) TabSheet5Exit();
        previous = i;
        if (i == 1) TabSheet2Show();
        if (i == 2) TabSheet3Show();
        if (i == 3) TabSheet4Show();
        if (i == 4) TabSheet5Show();
    });

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
    connect(BitBtn6, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn6Click);
    connect(BitBtn7, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn7Click);
    connect(BitBtn9, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn9Click);
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
    if (LogSink) LogSink(line);
}

int TF_Knjizenje::CodePageIndex() const { return ComboBox3->currentIndex(); }

void TF_Knjizenje::ProcessMessages() { QApplication::processEvents(); }

// ---- settings and life cycle -----------------------------------------------------------------

Settings TF_Knjizenje::currentSettings() const {
    Settings s;
    s.ComPortIndex = ComboBox1->currentIndex();
    s.SpeedIndex = ComboBox2->currentIndex();
    s.TipUredjajaIndex = TipKase->ItemIndex();
    s.IBFK = latin1Bytes(Edit4->text());
    s.JezikIndex = ComboBox3->currentIndex();
    s.IBSA = latin1Bytes(Edit7->text());
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
    if (SaveSettingsOnClose && !writeWholeFile(ini, formatIni(currentSettings()), err))
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
    for (DBEdit* e : HeaderEdit) e->Reload();
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
    link_.IBSA = latin1Bytes(Edit7->text());
    link_.ReadTimeout = ConnectReadTimeout;
    if (isOrbella()) {
        const std::string ibfk = latin1Bytes(Edit4->text());
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
    if (BeforeConnect) BeforeConnect();
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
    link_.SetEmptyArticle(code);
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
            link_.SetEmptyArticle(code);
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
        if (!(AskRange ? AskRange(*opseg) : opseg->exec() == QDialog::Accepted)) return;
        const int highest = isOrbella() ? 12000 : 7100;
        int from = 1, to = highest;
        if (!opseg->RadioButton2->isChecked()) {
            if (!parseInt(latin1Bytes(opseg->Edit1->text()), from)) {
                dialogs_.ShowError("Pogresan format broja OD");
                return;
            }
            if (!parseInt(latin1Bytes(opseg->Edit2->text()), to)) {
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

// ---- operators, groups, tax rates, header and settings tabs ---------------------------------------

namespace {
QHBoxLayout* buttonRow(std::initializer_list<QWidget*> widgets) {
    auto* l = new QHBoxLayout;
    for (QWidget* w : widgets) l->addWidget(w);
    l->addStretch();
    return l;
}
}  // namespace

void TF_Knjizenje::buildOperatorsTab(QWidget* tab) {
    BitBtn26 = button(tab, "BitBtn26", "Ocitaj kasu");
    BitBtn25 = button(tab, "BitBtn25", "Upisi u kasu");
    BitBtn22 = button(tab, "BitBtn22", "Dodaj");
    BitBtn23 = button(tab, "BitBtn23", "Prepravi");
    BitBtn24 = button(tab, "BitBtn24", "Obrisi");
    BitBtn29 = button(tab, "BitBtn29", "Isprazni tabelu");
    connect(BitBtn26, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn26Click);
    connect(BitBtn25, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn25Click);
    connect(BitBtn22, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn22Click);
    connect(BitBtn23, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn23Click);
    connect(BitBtn24, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn24Click);
    connect(BitBtn29, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn29Click);
    DBGrid2 = new DBGrid(tab);
    DBGrid2->setObjectName("DBGrid2");
    DBGrid2->setDatasetModel(new DatasetModel(dm_.f_operateri,
                                              {{"STAT", "STAT", 38, Qt::AlignLeft},
                                               {"F_SIFRA_OPERATERA", "SIFRA", 58, Qt::AlignLeft},
                                               {"F_NAZIV_OPERATERA", "NAZIV", 173, Qt::AlignLeft},
                                               {"F_LOZINKA_OPERATERA", "LOZINKA", 76, Qt::AlignLeft}},
                                              DBGrid2));
    OperatorMenu = new QMenu(DBGrid2);
    connect(OperatorMenu->addAction("Markon : Postavi lozinku operatera"), &QAction::triggered, this,
            &TF_Knjizenje::MarkonPostavilozinkuoperatera1Click);
    DBGrid2->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGrid2, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { OperatorMenu->exec(DBGrid2->viewport()->mapToGlobal(p)); });
    auto* l = new QVBoxLayout(tab);
    l->addLayout(buttonRow({BitBtn26, BitBtn25, BitBtn22, BitBtn23, BitBtn24, BitBtn29}));
    l->addWidget(DBGrid2, 1);
    AzuOperater = new TAzuOperater(dm_.f_operateri, dialogs_, [this] { return codePage_; }, this);
}

void TF_Knjizenje::buildGroupsTab(QWidget* tab) {
    BitBtn17 = button(tab, "BitBtn17", "Ocitaj kasu");
    BitBtn18 = button(tab, "BitBtn18", "Upisi u kasu");
    BitBtn19 = button(tab, "BitBtn19", "Dodaj");
    BitBtn20 = button(tab, "BitBtn20", "Prepravi");
    BitBtn21 = button(tab, "BitBtn21", "Obrisi");
    BitBtn30 = button(tab, "BitBtn30", "Isprazni tabelu");
    connect(BitBtn17, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn17Click);
    connect(BitBtn18, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn18Click);
    connect(BitBtn19, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn19Click);
    connect(BitBtn20, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn20Click);
    connect(BitBtn21, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn21Click);
    connect(BitBtn30, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn30Click);
    DBGrid1 = new DBGrid(tab);
    DBGrid1->setObjectName("DBGrid1");
    DBGrid1->setDatasetModel(new DatasetModel(dm_.f_grupe_roba,
                                              {{"STAT", "STAT", 39, Qt::AlignLeft},
                                               {"F_SIFRA_GRUPA", "Sifra", 41, Qt::AlignHCenter},
                                               {"F_NAZIV_GRUPA", "Naziv", 216, Qt::AlignLeft},
                                               {"PORSTOPA", "Stopa", 62, Qt::AlignLeft}},
                                              DBGrid1));
    auto* l = new QVBoxLayout(tab);
    l->addLayout(buttonRow({BitBtn17, BitBtn18, BitBtn19, BitBtn20, BitBtn21, BitBtn30}));
    l->addWidget(DBGrid1, 1);
    AzuGrupa = new TAzuGrupa(dm_.f_grupe_roba, dialogs_, [this] { return codePage_; }, this);
}

void TF_Knjizenje::buildTaxTab(QWidget* tab) {
    BitBtn13 = button(tab, "BitBtn13", "Ocitaj kasu");
    BitBtn14 = button(tab, "BitBtn14", "Upisi u kasu");
    BitBtn15 = button(tab, "BitBtn15", "Sacuvaj");
    BitBtn16 = button(tab, "BitBtn16", "Odustani");
    connect(BitBtn13, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn13Click);
    connect(BitBtn14, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn14Click);
    connect(BitBtn15, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn15Click);
    connect(BitBtn16, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn16Click);
    auto cp = [this] { return codePage_; };
    DBEdit* rates[4];
    const char* columns[] = {"A", "E", "J", "K"};
    auto* form = new QFormLayout;
    for (int i = 0; i < 4; ++i) {
        rates[i] = new DBEdit(dm_.porstope, columns[i], cp, tab);
        rates[i]->setObjectName(QString("DBEdit%1").arg(7 + i));
        form->addRow(QString("Stopa ") + columns[i], rates[i]);
    }
    DBEdit7 = rates[0], DBEdit8 = rates[1], DBEdit9 = rates[2], DBEdit10 = rates[3];
    auto* l = new QVBoxLayout(tab);
    l->addLayout(buttonRow({BitBtn13, BitBtn14}));
    l->addLayout(form);
    l->addLayout(buttonRow({BitBtn15, BitBtn16}));
    l->addWidget(new QLabel("Napomena: 99.99 oznacava da stopa nije dozvoljena", tab));
    l->addStretch();
    // DataSource3StateChange: "Sacuvaj" and "Odustani" only while the row is being edited.
    auto state = [this] {
        bool editing = dm_.porstope.state() == db::DatasetState::Edit || dm_.porstope.state() == db::DatasetState::Insert;
        BitBtn15->setEnabled(editing);
        BitBtn16->setEnabled(editing);
    };
    dm_.porstope.subscribe([state](db::Dataset::Event e) {
        if (e == db::Dataset::Event::StateChanged) state();
    });
    state();
}

void TF_Knjizenje::buildHeaderTab(QWidget* tab) {
    BitBtn2 = button(tab, "BitBtn2", "Ocitaj kasu");
    BitBtn8 = button(tab, "BitBtn8", "Upisi u kasu");
    BitBtn11 = button(tab, "BitBtn11", "Sacuvaj");
    BitBtn12 = button(tab, "BitBtn12", "Odustani");
    connect(BitBtn2, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn2Click);
    connect(BitBtn8, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn8Click);
    connect(BitBtn11, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn11Click);
    connect(BitBtn12, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn12Click);
    struct Box {
        const char* name;
        const char* label;
        const char* column;
    } boxes[6] = {{"DBEdit1", "Naziv firme", "F_NAZIV_FIRME"}, {"DBEdit2", "Naziv objekta", "F_NAZIV_OBJEKTA"},
                  {"DBEdit3", "Adresa", "F_ADRESA_FIRME"},     {"DBEdit4", "Broj", "F_RBR"},
                  {"DBEdit5", "Stat broj", "F_STAT_BROJ"},     {"DBEdit6", "Telefon", "F_TEL_BROJ"}};
    auto* form = new QFormLayout;
    for (int i = 0; i < 6; ++i) {
        HeaderEdit[i] = new DBEdit(dm_.f_objekat, boxes[i].column, [this] { return codePage_; }, tab);
        HeaderEdit[i]->setObjectName(boxes[i].name);
        form->addRow(boxes[i].label, HeaderEdit[i]);
    }
    auto* l = new QVBoxLayout(tab);
    l->addLayout(buttonRow({BitBtn2, BitBtn8}));
    l->addLayout(form);
    l->addLayout(buttonRow({BitBtn11, BitBtn12}));
    l->addStretch();
    // DataSource2StateChange
    auto state = [this] {
        bool editing = dm_.f_objekat.state() == db::DatasetState::Edit || dm_.f_objekat.state() == db::DatasetState::Insert;
        BitBtn11->setEnabled(editing);
        BitBtn12->setEnabled(editing);
    };
    dm_.f_objekat.subscribe([state](db::Dataset::Event e) {
        if (e == db::Dataset::Event::StateChanged) state();
    });
    state();
}

void TF_Knjizenje::buildSettingsTab(QWidget* tab) {
    ComboBox3 = new QComboBox(tab);
    ComboBox3->setObjectName("ComboBox3");
    ComboBox3->addItems({"Latinica", "Cirilica"});
    ComboBox3->setCurrentIndex(0);
    Button1 = button(tab, "Button1", "Postavi");
    connect(Button1, &QPushButton::clicked, this, &TF_Knjizenje::Button1Click);
    BitBtn27 = button(tab, "BitBtn27", "Ocitaj kasu");
    BitBtn28 = button(tab, "BitBtn28", "Upisi u kasu");
    connect(BitBtn27, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn27Click);
    connect(BitBtn28, &QPushButton::clicked, this, &TF_Knjizenje::BitBtn28Click);
    Edit5 = lineEdit(tab, "Edit5");
    Edit6 = lineEdit(tab, "Edit6");
    Edit5->setMaxLength(18);
    Edit6->setMaxLength(18);
    CheckBox1 = new QCheckBox("Stampa se", tab);
    CheckBox1->setObjectName("CheckBox1");
    CheckBox2 = new QCheckBox("Stampa se", tab);
    CheckBox2->setObjectName("CheckBox2");
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Font kodna strana", tab), 0, 0);
    grid->addWidget(ComboBox3, 0, 1);
    grid->addWidget(Button1, 0, 2);
    grid->addWidget(new QLabel("Reklamne poruke", tab), 1, 0);
    grid->addWidget(BitBtn27, 1, 1);
    grid->addWidget(BitBtn28, 1, 2);
    grid->addWidget(new QLabel("RED1", tab), 2, 0);
    grid->addWidget(Edit5, 2, 1);
    grid->addWidget(CheckBox1, 2, 2);
    grid->addWidget(new QLabel("RED2", tab), 3, 0);
    grid->addWidget(Edit6, 3, 1);
    grid->addWidget(CheckBox2, 3, 2);
    auto* l = new QVBoxLayout(tab);
    l->addLayout(grid);
    l->addStretch();
}

bool TF_Knjizenje::requireConnected() {
    if (!Connected) AddLog("Kasa nije spojena");
    return Connected;
}

void TF_Knjizenje::TabSheet2Show() { guarded([&] { dm_.porstope.open(); }); }
void TF_Knjizenje::TabSheet3Show() { guarded([&] { dm_.f_operateri.open(); }); }
void TF_Knjizenje::TabSheet4Show() { guarded([&] { dm_.f_grupe_roba.open(); }); }
void TF_Knjizenje::TabSheet5Show() { guarded([&] { dm_.f_objekat.open(); }); }
void TF_Knjizenje::TabSheet5Exit() { guarded([&] { postIfEditing(dm_.f_objekat); }); }

void TF_Knjizenje::postIfEditing(db::Table& t) {
    if (t.state() == db::DatasetState::Edit || t.state() == db::DatasetState::Insert) t.post();
}

void TF_Knjizenje::cancelIfEditing(db::Table& t) {
    if (t.state() == db::DatasetState::Edit || t.state() == db::DatasetState::Insert) t.cancel();
}

// ---- operators and groups, local ----

void TF_Knjizenje::addRow(db::Table& t, TRowDialog& dialog, const char* table, const char* field, int limit,
                          const char* limitMessage, bool clampRate) {
    guarded([&] {
        const int n = dm_.max(table, field, "") + 1;
        if (n > limit) {
            dialogs_.ShowError(limitMessage);
            return;
        }
        t.open();
        t.append();
        t.setField("F_ID_KASE", 1);
        t.setField("STAT", "NOV");
        dialog.FormShow();
        if (dialog.exec() != QDialog::Accepted) {
            t.cancel();
            return;
        }
        t.setField(field, n);
        t.setField("STAT", "NOV");
        if (clampRate) {
            double rate = t.fieldByName("PORSTOPA").asFloat();
            t.setField("PORSTOPA", rate < 0 ? 0 : rate > 3 ? 3 : static_cast<int>(rate));
        }
        try {
            t.post();
        } catch (const std::exception& e) {
            dialogs_.ShowError(std::string("Greska u pokusaju azuriranja!\r") + e.what());
            t.cancel();
        }
    });
}

void TF_Knjizenje::editRow(db::Table& t, TRowDialog& dialog) {
    guarded([&] {
        if (t.isEmpty()) return;
        t.edit();
        dialog.FormShow();
        if (dialog.exec() != QDialog::Accepted) {
            t.cancel();
            return;
        }
        t.setField("STAT", "PRO");
        try {
            t.post();
        } catch (const std::exception& e) {
            dialogs_.ShowError(std::string("Greska u pokusaju azuriranja!\r") + e.what());
            t.cancel();
        }
    });
}

void TF_Knjizenje::toggleObr(db::Table& t) {
    guarded([&] {
        if (t.isEmpty()) return;
        std::string stat = t.fieldByName("STAT").asString();
        t.edit();
        t.setField("STAT", stat == "OBR" ? "" : "OBR");
        t.post();
    });
}

void TF_Knjizenje::emptyTable(db::Table& t) {
    guarded([&] {
        t.first();
        while (!t.isEmpty()) t.deleteRecord();
    });
}

void TF_Knjizenje::BitBtn22Click() {
    addRow(dm_.f_operateri, *AzuOperater, "f_operateri", "f_sifra_operatera", 25,
           "Dozvoljeno je max 25 operatera!", false);
}
void TF_Knjizenje::BitBtn23Click() { editRow(dm_.f_operateri, *AzuOperater); }
void TF_Knjizenje::BitBtn24Click() { toggleObr(dm_.f_operateri); }
void TF_Knjizenje::BitBtn29Click() { emptyTable(dm_.f_operateri); }
void TF_Knjizenje::BitBtn19Click() {
    addRow(dm_.f_grupe_roba, *AzuGrupa, "f_grupe_roba", "f_sifra_grupa", 8, "Dozvoljeno je max 8 grupa!", true);
}
void TF_Knjizenje::BitBtn20Click() { editRow(dm_.f_grupe_roba, *AzuGrupa); }
void TF_Knjizenje::BitBtn21Click() { toggleObr(dm_.f_grupe_roba); }
void TF_Knjizenje::BitBtn30Click() { emptyTable(dm_.f_grupe_roba); }

// ---- operators and groups, device ----

void TF_Knjizenje::loadOperatorSession() {
    const db::Table& t = dm_.f_operateri;
    link_.OpSifra = static_cast<int32_t>(t.fieldByName("F_SIFRA_OPERATERA").asInt());
    QString name = decodeText(t.fieldByName("F_NAZIV_OPERATERA").asString(), CodePage::Latinica).trimmed();
    link_.OpNaziv = encodeText(name, CodePage::Latinica);
    const std::string pw = t.fieldByName("F_LOZINKA_OPERATERA").asString();
    int value = 0;
    if (!QString::fromLatin1(pw.c_str()).trimmed().isEmpty() && !parseInt(pw, value))
        throw std::invalid_argument("'" + pw + "' is not a valid integer value");
    link_.OpLozinka = value;
}

void TF_Knjizenje::BitBtn26Click() {
    guarded([&] {
        if (!requireConnected()) return;
        const int count = isOrbella() ? 25 : 18;
        pb->setTotal(count);
        pb->setCompleted(0);
        StopRequested = false;
        for (int n = 1; n <= count; ++n) {
            if (isOrbella()) {
                orbella_->ZahtjevCitajOperatera(n);
                AddLog(StatusText);
            } else {
                markon_->CitajOperatera(n);
            }
            pb->StepIt();
            Pause(200);
            ProcessMessages();
            if (StopRequested) break;
        }
    });
}

void TF_Knjizenje::BitBtn25Click() {
    guarded([&] {
        if (!requireConnected()) return;
        db::Table& t = dm_.f_operateri;
        t.open();
        // Work from the numbers: the read-backs may add or remove rows under the cursor.
        std::vector<int> numbers;
        for (int r = 0; r < t.recordCount(); ++r)
            numbers.push_back(static_cast<int>(t.valueAt(r, 1).asInt()));
        for (int n : numbers) {
            if (!t.locate("F_SIFRA_OPERATERA", n)) continue;
            std::string stat = t.fieldByName("STAT").asString();
            if (stat == "PRO" || stat == "NOV") {
                if (isOrbella()) {
                    if (t.fieldByName("F_LOZINKA_OPERATERA").asString().size() > 6) {
                        dialogs_.ShowMessage("Lozinka mora imati  6 karaktera)");
                        return;
                    }
                    loadOperatorSession();
                    orbella_->ZahtjevUpisOperatera();
                    Pause(100);
                    orbella_->ZahtjevCitajOperatera(n);
                } else {
                    markon_->UpisTrenutnogOperatera();
                    Pause(100);
                    markon_->CitajTrenutnogOperatera();
                }
                AddLog(StatusText);
            }
            if (t.locate("F_SIFRA_OPERATERA", n) && t.fieldByName("STAT").asString() == "OBR" && isOrbella()) {
                loadOperatorSession();
                link_.OpNaziv.clear();
                orbella_->ZahtjevUpisOperatera();
                Pause(100);
                orbella_->ZahtjevCitajOperatera(n);
                AddLog(StatusText);
            }
        }
    });
}

void TF_Knjizenje::MarkonPostavilozinkuoperatera1Click() {
    guarded([&] {
        db::Table& t = dm_.f_operateri;
        if (t.isEmpty()) return;
        std::string start = t.fieldByName("F_LOZINKA_OPERATERA").asString();
        if (start.empty()) start = t.fieldByName("F_SIFRA_OPERATERA").asString();
        auto oldText = dialogs_.InputQuery("Sifra", "Potvrdite staru sifru", start);
        if (!oldText) return;
        auto newText = dialogs_.InputQuery("Sifra", "Unesite novu sifru", start);
        if (!newText) return;
        int oldPw, newPw;
        if (!parseInt(*oldText, oldPw)) {
            dialogs_.ShowError("Greska unosa broja stara sifra");
            return;
        }
        if (!parseInt(*newText, newPw)) {
            dialogs_.ShowError("Greska unosa broja nova sifra");
            return;
        }
        if (newPw < 0 || newPw > 99999) return;
        link_.OpSifra = static_cast<int32_t>(t.fieldByName("F_SIFRA_OPERATERA").asInt());
        link_.OpLozinka = oldPw;
        StatusText.clear();
        markon_->PostaviLozinkuOperatera(newPw);
        AddLog(StatusText);
        t.edit();
        t.setField("F_LOZINKA_OPERATERA", *newText);
        t.post();
    });
}

void TF_Knjizenje::BitBtn17Click() {
    guarded([&] {
        if (!requireConnected()) return;
        if (isOrbella()) {
            for (int i = 0; i < 8; ++i) {
                orbella_->ZahtjevCitajGrupu(i);
                AddLog(StatusText);
                Pause(50);
            }
            return;
        }
        pb->setTotal(50);
        pb->setCompleted(0);
        StopRequested = false;
        for (int n = 1; n <= 50; ++n) {
            pb->StepIt();
            markon_->CitajOdjeljenje(n);
            ProcessMessages();
            if (StopRequested) break;
        }
    });
}

void TF_Knjizenje::BitBtn18Click() {
    guarded([&] {
        db::Table& t = dm_.f_grupe_roba;
        if (t.isEmpty()) return;
        for (int r = 0; r < std::min(8, t.recordCount()); ++r) {
            t.moveTo(r);
            const std::string stat = t.fieldByName("STAT").asString();
            // A group just added ("NOV") goes as well as a changed one, or it never would.
            if (stat == "PRO" || stat == "NOV") {
                link_.ArtOdjeljenje = static_cast<int32_t>(t.fieldByName("F_SIFRA_GRUPA").asInt()) - 1;
                link_.GrupaNaziv = t.fieldByName("F_NAZIV_GRUPA").asString();
                if (isOrbella()) {
                    orbella_->ZahtjevUpisGrupe(link_.GrupaNaziv, link_.ArtOdjeljenje, 0,
                                               static_cast<int32_t>(t.fieldByName("PORSTOPA").asInt()), 0);
                    AddLog(StatusText);
                }
            }
            Pause(20);
        }
    });
}

// ---- tax rates ----

void TF_Knjizenje::BitBtn15Click() { guarded([&] { postIfEditing(dm_.porstope); }); }
void TF_Knjizenje::BitBtn16Click() { guarded([&] { cancelIfEditing(dm_.porstope); }); }

void TF_Knjizenje::BitBtn13Click() {
    guarded([&] {
        if (!requireConnected()) return;
        dm_.porstope.open();
        if (isOrbella()) {
            for (int i = 0; i < 4; ++i) {
                orbella_->ZahtjevCitajPoreskuStopu(i);
                AddLog(StatusText);
                Pause(100);
            }
        } else {
            markon_->CitajPoreskeStope();
        }
        dm_.froba.refresh();
    });
}

void TF_Knjizenje::BitBtn14Click() {
    guarded([&] {
        if (!requireConnected()) return;
        db::Table& t = dm_.porstope;
        t.open();
        const char* columns[] = {"A", "E", "J", "K"};
        for (int i = 0; i < 4; ++i) link_.PoreskeStope[i] = t.fieldByName(columns[i]).asFloat();
        if (isOrbella()) {
            orbella_->ZahtjevUpisPoreskihStopa();
            for (int i = 0; i < 4; ++i) {
                orbella_->ZahtjevCitajPoreskuStopu(i);
                AddLog(StatusText);
                Pause(100);
            }
        } else {
            markon_->UpisiPoreskeStope();
            AddLog(StatusText);
        }
        dm_.froba.refresh();
    });
}

// ---- header ----

void TF_Knjizenje::BitBtn11Click() { guarded([&] { postIfEditing(dm_.f_objekat); }); }
void TF_Knjizenje::BitBtn12Click() { guarded([&] { cancelIfEditing(dm_.f_objekat); }); }

void TF_Knjizenje::BitBtn2Click() {
    guarded([&] {
        if (!requireConnected()) return;
        if (isOrbella()) {
            orbella_->CitajZaglavljeUObjekat();
            return;
        }
        const int lines[] = {40, 41, 42, 43, 44};
        std::string text[5];
        for (int i = 0; i < 5; ++i) {
            if (i) Pause(50);
            markon_->CitajTekstLiniju(lines[i]);
            text[i] = link_.OdzivTekst;
        }
        db::Table& t = dm_.f_objekat;
        t.open();
        t.edit();  // an empty table gets its row
        t.setField("F_ID_KASE", 1);
        t.setField("F_RBR", 1);
        const char* columns[] = {"F_NAZIV_OBJEKTA", "F_NAZIV_FIRME", "F_ADRESA_FIRME", "F_STAT_BROJ", "F_TEL_BROJ"};
        for (int i = 0; i < 5; ++i)
            t.setField(columns[i], encodeText(QString::fromLatin1(text[i].c_str()).trimmed(), CodePage::Latinica));
        t.post();
    });
}

void TF_Knjizenje::BitBtn8Click() {
    guarded([&] {
        if (!requireConnected()) return;
        db::Table& t = dm_.f_objekat;
        t.open();
        postIfEditing(t);
        AddLog("Pokusavam upis naziva firme!");
        if (!isOrbella()) return;
        const char* columns[] = {"F_NAZIV_OBJEKTA", "F_TEL_BROJ", "F_NAZIV_FIRME", "F_ADRESA_FIRME", "F_STAT_BROJ"};
        for (int k = 0; k < 5; ++k) {
            link_.OdzivTekst = t.fieldByName(columns[k]).asString().substr(0, 18);
            orbella_->ZahtjevUpisRedaZaglavlja(k);
            Pause(100);
        }
        orbella_->CitajZaglavljeUObjekat();
    });
}

// ---- advertising lines (the Orbella's line commands, whatever the device type) ----

void TF_Knjizenje::readAdvertisingLines() {
    QLineEdit* boxes[] = {Edit5, Edit6};
    for (int i = 0; i < 2; ++i) {
        link_.OdzivTekst.clear();
        orbella_->ZahtjevCitajRedZaglavlja(6 + i);
        boxes[i]->setText(decodeText(orbella::IzKaseTekst(link_.OdzivTekst, CodePageIndex()), codePage_));
    }
}

void TF_Knjizenje::BitBtn27Click() {
    guarded([&] {
        if (!requireConnected()) return;
        readAdvertisingLines();
    });
}

void TF_Knjizenje::BitBtn28Click() {
    guarded([&] {
        if (!requireConnected()) return;
        AddLog("Pokusavam upis reklamnih poruka!");
        QLineEdit* boxes[] = {Edit5, Edit6};
        for (int i = 0; i < 2; ++i) {
            link_.OdzivTekst = encodeText(boxes[i]->text().left(18), codePage_);
            orbella_->ZahtjevUpisRedaZaglavlja(6 + i);
            AddLog(StatusText);
            Pause(100);
        }
        readAdvertisingLines();
    });
}

// ---- spreadsheet export and import ---------------------------------------------------------------

namespace {

std::string utf8(const QString& s) { return s.toUtf8().toStdString(); }

// Cells that the database writes as numbers go into the sheet as numbers, as a spreadsheet
// would take them when typed.
void cellFor(workbook::Writer& w, int row, int column, const db::Value& v) {
    if (v.isNull()) return;
    if (v.kind() == db::Value::Kind::Text) w.Text(row, column, v.text());
    else w.Number(row, column, v.asFloat());
}

}  // namespace

void TF_Knjizenje::BitBtn6Click() {
    guarded([&] {
        auto file = dialogs_.SaveFileName("Excel files (*.xlsx)");
        if (!file) return;
        // A name typed without an extension gets ".xlsx".
        if (QFileInfo(QString::fromStdString(*file)).suffix().isEmpty()) *file += ".xlsx";
        std::unique_ptr<workbook::Writer> book;
        try {
            book = std::make_unique<workbook::Writer>(*file);
        } catch (const workbook::Error&) {
            dialogs_.ShowError("Greska otvaranja excel fajla!");
            return;
        }
        const CodePage cp = ComboBox3->currentIndex() == 1 ? CodePage::Cirilica : CodePage::Latinica;
        dm_.sqlopen("Select count(*) as cnt from f_roba");
        pb->setTotal(dm_.up.active() ? static_cast<int>(dm_.up.fieldByName("cnt").asInt()) : 0);
        const char* titles[] = {"Sifra", "Naziv", "Cijena", "Stopa", "BarCode", "Zaliha", "Grupa"};
        for (int c = 0; c < 7; ++c) book->Text(1, c + 1, titles[c]);
        db::Table& t = dm_.froba;
        t.open();
        int row = 1;
        DBGrid4->hide();
        StopRequested = false;
        AddLog("Pocinjem export podataka u excel..");
        for (int r = 0; r < t.recordCount(); ++r) {
            ++row;
            pb->StepIt();
            cellFor(*book, row, 1, t.valueAt(r, 1));
            book->Text(row, 2, utf8(decodeText(t.valueAt(r, 3).asString(), cp)));
            cellFor(*book, row, 3, t.valueAt(r, 6));
            cellFor(*book, row, 4, t.valueAt(r, 5));
            book->Text(row, 5, t.valueAt(r, 2).asString(), true);  // the bar code stays text
            cellFor(*book, row, 6, t.valueAt(r, 7));
            cellFor(*book, row, 7, t.valueAt(r, 4));
            ProcessMessages();
            if (StopRequested) break;
        }
        DBGrid4->show();
        book->FitColumns();
        book->Save();
        AddLog(StopRequested ? "Export podataka u excel prekinut.." : "Export podataka u excel kompletiran..");
        pb->setCompleted(0);
    });
}

void TF_Knjizenje::BitBtn7Click() {
    guarded([&] {
        auto file = dialogs_.OpenFileName("Excel files (*.xlsx *.xls)");
        if (!file) return;
        db::Table& t = dm_.froba;
        t.open();
        workbook::Sheet sheet;
        try {
            sheet = workbook::Read(*file);
        } catch (const workbook::Error&) {
            dialogs_.ShowError("Greska otvaranja excel fajla!");
            return;
        }
        const CodePage cp = ComboBox3->currentIndex() == 1 ? CodePage::Cirilica : CodePage::Latinica;
        ProcessMessages();
        AddLog(" Ucitavam podatke iz " + *file);
        ProcessMessages();
        StopRequested = false;
        std::optional<db::Value> lastStored;
        db::CommitBatch batch(dm_.SQL);
        DBGrid4->hide();  // as the export does: the grid is not redrawn for every stored row
        struct ShowAgain {
            QWidget* grid;
            ~ShowAgain() { grid->show(); }
        } showAgain{DBGrid4};
        auto trimmedText = [](const std::string& s) { return QString::fromUtf8(s.c_str()).trimmed(); };
        for (int row = 2;; ++row) {
            std::string code = sheet.Cell(row, 1);
            const QString name = QString::fromUtf8(sheet.Cell(row, 2).c_str());
            const std::string price = sheet.Cell(row, 3);
            std::string rateText = sheet.Cell(row, 4);
            const std::string bar = sheet.Cell(row, 5);
            const std::string quantity = sheet.Cell(row, 6);
            const std::string group = sheet.Cell(row, 7);
            if (rateText.empty()) rateText = "1";
            int rate;
            if (!parseInt(rateText, rate)) rate = 1;
            const std::string bytes = encodeText(name, cp);
            if (row % 100 == 0) AddLog(" Ucitavam red " + std::to_string(row));
            ProcessMessages();
            if (!code.empty()) {
                try {
                    const double codeNumber = db::Value(code).asFloat();
                    if (t.locate("F_SIFRA_ROBE", codeNumber)) {
                        t.edit();
                        const bool same =
                            trimmedText(sheet.Cell(row, 2)) == decodeText(t.fieldByName("F_NAZIV_ROBE").asString(), cp).trimmed() &&
                            trimmedText(price) == trimmedText(t.fieldByName("F_CIJENA_ROBE").asString()) &&
                            trimmedText(rateText) == trimmedText(t.fieldByName("F_SIFRA_POR_STOPE").asString()) &&
                            trimmedText(bar) == trimmedText(t.fieldByName("F_BAR_CODE").asString()) &&
                            trimmedText(group) == trimmedText(t.fieldByName("F_SIFRA_GRUPA").asString());
                        if (!same) t.setField("STAT", "PRO");
                    } else {
                        t.append();
                        t.setField("STAT", "NOV");
                    }
                    std::string barcode = bar.substr(0, 14);
                    if (barcode.size() < 14) barcode.insert(0, 14 - barcode.size(), '0');
                    t.setField("F_ID_KASE", 1);
                    t.setField("F_SIFRA_ROBE", code);
                    t.setField("F_NAZIV_ROBE", bytes.substr(0, 20));
                    t.setField("F_CIJENA_ROBE", price);
                    t.setField("F_SIFRA_POR_STOPE", rate);
                    t.setField("F_SIFRA_GRUPA", group);
                    t.setField("F_BAR_CODE", barcode);
                    t.setField("F_KOLICINA", quantity);
                    t.post();
                    lastStored = t.fieldByName("F_SIFRA_ROBE");
                } catch (const std::exception& e) {
                    // A row the table cannot take is reported and left out; the import goes on.
                    t.cancel();
                    AddLog("Greska ucitavanja sifre " + std::to_string(row) + e.what());
                }
            }
            if (StopRequested) code.clear();
            if (code.empty() || row >= 12002) break;
        }
        t.refresh();
        if (lastStored) t.locate("F_SIFRA_ROBE", *lastStored);
    });
}

// ---- printed list ---------------------------------------------------------------------------------

TrepLA& TF_Knjizenje::repLA() {
    if (!repLA_) repLA_ = std::make_unique<TrepLA>(dm_);  // created on first use, kept
    dm_.f_objekat.open();
    if (ComboBox3->currentIndex() >= 0)
        repLA_->setCodePage(ComboBox3->currentIndex() == 1 ? CodePage::Cirilica : CodePage::Latinica);
    return *repLA_;
}

void TF_Knjizenje::BitBtn9Click() {
    guarded([&] { repLA().Preview(this); });
}
