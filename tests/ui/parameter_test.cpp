// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Parameter.h"

#include "parameter_support.h"
#include "platform/HelpViewer.h"
#include "platform/IniFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <cstring>

namespace {

using cbtest::SettingsFixture;

class ParameterTest : public SettingsFixture {};

void SetNumber(int i, const char* text) {
    std::memset(aszNr[i], 0, sizeof aszNr[i]);
    std::strncpy(aszNr[i], text, 24);
}

TEST_F(ParameterTest, ControlsShowSettingsAndOkTakesEveryControlOver) {
    iSekunden = 42;
    bHistory = false;
    bAnruferAnzeigen = false;
    bBekannte = true;
    bBlinkend = true;
    bClient = true;
    bServer = false;
    bPosSpeichern = false;
    bAlle = false;
    sOrtsvorwahl = "089";
    for (int i = 0; i < 10; ++i) {
        abZeige[i] = i % 2 == 0;
        SetNumber(i, ("0301234" + std::to_string(i)).c_str());
    }

    TDlgParameter dlg(nullptr);
    EXPECT_EQ(dlg.windowTitle(), "Parameter");
    EXPECT_EQ(dlg.TabControl->currentIndex(), 0);
    EXPECT_EQ(dlg.AnzeigeSekunden->value(), 42);
    EXPECT_FALSE(dlg.Anruferhistory->isChecked());
    EXPECT_FALSE(dlg.AnruferAnzeigen->isChecked());
    EXPECT_TRUE(dlg.Bekannte->isChecked());
    EXPECT_TRUE(dlg.Blinkend->isChecked());
    EXPECT_TRUE(dlg.NetzwerkClient->isChecked());
    EXPECT_FALSE(dlg.NetzwerkServer->isChecked());
    EXPECT_FALSE(dlg.FensterPositionen->isChecked());
    EXPECT_FALSE(dlg.Cb_AlleNummernZeigen->isChecked());
    EXPECT_EQ(dlg.Ortsvorwahl->text(), "089");
    EXPECT_FALSE(dlg.Ortsvorwahl->toolTip().isEmpty());
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(dlg.ShowNr[i]->isChecked(), i % 2 == 0) << i;
        EXPECT_EQ(dlg.Nr[i]->text().toStdString(), "0301234" + std::to_string(i));
        EXPECT_TRUE(dlg.Nr[i]->isEnabled()) << "Alle off leaves the rows usable";
    }

    // Every control to the opposite; the number rows stay filled while Alle disables them.
    dlg.AnzeigeSekunden->setValue(7);
    dlg.Anruferhistory->setChecked(true);
    dlg.AnruferAnzeigen->setChecked(true);
    dlg.Bekannte->setChecked(false);
    dlg.Blinkend->setChecked(false);
    dlg.NetzwerkClient->setChecked(false);
    dlg.NetzwerkServer->setChecked(true);
    dlg.FensterPositionen->setChecked(true);
    dlg.Ortsvorwahl->setText(" 0221 ");
    for (int i = 0; i < 10; ++i) {
        dlg.ShowNr[i]->setChecked(i % 2 == 1);
        dlg.Nr[i]->setText(QString::number(500 + i));
    }
    dlg.Cb_AlleNummernZeigen->setChecked(true);
    ASSERT_FALSE(dlg.Nr[4]->isEnabled());
    dlg.BtnOk->click();

    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(iSekunden, 7);
    EXPECT_TRUE(bHistory);
    EXPECT_TRUE(bAnruferAnzeigen);
    EXPECT_FALSE(bBekannte);
    EXPECT_FALSE(bBlinkend);
    EXPECT_FALSE(bClient);
    EXPECT_TRUE(bServer);
    EXPECT_TRUE(bPosSpeichern);
    EXPECT_TRUE(bAlle);
    EXPECT_EQ(sOrtsvorwahl, "0221");
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(abZeige[i], i % 2 == 1) << "disabled row " << i << " is taken over";
        EXPECT_STREQ(aszNr[i], std::to_string(500 + i).c_str());
    }
}

TEST_F(ParameterTest, AbbruchKeepsSettingsButSekundenCorrectionStays) {
    for (int bad : {150, 100, 0, -3}) {
        iSekunden = bad;
        bHistory = true;
        bServer = false;
        SetNumber(2, "4711");
        TDlgParameter dlg(nullptr);
        EXPECT_EQ(dlg.AnzeigeSekunden->value(), 10) << bad;
        dlg.AnzeigeSekunden->setValue(33);
        dlg.Anruferhistory->setChecked(false);
        dlg.NetzwerkServer->setChecked(true);
        dlg.Cb_AlleNummernZeigen->setChecked(false);
        dlg.Nr[2]->setText(QStringLiteral("999"));
        dlg.BtnAbbruch->click();
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
        EXPECT_EQ(iSekunden, 10) << bad;
        EXPECT_TRUE(bHistory);
        EXPECT_FALSE(bServer);
        EXPECT_TRUE(bAlle);
        EXPECT_STREQ(aszNr[2], "4711");
    }
    for (int good : {1, 99}) {
        iSekunden = good;
        TDlgParameter dlg(nullptr);
        EXPECT_EQ(dlg.AnzeigeSekunden->value(), good);
        dlg.BtnAbbruch->click();
        EXPECT_EQ(iSekunden, good);
    }
}

TEST_F(ParameterTest, EnterIsOkAndEscIsAbbruch) {
    {
        TDlgParameter dlg(nullptr);
        dlg.show();
        dlg.NetzwerkClient->setChecked(true);
        QTest::keyClick(dlg.Nr[0], Qt::Key_Escape);
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
        EXPECT_FALSE(bClient);
    }
    {
        TDlgParameter dlg(nullptr);
        dlg.show();
        dlg.NetzwerkClient->setChecked(true);
        QTest::keyClick(dlg.AnzeigeSekunden, Qt::Key_Return);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_TRUE(bClient);
    }
}

// Enter presses the button that has the focus: Abbruch cancels, Bereinigen packs and stays.
TEST_F(ParameterTest, EnterOnAFocusedButtonPressesThatButton) {
    {
        TDlgParameter dlg(nullptr);
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
        dlg.NetzwerkClient->setChecked(true);
        dlg.BtnAbbruch->setFocus(Qt::TabFocusReason);
        QTest::keyClick(dlg.BtnAbbruch, Qt::Key_Return);
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
        EXPECT_FALSE(bClient);
    }
    {
        TDlgParameter dlg(nullptr);
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
        int packs = 0;
        QObject::connect(dlg.BtnReorg, &QPushButton::clicked, [&packs]() { ++packs; });
        dlg.TabControl->setCurrentIndex(2);
        dlg.NetzwerkClient->setChecked(true);
        dlg.BtnReorg->setFocus(Qt::TabFocusReason);
        QTest::keyClick(dlg.BtnReorg, Qt::Key_Return);
        EXPECT_EQ(packs, 1);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_FALSE(bClient);
    }
}

TEST_F(ParameterTest, AlleNummernSwitchesTheRowsWithoutClearingThem) {
    bAlle = true;
    abZeige[6] = true;
    SetNumber(6, "123");
    TDlgParameter dlg(nullptr);
    for (int i = 0; i < 10; ++i) {
        EXPECT_FALSE(dlg.ShowNr[i]->isEnabled()) << i;
        EXPECT_FALSE(dlg.Nr[i]->isEnabled()) << i;
    }
    dlg.Cb_AlleNummernZeigen->click();
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(dlg.ShowNr[i]->isEnabled()) << i;
        EXPECT_TRUE(dlg.Nr[i]->isEnabled()) << i;
    }
    dlg.Cb_AlleNummernZeigen->click();
    EXPECT_FALSE(dlg.Nr[6]->isEnabled());
    EXPECT_TRUE(dlg.ShowNr[6]->isChecked());
    EXPECT_EQ(dlg.Nr[6]->text(), "123");
}

TEST_F(ParameterTest, NumbersKeepTheirBytesAndFitTheSetting) {
    bAlle = false;
    TDlgParameter dlg(nullptr);
    // An empty number with its flag set is stored as such.
    dlg.ShowNr[3]->setChecked(true);
    dlg.Nr[3]->setText(QString());
    // Typing stops at the 24 characters the setting holds.
    dlg.Nr[0]->setFocus();
    QTest::keyClicks(dlg.Nr[0], QStringLiteral("0123456789012345678901234567"));
    EXPECT_EQ(dlg.Nr[0]->text().size(), 24);
    // Table texts are Latin-1: a typed umlaut is one byte in the setting.
    dlg.Nr[1]->setText(QStringLiteral("Büro"));
    dlg.BtnOk->click();
    EXPECT_TRUE(abZeige[3]);
    EXPECT_STREQ(aszNr[3], "");
    EXPECT_STREQ(aszNr[0], "012345678901234567890123");
    EXPECT_STREQ(aszNr[1], "B\xfcro");

    TDlgParameter again(nullptr);
    EXPECT_EQ(again.Nr[1]->text(), QStringLiteral("Büro"));
}

TEST_F(ParameterTest, UsageBarsShowTheShareOfDeletedRecords) {
    // Phone book: 10 records, 3 deleted (0, 4 and 9); call log: 4 records, 1 deleted.
    std::vector<bool> phoneBook(10);
    phoneBook[0] = phoneBook[4] = phoneBook[9] = true;
    cbtest::WriteNumberedTable("Adressen.dbf", phoneBook);
    cbtest::WriteNumberedTable("Anrufe.dbf", {false, false, true, false});

    TDlgParameter dlg(nullptr);
    EXPECT_EQ(dlg.Adressen->maximum(), 10);
    EXPECT_EQ(dlg.Adressen->value(), 3);
    EXPECT_EQ(dlg.Anrufe->maximum(), 4);
    EXPECT_EQ(dlg.Anrufe->value(), 1);
    EXPECT_TRUE(dlg.Adressen->isTextVisible());
    EXPECT_EQ(dlg.Adressen->text(), QStringLiteral("30 %"));
    EXPECT_EQ(dlg.Anrufe->text(), QStringLiteral("25 %"));
}

TEST_F(ParameterTest, MissingOrEmptyTablesGiveEmptyBarsNotBusyOnes) {
    {
        TDlgParameter dlg(nullptr);
        for (QProgressBar* bar : {dlg.Adressen, dlg.Anrufe}) {
            EXPECT_GT(bar->maximum(), bar->minimum()) << "a 0..0 range spins as busy";
            EXPECT_EQ(bar->value(), bar->minimum());
        }
    }
    cbtest::WriteNumberedTable("Adressen.dbf", {});
    TDlgParameter dlg(nullptr);
    EXPECT_GT(dlg.Adressen->maximum(), dlg.Adressen->minimum());
    EXPECT_EQ(dlg.Adressen->value(), 0);
    EXPECT_EQ(dlg.Adressen->text(), QStringLiteral("0 %"));
}

TEST_F(ParameterTest, CallLogBeyondSixteenBitsGetsItsTrueShare) {
    // 40,000 records read as a signed 16-bit count would be -25,536.
    cbtest::WriteNumberedTable("Anrufe.dbf", cbtest::EveryThirdDeleted(40000));
    TDlgParameter dlg(nullptr);
    EXPECT_EQ(dlg.Anrufe->maximum(), 40000);
    EXPECT_EQ(dlg.Anrufe->value(), 13334);
    EXPECT_EQ(dlg.Anrufe->text(), QStringLiteral("33 %"));
}

TEST_F(ParameterTest, BereinigenPacksBothTablesAndEmptiesTheBars) {
    std::vector<bool> phoneBook(10);
    phoneBook[0] = phoneBook[4] = phoneBook[9] = true;
    cbtest::WriteNumberedTable("Adressen.dbf", phoneBook);
    cbtest::WriteNumberedTable("Anrufe.dbf", cbtest::EveryThirdDeleted(7));
    TDlgParameter dlg(nullptr);
    ASSERT_EQ(dlg.Adressen->value(), 3);
    ASSERT_EQ(dlg.Anrufe->value(), 3);

    dlg.TabControl->setCurrentIndex(2);
    dlg.BtnReorg->click();
    EXPECT_EQ(dlg.Adressen->value(), 0);
    EXPECT_EQ(dlg.Anrufe->value(), 0);
    EXPECT_EQ(dlg.Adressen->maximum(), 7);
    EXPECT_EQ(dlg.Anrufe->maximum(), 4);

    // The survivors, renumbered from 0 in their old order.
    const std::vector<std::pair<const char*, std::vector<std::string>>> expected = {
        {"Adressen.dbf", {"1", "2", "3", "5", "6", "7", "8"}},
        {"Anrufe.dbf", {"1", "2", "4", "5"}}};
    for (const auto& [name, numbers] : expected) {
        CBase table(name);
        ASSERT_TRUE(table.IsOpen()) << name;
        ASSERT_EQ(table.RecCount(), numbers.size()) << name;
        for (size_t i = 0; i < numbers.size(); ++i) {
            ASSERT_EQ(table.GoTo(int64_t(i)), 1) << name << " " << i;
            EXPECT_EQ(table.GetField("NR"), numbers[i]) << name << " " << i;
        }
    }
    EXPECT_EQ(dlg.result(), 0) << "Bereinigen does not close the dialog";
}

TEST_F(ParameterTest, BereinigenWithoutTablesCreatesNothing) {
    TDlgParameter dlg(nullptr);
    dlg.BtnReorg->click();
    EXPECT_FALSE(std::filesystem::exists("Adressen.dbf"));
    EXPECT_FALSE(std::filesystem::exists("Anrufe.dbf"));
    EXPECT_EQ(dlg.Anrufe->value(), 0);
}

TEST_F(ParameterTest, F1AsksForTopic110FromAnyControl) {
    std::vector<int> topics;
    cb::SetHelpHook([&](int topic) { topics.push_back(topic); });
    {
        TDlgParameter dlg(nullptr);
        dlg.show();
        QTest::keyClick(dlg.AnruferAnzeigen, Qt::Key_F1);
        dlg.TabControl->setCurrentIndex(3);
        dlg.Cb_AlleNummernZeigen->setChecked(false);
        QTest::keyClick(dlg.Nr[7], Qt::Key_F1);
        QTest::keyClick(dlg.AnzeigeSekunden, Qt::Key_F1);
        EXPECT_TRUE(dlg.isVisible()) << "help leaves the dialog open";
    }
    cb::SetHelpHook(nullptr);
    EXPECT_EQ(topics, (std::vector<int>{110, 110, 110}));
}

TEST_F(ParameterTest, PlacementIsStoredOnlyWithPosSpeichern) {
    const std::string ini = SettingsFilePath();
    {
        TDlgParameter dlg(nullptr);
        dlg.show();
        dlg.move(123, 77);
        dlg.BtnAbbruch->click();
    }
    EXPECT_FALSE(std::filesystem::exists(ini)) << "nothing stored with PosSpeichern off";

    bPosSpeichern = true;
    {
        TDlgParameter dlg(nullptr);
        dlg.show();
        dlg.move(123, 77);
        dlg.BtnAbbruch->click();
    }
    cb::CIniFile file(ini);
    EXPECT_EQ(file.ReadInteger("WndParameter", "Left", -1), 123);
    EXPECT_EQ(file.ReadInteger("WndParameter", "Top", -1), 77);
    EXPECT_EQ(file.ReadString("WndParameter", "Width", "none"), "none") << "position only";
    {
        TDlgParameter dlg(nullptr);
        dlg.show();
        EXPECT_EQ(dlg.pos(), QPoint(123, 77));
        dlg.BtnOk->click();
    }
}

// Tabs from the first widget of `order` and checks that focus visits the rest in turn.
void ExpectTabOrder(QDialog& dlg, const std::vector<QWidget*>& order) {
    order.front()->setFocus(Qt::TabFocusReason);
    for (size_t i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        EXPECT_TRUE(focus == order[i] || order[i]->isAncestorOf(focus))
            << "step " << i << " reached " << (focus ? focus->objectName().toStdString() : "none")
            << " instead of " << order[i]->objectName().toStdString();
    }
    (void)dlg;
}

TEST_F(ParameterTest, TabOrderFollowsTheColumnsAndRows) {
    bAlle = false;
    TDlgParameter dlg(nullptr);
    dlg.show();
    QApplication::setActiveWindow(&dlg);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    ExpectTabOrder(dlg, {dlg.AnruferAnzeigen, dlg.Blinkend, dlg.AnzeigeSekunden, dlg.Ortsvorwahl,
                         dlg.Anruferhistory, dlg.Bekannte, dlg.NetzwerkClient, dlg.NetzwerkServer});
    dlg.TabControl->setCurrentIndex(3);
    std::vector<QWidget*> msn = {dlg.Cb_AlleNummernZeigen};
    for (int i = 0; i < 10; ++i) {
        msn.push_back(dlg.ShowNr[i]);
        msn.push_back(dlg.Nr[i]);
    }
    ExpectTabOrder(dlg, msn);
}

} // namespace
