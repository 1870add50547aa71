// The main window: device type and port, connecting, the status log, progress and Stop, and
// the tabbed area with the articles tab.
#pragma once

#include <QGroupBox>
#include <QProgressBar>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "CodePage.h"
#include "HostWindow.h"
#include "Settings.h"

class Tdm_db;
class TF_Podesavanje;
class Dialogs;
class TRowDialog;
namespace db {
class Table;
}
class TAzuroba;
class Topseg;
class TAzuOperater;
class TAzuGrupa;
class DBEdit;
class QCheckBox;
class TrepLA;
class TOrbella;
class TMarkon;
class DBGrid;
class DatasetModel;
class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QMenu;

// A radio group with an item index (-1: nothing selected).
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);
    int ItemIndex() const;
    void setItemIndex(int i);

private:
    QButtonGroup* group_;
};

// The progress bar: a total and a completed count. Completed never exceeds the total, a new
// total resets it to 0, and the bar shows completed * 100 / total rounded (0 % for total 0).
class TProgress : public QProgressBar {
    Q_OBJECT
public:
    explicit TProgress(QWidget* parent = nullptr);
    int Total() const { return total_; }
    int Completed() const { return completed_; }
    void setTotal(int total);
    void setCompleted(int completed);
    void StepIt() { setCompleted(completed_ + 1); }

private:
    int total_ = 0, completed_ = 0;
};

class TF_Knjizenje : public QWidget, public THostWindow {
    Q_OBJECT
public:
    // `directory` holds tarvela.gdb and tarvela.ini (with its trailing separator).
    TF_Knjizenje(Tdm_db& dm, TF_Podesavanje& link, Dialogs& dialogs, std::string directory,
                 QWidget* parent = nullptr);
    ~TF_Knjizenje() override;

    // ---- state other parts read -----------------------------------------------------------
    TRadioGroup* TipKase;
    bool Connected = false;
    bool StopRequested = false;
    QComboBox* ComboBox1;  // port
    QComboBox* ComboBox2;  // speed
    QLineEdit* Edit4;      // IBFK
    QLineEdit* Edit7;      // IBSA
    QComboBox* ComboBox3;  // font code page
    QPlainTextEdit* Memo1;
    TProgress* pb;

    QPushButton* BitBtn1;   // "Povezi se"
    QPushButton* BitBtn10;  // "Stop"
    QPushButton* Button1;   // "Postavi"
    QTabWidget* PageControl1;

    // ---- "Roba" tab ----------------------------------------------------------------------
    QPushButton* RzMenuButton3;  // "Citanje iz kase"
    QPushButton* BitBtn3;        // "F5 - Nova roba"
    QPushButton* BitBtn4;        // "F6 - Prepravi"
    QPushButton* BitBtn5;        // "F7 - Obrisi"
    QPushButton* BitBtn7;        // "Uvoz iz Excela"
    QPushButton* BitBtn6;        // "Izvoz u Excel"
    QPushButton* RzMenuButton2;  // "Upis u kasu"
    QPushButton* BitBtn9;        // "Stampaj listu"
    QPushButton* RzMenuButton1;  // "Napredno"
    QLineEdit* Edit1;            // search by code
    QLineEdit* Edit2;            // search by name
    QLineEdit* Edit3;            // search by bar code
    DBGrid* DBGrid4;
    DBGrid* DBGrid1;  // groups
    DBGrid* DBGrid2;  // operators
    QMenu* NapredanMenu;
    QMenu* GridMenu;

    // Appends one line to the status log (lines are never changed or removed).
    void AddLog(const std::string& line) override;
    int CodePageIndex() const override;
    void ProcessMessages() override;
    // The code page the grids and name boxes show their bytes in (last applied choice).
    CodePage AppliedCodePage() const { return codePage_; }
    const std::string& Directory() const { return dir_; }

    // ---- event operations ----------------------------------------------------------------
    void FormShow();
    void FormClose();
    bool FormKeyDown(int key);  // true when the key ran a command
    void BitBtn10Click();
    void Button1Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn5Click();
    void Edit1Enter();
    void Edit1KeyPress();
    void Edit2Enter();
    void Edit2KeyPress();
    void Edit3Enter();
    void Edit3KeyPress();
    void Isprazniovutabelu1Click();
    void Prihvatisveizmjenebezslanjanakasu1Click();
    void Prebacisverobeustopu11Click();
    void PrebacinaLatinicu1Click();
    void PrebacinaCirilicu1Click();
    // connecting and the article menus of the "Roba" tab
    void BitBtn1Click();
    void Upisisamotrenutnurobu1Click();
    void Upisisamopromjenjenerobe1Click();
    void Upisisve1Click();
    void Obrisiviserobaukasi1Click();
    void MenuItem1Click();
    void MenuItem2Click();

    // operators, groups, tax rates, header and settings tabs
    void TabSheet2Show();
    void TabSheet3Show();
    void TabSheet4Show();
    void TabSheet5Show();
    void TabSheet5Exit();
    void BitBtn22Click();
    void BitBtn23Click();
    void BitBtn24Click();
    void BitBtn25Click();
    void BitBtn26Click();
    void BitBtn29Click();
    void MarkonPostavilozinkuoperatera1Click();
    void BitBtn19Click();
    void BitBtn20Click();
    void BitBtn21Click();
    void BitBtn17Click();
    void BitBtn18Click();
    void BitBtn30Click();
    void BitBtn13Click();
    void BitBtn14Click();
    void BitBtn15Click();
    void BitBtn16Click();
    void BitBtn2Click();
    void BitBtn8Click();
    void BitBtn11Click();
    void BitBtn12Click();
    void BitBtn27Click();
    void BitBtn28Click();
    // spreadsheet export and import of the articles
    void BitBtn6Click();
    void BitBtn7Click();
    // the printed article list: prepared (header open, code page set), then previewed
    void BitBtn9Click();
    TrepLA& repLA();

    QPushButton *BitBtn26, *BitBtn25, *BitBtn22, *BitBtn23, *BitBtn24, *BitBtn29;  // operators
    QPushButton *BitBtn17, *BitBtn18, *BitBtn19, *BitBtn20, *BitBtn21, *BitBtn30;  // groups
    QPushButton *BitBtn13, *BitBtn14, *BitBtn15, *BitBtn16;                        // tax rates
    DBEdit *DBEdit7, *DBEdit8, *DBEdit9, *DBEdit10;
    QPushButton *BitBtn2, *BitBtn8, *BitBtn11, *BitBtn12;  // header
    DBEdit *HeaderEdit[6];                                 // DBEdit1..DBEdit6 of the header tab
    QPushButton *BitBtn27, *BitBtn28;                      // advertising lines
    QLineEdit *Edit5, *Edit6;
    QCheckBox *CheckBox1, *CheckBox2;
    QMenu* OperatorMenu;
    TAzuOperater* AzuOperater;
    TAzuGrupa* AzuGrupa;

    Topseg* opseg;
    TOrbella& Orbella() { return *orbella_; }
    TMarkon& Markon() { return *markon_; }
    // The fixed waits between device requests (tests may shorten them).
    std::function<void(int ms)> Pause;
    // The read limit that connecting sets for every exchange (300 ms).
    int ConnectReadTimeout = 300;
    // Every status-log line also goes here (the command-line front end prints them).
    std::function<void(const std::string&)> LogSink;
    // Shows the range dialog; true on OK (the command-line front end fills and accepts it).
    std::function<bool(Topseg&)> AskRange;
    // Runs before the port is opened by "Povezi se" (a simulated register points the port).
    std::function<void()> BeforeConnect;
    // The settings file is written at close unless this is cleared.
    bool SaveSettingsOnClose = true;

    TAzuroba* Azuroba() const { return azuroba_.get(); }

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    QWidget* buildRobaTab();
    Settings currentSettings() const;
    void applySettings(const Settings& s);
    // Runs a command; a failure of the database layer is shown in an error dialog.
    template <class F>
    void guarded(F&& f);
    // Shows the article dialog until the rules pass; false when the user cancelled.
    bool runArticleDialog();
    bool articleRulesPass();
    void postArticle(const std::string& stat);
    void refreshAndReturn();
    bool isOrbella() const { return TipKase->ItemIndex() == 0; }
    void fillArticleFromCurrent();
    void writeCurrentArticle();
    bool deleteCurrentArticle();
    void readArticle(int32_t code);
    // Runs the rows selected by `sql` through `step`, on a cursor of its own, with progress and Stop.
    void forEachSelected(const std::string& sql, const std::function<void()>& step);
    void writeArticles(const std::string& writeSelection);
    void buildOperatorsTab(QWidget* tab);
    void buildGroupsTab(QWidget* tab);
    void buildTaxTab(QWidget* tab);
    void buildHeaderTab(QWidget* tab);
    void buildSettingsTab(QWidget* tab);
    bool requireConnected();  // logs "Kasa nije spojena" when not
    void addRow(db::Table& t, TRowDialog& dialog, const char* table, const char* field, int limit,
                const char* limitMessage, bool clampRate);
    void editRow(db::Table& t, TRowDialog& dialog);
    void toggleObr(db::Table& t);
    void emptyTable(db::Table& t);
    void postIfEditing(db::Table& t);
    void cancelIfEditing(db::Table& t);
    void loadOperatorSession();
    void readAdvertisingLines();

    Tdm_db& dm_;
    TF_Podesavanje& link_;
    Dialogs& dialogs_;
    std::string dir_;
    bool shown_ = false;
    bool closed_ = false;
    CodePage codePage_ = CodePage::Latinica;
    std::unique_ptr<TAzuroba> azuroba_;
    std::unique_ptr<TrepLA> repLA_;
    std::unique_ptr<TOrbella> orbella_;
    std::unique_ptr<TMarkon> markon_;
    DatasetModel* robaModel_ = nullptr;
};

// The one main window of the run (null before it is created).
extern TF_Knjizenje* F_Knjizenje;
