// The range dialog of the article read: a range of codes, or all of them. Created once and
// kept, so that it shows the values of its last use.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class QRadioButton;

class Topseg : public QDialog {
    Q_OBJECT
public:
    explicit Topseg(QWidget* parent = nullptr);
    QRadioButton* RadioButton1;  // "Ocitaj opseg roba"
    QRadioButton* RadioButton2;  // "Ocitaj apsolutno sve robe"
    QLineEdit* Edit1;            // from
    QLineEdit* Edit2;            // to
    QPushButton* OKButton;
    QPushButton* Odustani;
};
