// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Anruf.h"

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace cb {
class TFormPlacement;
}

// Modal form in which the user fills in or changes one phone-book entry. It edits a copy of
// the record and never touches a table: the caller decides from bOk whether to save.
class TDlgEditor : public QDialog {
    Q_OBJECT
public:
    explicit TDlgEditor(QWidget* owner);

    // Copies every member in; with bErfassen the caption becomes "Telefonbucheintrag erfassen".
    void SetRecord(const tAnruf& anruf, bool bErfassen);
    // Copies every member out, bOk included.
    void GetRecord(tAnruf& anruf) const;

    void BtnOKClick();
    void BtnAbbruchClick();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormShow();
    // Refuses a change that makes the memo longer than its column.
    void LimitInfo();
    // False, with a message naming the character and the field, when a field holds a character
    // the table cannot store; that field then has the focus.
    bool AllStorable();

    QString sInfoAccepted;

    tAnruf Record;

    QLineEdit* Vorname;
    QLineEdit* Name;
    QLineEdit* Strasse;
    QLineEdit* PLZ;
    QLineEdit* Ort;
    QLineEdit* Ansprechpartner;
    QLineEdit* Telefon;
    QLineEdit* FAX;
    QLineEdit* EMail;
    QPlainTextEdit* Info;
    QPushButton* BtnOK;
    QPushButton* BtnAbbruch;
    cb::TFormPlacement* FormPlacement1;
};
