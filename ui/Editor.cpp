// SPDX-License-Identifier: GPL-3.0-or-later
#include "Editor.h"

#include "ui/Placement.h"

#include "app/Settings.h"
#include "platform/FormPlacement.h"
#include "ui/ListLineModel.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

QString FromTable(const std::string& s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }
std::string ToTable(const QString& s) { return s.toLatin1().toStdString(); }

} // namespace

TDlgEditor::TDlgEditor(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("DlgEditor"));
    setWindowTitle(QStringLiteral("Telefonbucheintrag editieren"));
    setFont(DialogFont());
    setFixedSize(532, 284);

    auto label = [this](const char* text, int x, int y) {
        auto* l = new QLabel(QString::fromUtf8(text), this);
        l->move(x, y);
        l->adjustSize();
        return l;
    };
    auto edit = [this](const char* name, int x, int y, int w, int h) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setGeometry(x, y, w, h);
        return e;
    };
    // Labels first; the edits are created in tab order.
    label("Vorname", 5, 9);
    label("Name", 5, 35);
    label("Straße", 5, 61);
    label("PLZ, Ort", 5, 88);
    label("Anspr.Part.", 272, 7);
    label("Telefon", 272, 33);
    label("FAX", 272, 60);
    label("eMail", 272, 87);
    label("Info", 5, 115);
    Vorname = edit("Vorname", 70, 4, 184, 21);
    Name = edit("Name", 70, 31, 184, 21);
    Strasse = edit("Strasse", 70, 58, 184, 21);
    PLZ = edit("PLZ", 70, 84, 44, 21);
    Ort = edit("Ort", 120, 84, 134, 21);
    Ansprechpartner = edit("Ansprechpartner", 337, 4, 184, 21);
    Telefon = edit("Telefon", 337, 30, 184, 21);
    FAX = edit("FAX", 337, 57, 184, 21);
    EMail = edit("EMail", 337, 84, 184, 21);
    Info = new QPlainTextEdit(this);
    Info->setObjectName(QStringLiteral("Info"));
    Info->setGeometry(70, 113, 450, 121);
    Info->setTabChangesFocus(true);
    BtnOK = new QPushButton(QStringLiteral("&OK"), this);
    BtnOK->setObjectName(QStringLiteral("BtnOK"));
    BtnOK->setGeometry(446, 249, 75, 25);
    // Enter in a field is OK; on a focused button it presses that button (auto-default).
    BtnOK->setDefault(true);
    BtnAbbruch = new QPushButton(QStringLiteral("&Abbruch"), this);
    BtnAbbruch->setObjectName(QStringLiteral("BtnAbbruch"));
    BtnAbbruch->setGeometry(365, 249, 75, 25);

    connect(BtnOK, &QPushButton::clicked, this, &TDlgEditor::BtnOKClick);
    connect(BtnAbbruch, &QPushButton::clicked, this, &TDlgEditor::BtnAbbruchClick);

    FormPlacement1 = new cb::TFormPlacement(this, QStringLiteral("WndEdit"), false);
    FormCreate();
}

void TDlgEditor::FormCreate() {
    ActivatePlacementIfWanted(*FormPlacement1);
}

void TDlgEditor::SetRecord(const tAnruf& anruf, bool bErfassen) {
    Record = anruf;
    if (bErfassen) setWindowTitle(QStringLiteral("Telefonbucheintrag erfassen"));
}

void TDlgEditor::GetRecord(tAnruf& anruf) const { anruf = Record; }

void TDlgEditor::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TDlgEditor::FormShow() {
    Vorname->setText(FromTable(Record.sVorname));
    Name->setText(FromTable(Record.sName));
    Strasse->setText(FromTable(Record.sStrasse));
    PLZ->setText(FromTable(Record.sPlz));
    Ort->setText(FromTable(Record.sOrt));
    Telefon->setText(FromTable(Record.sTelefon));
    // The table keeps memo line breaks as CR LF.
    Info->setPlainText(FromTable(Record.sInfo).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    EMail->setText(FromTable(Record.sEmail));
    FAX->setText(FromTable(Record.sFax));
    Ansprechpartner->setText(FromTable(Record.sAPartner));
}

void TDlgEditor::BtnOKClick() {
    Record.sVorname = ToTable(Vorname->text());
    Record.sName = ToTable(Name->text());
    Record.sStrasse = ToTable(Strasse->text());
    Record.sPlz = ToTable(PLZ->text());
    Record.sOrt = ToTable(Ort->text());
    Record.sTelefon = ToTable(Telefon->text());
    Record.sInfo = ToTable(Info->toPlainText().replace(QLatin1Char('\n'), QLatin1String("\r\n")));
    Record.sEmail = ToTable(EMail->text());
    Record.sFax = ToTable(FAX->text());
    Record.sAPartner = ToTable(Ansprechpartner->text());
    Record.bOk = true;
    accept();
}

void TDlgEditor::BtnAbbruchClick() {
    Record.bOk = false;
    reject();
}

void TDlgEditor::keyPressEvent(QKeyEvent* event) {
    // Escape is the cancel button; QDialog would only reject and leave bOk as delivered.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        BtnAbbruchClick();
        return;
    }
    QDialog::keyPressEvent(event);
}
