// SPDX-License-Identifier: GPL-3.0-or-later
// The entry editor on its own: what goes in comes back, typed texts land in their members.
#include "ui/Editor.h"

#include "core/Settings.h"
#include "platform/IniFile.h"

#include "dialogs_support.h"
#include "support/TestSupport.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

tAnruf Sample() {
    tAnruf a;
    a.bOk = false;
    a.iRecNo = 42;
    a.sTelefon = "0301234";
    a.sInfo = "Zeile 1\r\nZeile 2";
    a.sName = "M\xFCller";
    a.sVorname = "J\xFCrgen";
    a.sStrasse = "Stra\xDF"
                 "e 1";
    a.sPlz = "10115";
    a.sOrt = "Berlin";
    a.sGerufener = "B\xFCro";
    a.sEmail = "j@m.de";
    a.sFax = "0305";
    a.sAPartner = "Eva";
    a.sAvonOrt = "Berlin";
    a.sBreite = "52.52";
    a.sLaenge = "13.40";
    return a;
}

// Shows the editor modally with `record` and runs `act` on it; returns what GetRecord gives.
tAnruf RunEditor(const tAnruf& record, bool erfassen, std::function<void(TDlgEditor*)> act) {
    TDlgEditor editor(nullptr);
    editor.SetRecord(record, erfassen);
    cbtest::ModalAction modal1([act](QWidget* w) { act(qobject_cast<TDlgEditor*>(w)); });
    editor.exec();
    tAnruf out;
    out.sAvonOrt = "must be overwritten";
    editor.GetRecord(out);
    return out;
}

QLineEdit* EditOf(QWidget* w, const char* name) {
    return w->findChild<QLineEdit*>(name);
}

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSettings(); }
    cbtest::TempDir dir;
};

TEST_F(EditorTest, ShowsTheTenTextsAndEnterTakesTheTypedOnes) {
    std::map<std::string, std::string> shown;
    std::string title;
    const tAnruf out = RunEditor(Sample(), true, [&](TDlgEditor* e) {
        ASSERT_NE(e, nullptr);
        title = e->windowTitle().toStdString();
        for (const char* name : {"Vorname", "Name", "Strasse", "PLZ", "Ort", "Ansprechpartner",
                                 "Telefon", "FAX", "EMail"}) {
            QLineEdit* edit = EditOf(e, name);
            shown[name] = edit->text().toStdString();
            edit->selectAll();
            cbtest::Type(edit, QString::fromUtf8("neu ä ") + QLatin1String(name));
        }
        shown["Info"] = e->findChild<QPlainTextEdit*>("Info")->toPlainText().toStdString();
        QTest::keyClick(EditOf(e, "Strasse"), Qt::Key_Enter);
    });
    EXPECT_EQ(title, "Telefonbucheintrag erfassen");
    EXPECT_EQ(shown, (std::map<std::string, std::string>{{"Vorname", "Jürgen"},
                                                         {"Name", "Müller"},
                                                         {"Strasse", "Straße 1"},
                                                         {"PLZ", "10115"},
                                                         {"Ort", "Berlin"},
                                                         {"Ansprechpartner", "Eva"},
                                                         {"Telefon", "0301234"},
                                                         {"FAX", "0305"},
                                                         {"EMail", "j@m.de"},
                                                         {"Info", "Zeile 1\nZeile 2"}}));
    EXPECT_TRUE(out.bOk);
    EXPECT_EQ(out.sVorname, "neu \xE4 Vorname");
    EXPECT_EQ(out.sName, "neu \xE4 Name");
    EXPECT_EQ(out.sStrasse, "neu \xE4 Strasse");
    EXPECT_EQ(out.sPlz, "neu \xE4 P"); // the fields take what their columns hold: 7 and 20
    EXPECT_EQ(out.sOrt, "neu \xE4 Ort");
    EXPECT_EQ(out.sAPartner, "neu \xE4 Ansprechpartne");
    EXPECT_EQ(out.sTelefon, "neu \xE4 Telefon");
    EXPECT_EQ(out.sFax, "neu \xE4 FAX");
    EXPECT_EQ(out.sEmail, "neu \xE4 EMail");
    EXPECT_EQ(out.sInfo, "Zeile 1\r\nZeile 2");
    // Members the editor does not show come back as they went in.
    EXPECT_EQ(out.iRecNo, 42);
    EXPECT_EQ(out.sGerufener, "B\xFCro");
    EXPECT_EQ(out.sAvonOrt, "Berlin");
    EXPECT_EQ(out.sBreite, "52.52");
    EXPECT_EQ(out.sLaenge, "13.40");
}

TEST_F(EditorTest, EnterInTheMemoStartsANewLine) {
    bool visibleAfterEnter = false;
    const tAnruf out = RunEditor(tAnruf{}, true, [&](TDlgEditor* e) {
        auto* info = e->findChild<QPlainTextEdit*>("Info");
        info->setFocus();
        cbtest::Type(info, QStringLiteral("eins"));
        QTest::keyClick(info, Qt::Key_Return);
        cbtest::Type(info, QStringLiteral("zwei"));
        visibleAfterEnter = e->isVisible();
        QTest::mouseClick(e->findChild<QPushButton*>("BtnOK"), Qt::LeftButton);
    });
    EXPECT_TRUE(visibleAfterEnter);
    EXPECT_TRUE(out.bOk);
    EXPECT_EQ(out.sInfo, "eins\r\nzwei");
    EXPECT_EQ(out.iRecNo, kNoRecord);
}

TEST_F(EditorTest, EscapeAndAbbruchReturnTheRecordUnconfirmed) {
    tAnruf in = Sample();
    in.bOk = true; // as if an earlier OK had set it
    for (bool escape : {true, false}) {
        const tAnruf out = RunEditor(in, false, [escape](TDlgEditor* e) {
            EXPECT_EQ(e->windowTitle().toStdString(), "Telefonbucheintrag editieren");
            EditOf(e, "Name")->setText(QStringLiteral("geändert"));
            if (escape)
                QTest::keyClick(EditOf(e, "Name"), Qt::Key_Escape);
            else
                QTest::mouseClick(e->findChild<QPushButton*>("BtnAbbruch"), Qt::LeftButton);
        });
        EXPECT_FALSE(out.bOk);
        EXPECT_EQ(out.sName, "M\xFCller");
        EXPECT_EQ(out.sInfo, in.sInfo);
    }
}

// Enter presses the button that has the focus; back in a field, it is OK again.
TEST_F(EditorTest, EnterOnTheFocusedAbbruchCancels) {
    const tAnruf out = RunEditor(Sample(), true, [](TDlgEditor* e) {
        EditOf(e, "Name")->setText(QStringLiteral("geändert"));
        auto* abbruch = e->findChild<QPushButton*>("BtnAbbruch");
        abbruch->setFocus(Qt::TabFocusReason);
        QTest::keyClick(abbruch, Qt::Key_Return);
    });
    EXPECT_FALSE(out.bOk);
    EXPECT_EQ(out.sName, "M\xFCller");

    const tAnruf ok = RunEditor(Sample(), true, [](TDlgEditor* e) {
        e->findChild<QPushButton*>("BtnAbbruch")->setFocus(Qt::TabFocusReason);
        EditOf(e, "Name")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(EditOf(e, "Name"), Qt::Key_Return);
    });
    EXPECT_TRUE(ok.bOk);
}

TEST_F(EditorTest, OkWithEveryFieldEmpty) {
    const tAnruf out = RunEditor(Sample(), true, [](TDlgEditor* e) {
        for (QLineEdit* edit : e->findChildren<QLineEdit*>())
            edit->clear();
        e->findChild<QPlainTextEdit*>("Info")->clear();
        QTest::keyClick(EditOf(e, "Vorname"), Qt::Key_Return);
    });
    EXPECT_TRUE(out.bOk);
    for (const std::string* s : {&out.sVorname, &out.sName, &out.sStrasse, &out.sPlz, &out.sOrt,
                                 &out.sTelefon, &out.sInfo, &out.sEmail, &out.sFax, &out.sAPartner})
        EXPECT_EQ(*s, "");
    EXPECT_EQ(out.sGerufener, "B\xFCro");
}

TEST_F(EditorTest, PlacementKeepsThePositionOnlyWhenSwitchedOn) {
    const std::string ini = dir.file("callbeacon.INI");
    SetSettingsFilePathOverride(ini);
    RunEditor(Sample(), true, [](TDlgEditor* e) { QTest::keyClick(e, Qt::Key_Escape); });
    EXPECT_FALSE(std::filesystem::exists(ini));

    bPosSpeichern = true;
    RunEditor(Sample(), true, [](TDlgEditor* e) {
        e->move(123, 77);
        QTest::keyClick(e, Qt::Key_Escape);
    });
    cb::CIniFile file(ini);
    EXPECT_EQ(file.ReadInteger("WndEdit", "Left", -1), 123);
    EXPECT_EQ(file.ReadInteger("WndEdit", "Top", -1), 77);
    EXPECT_EQ(file.ReadInteger("WndEdit", "Width", -1), -1);
    SetSettingsFilePathOverride("");
}

} // namespace

namespace {

TEST_F(EditorTest, WindowsCharactersAreStoredAndOthersRefusedWithAMessage) {
    cbtest::ErrorBoxCapture boxes;
    tAnruf in = Sample();
    in.sInfo = "Preis 5 \x80, \x84Zitat\x93 \x96 Ende"; // as stored: Windows-1252
    std::string shownInfo;
    bool openAfterRefusal = false;
    QString focusAfterRefusal;
    const tAnruf out = RunEditor(in, true, [&](TDlgEditor* e) {
        shownInfo = e->findChild<QPlainTextEdit*>("Info")->toPlainText().toStdString();
        EditOf(e, "Strasse")->setText(QString::fromUtf8("Weg → 3"));
        QTest::keyClick(EditOf(e, "Name"), Qt::Key_Return);
        openAfterRefusal = e->isVisible();
        focusAfterRefusal =
            QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
        EditOf(e, "Strasse")->setText(QString::fromUtf8("Weg – 3 €"));
        QTest::keyClick(EditOf(e, "Name"), Qt::Key_Return);
    });
    EXPECT_EQ(shownInfo, "Preis 5 €, „Zitat“ – Ende");
    EXPECT_TRUE(openAfterRefusal);
    EXPECT_EQ(focusAfterRefusal, QStringLiteral("Strasse"));
    ASSERT_EQ(boxes.texts().size(), 1u);
    EXPECT_NE(boxes.texts()[0].find("„→“ im Feld „Straße“"), std::string::npos) << boxes.texts()[0];
    EXPECT_TRUE(out.bOk);
    EXPECT_EQ(out.sStrasse, "Weg \x96 3 \x80"); // never a '?'
    EXPECT_EQ(out.sInfo, in.sInfo);
}

TEST_F(EditorTest, FieldsTakeNoMoreThanTheirColumns) {
    std::map<std::string, int> kept;
    const tAnruf out = RunEditor(tAnruf{}, true, [&](TDlgEditor* e) {
        for (const char* name : {"Vorname", "Name", "Strasse", "PLZ", "Ort", "Ansprechpartner",
                                 "Telefon", "FAX", "EMail"}) {
            EditOf(e, name)->setFocus();
            cbtest::Type(EditOf(e, name), QString(60, QLatin1Char('x')));
            kept[name] = int(EditOf(e, name)->text().size());
        }
        // The memo: each line break takes two bytes in the table.
        auto* info = e->findChild<QPlainTextEdit*>("Info");
        info->setFocus();
        cbtest::Type(info, QString(246, QLatin1Char('i')));
        QTest::keyClick(info, Qt::Key_Return);
        cbtest::Type(info, QStringLiteral("abcd"));
        QTest::keyClick(EditOf(e, "Name"), Qt::Key_Return);
    });
    EXPECT_EQ(kept, (std::map<std::string, int>{{"Vorname", 20},
                                                {"Name", 20},
                                                {"Strasse", 30},
                                                {"PLZ", 7},
                                                {"Ort", 20},
                                                {"Ansprechpartner", 20},
                                                {"Telefon", 20},
                                                {"FAX", 20},
                                                {"EMail", 50}}));
    EXPECT_EQ(out.sInfo, std::string(246, 'i') + "\r\nab");
}

} // namespace
