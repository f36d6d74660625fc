// SPDX-License-Identifier: GPL-3.0-or-later
// The settings dialog's page "Adressbuch": the CardDAV account, "Jetzt abgleichen" with the
// account as typed, and the last result shown while the page is open.
#include "ui/Parameter.h"

#include "db/ServerAddressBook.h"
#include "parameter_support.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

namespace {

class ParameterAddressBook : public cbtest::SettingsFixture {};

// Stands in for the network part above the dialogs: records what the page asks of it.
class RecordingBook : public IServerAddressBook {
public:
    void SyncNow() override {
        ++syncs;
        address = sCardDavAdresse;
        password = sCardDavKennwort;
        status = "Abgleich läuft …";
    }
    bool IsSyncing() const override { return false; }
    std::string StatusText() const override { return status; }
    int syncs = 0;
    std::string address, password, status = "412 Kontakte, vor 37 s";
};

TEST_F(ParameterAddressBook, SyncsTheAccountAsTypedAndShowsTheResult) {
    sCardDavAdresse = "https://alt.example.org/";
    sCardDavKennwort = "alt";
    RecordingBook book;
    SetServerAddressBook(&book);
    {
        TDlgParameter dlg(nullptr);
        EXPECT_EQ(
            dlg.TabControl->tabText(dlg.TabControl->indexOf(dlg.CardDavAdresse->parentWidget())),
            "Adressbuch");
        EXPECT_EQ(dlg.CardDavAdresse->text(), "https://alt.example.org/");
        EXPECT_EQ(dlg.CardDavMinuten->value(), 15);
        EXPECT_EQ(dlg.CardDavKennwort->echoMode(), QLineEdit::Password);
        EXPECT_EQ(dlg.CardDavStatus->text(), QString::fromUtf8("412 Kontakte, vor 37 s"));

        dlg.CardDavAdresse->setText(" http://127.0.0.1:5232/ ");
        dlg.CardDavKennwort->setText("neu");
        QTest::mouseClick(dlg.BtnAbgleichen, Qt::LeftButton);
        EXPECT_EQ(book.syncs, 1);
        EXPECT_EQ(book.address, "http://127.0.0.1:5232/");
        EXPECT_EQ(book.password, "neu");
        EXPECT_EQ(dlg.CardDavStatus->text(), QString::fromUtf8("Abgleich läuft …"));

        book.status = "Anmeldung abgelehnt – Benutzer oder Kennwort falsch (vor 1 s)";
        QTest::qWait(700); // the page looks again while it is open
        EXPECT_EQ(dlg.CardDavStatus->text().toStdString(), book.status);

        dlg.CardDavMinuten->setValue(0);
        dlg.BtnOkClick();
        EXPECT_EQ(iCardDavMinuten, 0);
    }
    {
        // Cancelled after a sync with a typed account: the settings are as before.
        TDlgParameter dlg(nullptr);
        dlg.CardDavAdresse->setText("https://probe.example.org/");
        dlg.BtnAbgleichenClick();
        EXPECT_EQ(book.address, "https://probe.example.org/");
        dlg.BtnAbbruchClick();
        EXPECT_EQ(sCardDavAdresse, "http://127.0.0.1:5232/");
        EXPECT_EQ(sCardDavKennwort, "neu");
    }
    SetServerAddressBook(nullptr);
    TDlgParameter without(nullptr);
    EXPECT_FALSE(without.BtnAbgleichen->isEnabled());
}

} // namespace
