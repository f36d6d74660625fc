// SPDX-License-Identifier: GPL-3.0-or-later
#include "Editor.h"

#include "ui/Placement.h"

#include "core/Settings.h"
#include "platform/ErrorBox.h"
#include "platform/FormPlacement.h"
#include "ui/ListLineModel.h"
#include "ui/TableString.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextCursor>

#include <algorithm>

namespace {

// Column widths of Adressen.dbf: a field takes no more than its column holds.
constexpr int kInfoWidth = 250;

// Bytes the memo takes in the table, where each line break is CR LF.
qsizetype InfoBytes(const QString& text) {
    return text.size() + text.count(QLatin1Char('\n'));
}

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
    auto edit = [this](const char* name, int x, int y, int w, int h, int width) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setGeometry(x, y, w, h);
        e->setMaxLength(width); // one table byte per character
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
    Vorname = edit("Vorname", 70, 4, 184, 21, 20);
    Name = edit("Name", 70, 31, 184, 21, 20);
    Strasse = edit("Strasse", 70, 58, 184, 21, 30);
    PLZ = edit("PLZ", 70, 84, 44, 21, 7);
    Ort = edit("Ort", 120, 84, 134, 21, 20);
    Ansprechpartner = edit("Ansprechpartner", 337, 4, 184, 21, 20);
    Telefon = edit("Telefon", 337, 30, 184, 21, 20);
    FAX = edit("FAX", 337, 57, 184, 21, 20);
    EMail = edit("EMail", 337, 84, 184, 21, 50);
    Info = new QPlainTextEdit(this);
    Info->setObjectName(QStringLiteral("Info"));
    Info->setGeometry(70, 113, 450, 121);
    Info->setTabChangesFocus(true);
    connect(Info, &QPlainTextEdit::textChanged, this, &TDlgEditor::LimitInfo);
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

    FormPlacement1 = PlaceDialog(this, QStringLiteral("WndEdit"), false);
}

void TDlgEditor::SetRecord(const tAnruf& anruf, bool bErfassen) {
    Record = anruf;
    if (bErfassen) setWindowTitle(QStringLiteral("Telefonbucheintrag erfassen"));
}

void TDlgEditor::GetRecord(tAnruf& anruf) const {
    anruf = Record;
}

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
    sInfoAccepted = Info->toPlainText();
    EMail->setText(FromTable(Record.sEmail));
    FAX->setText(FromTable(Record.sFax));
    Ansprechpartner->setText(FromTable(Record.sAPartner));
}

void TDlgEditor::LimitInfo() {
    const QString text = Info->toPlainText();
    if (InfoBytes(text) <= kInfoWidth) {
        sInfoAccepted = text;
        return;
    }
    // The change would not fit the column: it is not taken, and the cursor goes back to
    // where the change began.
    const int position = Info->textCursor().position() - int(text.size() - sInfoAccepted.size());
    const QSignalBlocker block(Info);
    Info->setPlainText(sInfoAccepted);
    QTextCursor cursor = Info->textCursor();
    cursor.setPosition(std::clamp(position, 0, int(sInfoAccepted.size())));
    Info->setTextCursor(cursor);
}

bool TDlgEditor::AllStorable() {
    const struct {
        QWidget* field;
        QString text;
        const char* caption;
    } fields[] = {
        {Vorname, Vorname->text(), "Vorname"},
        {Name, Name->text(), "Name"},
        {Strasse, Strasse->text(), "Stra\u00DFe"},
        {PLZ, PLZ->text(), "PLZ"},
        {Ort, Ort->text(), "Ort"},
        {Ansprechpartner, Ansprechpartner->text(), "Anspr.Part."},
        {Telefon, Telefon->text(), "Telefon"},
        {FAX, FAX->text(), "FAX"},
        {EMail, EMail->text(), "eMail"},
        {Info, Info->toPlainText(), "Info"},
    };
    for (const auto& f : fields) {
        const QString bad = UnstorableCharacter(f.text);
        if (bad.isEmpty()) continue;
        cb::ShowErrorBox(QStringLiteral("Das Zeichen \u201E%1\u201C im Feld \u201E%2\u201C kann im "
                                        "Telefonbuch nicht gespeichert werden. Bitte ersetzen Sie "
                                        "es (m\u00F6glich sind z. B. Umlaute, \u00DF und \u20AC).")
                             .arg(bad, QString::fromUtf8(f.caption))
                             .toStdString());
        f.field->setFocus();
        return false;
    }
    return true;
}

void TDlgEditor::BtnOKClick() {
    if (!AllStorable()) return;
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
