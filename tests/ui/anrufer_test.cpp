// SPDX-License-Identifier: GPL-3.0-or-later
// The call history driven as a user would: clicks, keys, selections, the editor on top.
#include "ui/Anrufer.h"

#include "core/Settings.h"
#include "db/Anruf.h"
#include "db/ServerContacts.h"
#include "platform/HelpViewer.h"
#include "ui/Detail.h"
#include "ui/Editor.h"
#include "ui/ListLines.h"

#include "dialogs_support.h"
#include "support/TestSupport.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

using cbtest::Call;
using cbtest::Entry;

class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone) {
        if (const char* old = std::getenv("TZ")) previous = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (previous)
            setenv("TZ", previous->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> previous;
};

class AnruferTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSettings(); }

    // Shows the dialog as the tray would, but without a modal loop of its own.
    void Open() {
        dlg.emplace(nullptr);
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&*dlg));
        view = dlg->List();
    }
    QPoint RowPoint(int row) { return view->visualRect(view->model()->index(row, 2)).center(); }
    void Click(int row, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, mods, RowPoint(row));
    }
    QPushButton* Button(const char* name) { return dlg->findChild<QPushButton*>(name); }
    QCheckBox* ShowDeleted() { return dlg->findChild<QCheckBox*>("ShowDeleted"); }
    QAction* MenuAction(const char* text) {
        for (QAction* action : dlg->findChild<QMenu*>()->actions())
            if (action->text() == QString::fromUtf8(text)) return action;
        return nullptr;
    }

    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
    ZoneGuard zone{"UTC"};
    std::optional<TDlgAnrufer> dlg;
    QTreeView* view = nullptr;
};

// Five calls at one-minute steps from 2024-03-01 10:00 UTC.
std::vector<Call> FiveCalls() {
    std::vector<Call> calls;
    for (int i = 0; i < 5; ++i)
        calls.push_back({1709287200 + 60 * i, "030100" + std::to_string(i), "040999", ""});
    return calls;
}

TEST_F(AnruferTest, LinesNameCallersNewestFirst) {
    cbtest::CreatePhoneBook();
    cbtest::AddEntries({{"M\xFCller", "0301234", "J\xFCrgen"},
                        {"Schulze", "0305678", ""},
                        {"B\xFCro", "040999", "Zentrale"},
                        {"Weg", "0307777", "Alt", "", "", "", "", "", "", "", true}});
    cbtest::CreateCallLog();
    cbtest::AddCalls({{1709287200, "0301234", "040999", "J"},
                      {1709287260, "0305678", "040111", ""},
                      {1709287320, "0", "040999", ""},
                      {1709287380, "", "", ""},
                      {1709287440, "0307777", "040999", ""},
                      {1709287500, "0309999", "040999", "", true}});
    Open();
    QAbstractItemModelTester tester(view->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(cbtest::Lines(view),
              (std::vector<std::string>{
                  "01.03.2024\t10:04\t0307777\tB\xFCro\t\t0307777\t040999\t4",
                  "01.03.2024\t10:03\tKeine Rufnr. \xFC"
                  "bermittelt\t\t\t\t\t3",
                  "01.03.2024\t10:02\tKeine Rufnr. \xFC"
                  "bermittelt\tB\xFCro\t\t0\t040999\t2",
                  "01.03.2024\t10:01\tSchulze\t040111\t\t0305678\t040111\t1",
                  "01.03.2024\t10:00\tJ\xFCrgen M\xFCller\tB\xFCro\tJ\t0301234\t040999\t0",
              }));
    EXPECT_EQ(cbtest::Cells(view, 4),
              (std::vector<std::string>{"01.03.2024", "10:00", "Jürgen Müller", "Büro", "J"}));
    EXPECT_TRUE(boxes.texts().empty());
}

// "nur nicht angenommene" leaves out the calls another telephone took; a called own number
// the phone book does not name carries the MSN page's name.
TEST_F(AnruferTest, OnlyUnansweredCallsAndNamedOwnNumbers) {
    cbtest::CreatePhoneBook();
    cbtest::AddEntries({{"Schulze", "0305678", ""}});
    cbtest::CreateCallLog();
    cbtest::AddCalls({{1709287200, "0301234", "040999", "J"},
                      {1709287260, "0305678", "040111", ""},
                      {1709287320, "0307777", "040999", " "},
                      {1709287380, "0308888", "040111", "J"}});
    std::strcpy(aszNr[3], "040111");
    asNrName[3] = "Fax";
    Open();
    auto* only = dlg->findChild<QCheckBox*>("OnlyUnanswered");
    ASSERT_TRUE(only);
    EXPECT_EQ(only->text(), "nur nicht angenommene");
    EXPECT_EQ(cbtest::Lines(view).size(), 4u);
    QTest::mouseClick(only, Qt::LeftButton, Qt::NoModifier, QPoint(5, 8));
    ASSERT_TRUE(only->isChecked());
    EXPECT_EQ(cbtest::Lines(view), (std::vector<std::string>{
                                       "01.03.2024\t10:02\t0307777\t040999\t\t0307777\t040999\t2",
                                       "01.03.2024\t10:01\tSchulze\tFax\t\t0305678\t040111\t1",
                                   }));
    // With the deleted calls shown too, the filter still holds.
    QTest::mouseClick(ShowDeleted(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 8));
    EXPECT_EQ(cbtest::Lines(view).size(), 2u);
    QTest::mouseClick(only, Qt::LeftButton, Qt::NoModifier, QPoint(5, 8));
    EXPECT_EQ(cbtest::Lines(view).size(), 4u);
}

// A caller only the address book on a server knows is shown by that name, and the context
// menu copies the contact into the phone book, after which the phone book names the call.
TEST_F(AnruferTest, ServerNamesShowAndOneCopiesIntoThePhoneBook) {
    cbtest::CreatePhoneBook();
    cbtest::AddEntries({{"M\xFCller", "0301234", "J\xFCrgen"}});
    cbtest::CreateCallLog();
    cbtest::AddCalls(
        {{1709287200, "0301234", "040999", ""}, {1709287260, "0405555", "040999", ""}});
    auto server = std::make_shared<CServerContacts>();
    tContact contact;
    contact.sFamilyName = "Schr\xC3\xB6"
                          "der"; // UTF-8, as cards are
    contact.sGivenName = "Sina";
    contact.sTown = "Hamburg";
    contact.aNumbers = {{"+49 40 5555", NumberKind::Mobile, ""},
                        {"030 1234", NumberKind::Work, ""}};
    server->Put({"/buch/s.vcf", "\"1\"", CServerContacts::RowsOf(contact)});
    SetSecondCallerNames(server);
    Open();
    EXPECT_EQ(cbtest::Cells(view, 0),
              (std::vector<std::string>{"01.03.2024", "10:01", "Sina Schröder", "040999", ""}));
    // The phone book comes first.
    EXPECT_EQ(cbtest::Cells(view, 1)[2], "Jürgen Müller");

    Click(1);
    dlg->findChild<QMenu*>()->aboutToShow();
    QAction* copy = MenuAction("Ins Telefonbuch übernehmen");
    ASSERT_NE(copy, nullptr);
    EXPECT_FALSE(copy->isVisible()); // already in the phone book
    Click(0);
    dlg->findChild<QMenu*>()->aboutToShow();
    EXPECT_TRUE(copy->isVisible());
    copy->trigger();
    SetSecondCallerNames(nullptr);
    tAnruf entry;
    ASSERT_TRUE(LookupCaller(entry, "0405555", "040999", false));
    EXPECT_EQ(entry.sName, "Schr\xF6"
                           "der");
    EXPECT_EQ(entry.sOrt, "Hamburg");
    dlg->FillListe();
    EXPECT_EQ(cbtest::Cells(view, 0)[2], "Sina Schröder");
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(AnruferTest, DeleteKeyDeletesThreeSelectedCallsThenShowAndRestore) {
    cbtest::CreatePhoneBook();
    cbtest::CreateCallLog();
    cbtest::AddCalls(FiveCalls());
    Open();
    ASSERT_EQ(view->model()->rowCount(), 5);
    // Rows show records 4..0; select records 4, 2 and 1.
    Click(0);
    Click(2, Qt::ControlModifier);
    Click(3, Qt::ControlModifier);
    ASSERT_EQ(view->selectionModel()->selectedRows().size(), 3);
    QTest::keyClick(view, Qt::Key_Delete);

    std::vector<std::string> lines = cbtest::Lines(view);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(GetTabField(lines[0], 7), "3");
    EXPECT_EQ(GetTabField(lines[1], 7), "0");
    for (int rec : {4, 2, 1})
        EXPECT_EQ(cbtest::RecordState("Anrufe.dbf", rec), 0) << rec;
    for (int rec : {3, 0})
        EXPECT_EQ(cbtest::RecordState("Anrufe.dbf", rec), 1) << rec;
    EXPECT_FALSE(Button("BtnUndelete")->isEnabled());

    QTest::mouseClick(ShowDeleted(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 8));
    ASSERT_TRUE(ShowDeleted()->isChecked());
    EXPECT_TRUE(Button("BtnUndelete")->isEnabled());
    lines = cbtest::Lines(view);
    ASSERT_EQ(lines.size(), 5u);
    const char* times[] = {"10:04   *", "10:03", "10:02   *", "10:01   *", "10:00"};
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(GetTabField(lines[size_t(row)], 1), times[row]);

    // Restore the record-2 line together with an active one.
    Click(1);
    Click(2, Qt::ControlModifier);
    QTest::mouseClick(Button("BtnUndelete"), Qt::LeftButton);
    EXPECT_EQ(GetTabField(cbtest::Lines(view)[2], 1), "10:02");
    EXPECT_EQ(cbtest::RecordState("Anrufe.dbf", 2), 1);
    EXPECT_EQ(cbtest::RecordState("Anrufe.dbf", 3), 1);
    EXPECT_EQ(cbtest::RecordState("Anrufe.dbf", 4), 0);

    // The list's pop-up menu deletes and restores the same way.
    QAction* loeschen = MenuAction("Löschen");
    QAction* aktivieren = MenuAction("Aktivieren");
    ASSERT_TRUE(loeschen && aktivieren);
    EXPECT_TRUE(aktivieren->isEnabled());
    Click(1);
    loeschen->trigger();
    EXPECT_EQ(cbtest::RecordState("Anrufe.dbf", 3), 0);
    EXPECT_EQ(GetTabField(cbtest::Lines(view)[1], 1), "10:03   *");
    Click(1);
    aktivieren->trigger();
    EXPECT_EQ(cbtest::RecordState("Anrufe.dbf", 3), 1);
    EXPECT_EQ(GetTabField(cbtest::Lines(view)[1], 1), "10:03");

    QTest::mouseClick(ShowDeleted(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 8));
    EXPECT_EQ(view->model()->rowCount(), 3);
    EXPECT_FALSE(Button("BtnUndelete")->isEnabled());
    EXPECT_FALSE(aktivieren->isEnabled());
    // Rebuilds keep the header sections at their widths.
    const int widths[] = {65, 50, 250, 200, 35};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(view->header()->sectionSize(i), widths[i]) << i;
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(AnruferTest, EditOfUnknownCallerAppendsOneEntryThatNamesEveryCall) {
    cbtest::CreatePhoneBook();
    cbtest::AddEntries({{"Meier", "0409876", "Hans"}});
    cbtest::CreateCallLog();
    cbtest::AddCalls({{1709287200, "0301234", "040999", ""},
                      {1709287260, "0409876", "040999", ""},
                      {1709287320, "0301234", "040999", ""},
                      {1709287380, "0301234", "040111", "J"}});
    Open();
    Click(1); // record 2, from 0301234

    std::string title, name, telefon;
    cbtest::ModalAction modal1([&](QWidget* w) {
        auto* editor = qobject_cast<TDlgEditor*>(w);
        ASSERT_NE(editor, nullptr);
        title = editor->windowTitle().toStdString();
        auto* nameEdit = editor->findChild<QLineEdit*>("Name");
        name = nameEdit->text().toStdString();
        telefon = editor->findChild<QLineEdit*>("Telefon")->text().toStdString();
        cbtest::Type(editor->findChild<QLineEdit*>("Vorname"), QString::fromUtf8("Jürgen"));
        nameEdit->selectAll();
        cbtest::Type(nameEdit, QString::fromUtf8("Müller"));
        QTest::keyClick(nameEdit, Qt::Key_Return);
    });
    QTest::mouseClick(Button("BtnEdit"), Qt::LeftButton);

    EXPECT_EQ(title, "Telefonbucheintrag erfassen");
    EXPECT_EQ(name, "0301234");
    EXPECT_EQ(telefon, "0301234");
    ASSERT_EQ(cbtest::RecordCount("Adressen.dbf"), 2u);
    EXPECT_EQ(cbtest::Field("Adressen.dbf", 1, "NAME"), "M\xFCller");
    EXPECT_EQ(cbtest::Field("Adressen.dbf", 1, "VORNAME"), "J\xFCrgen");
    EXPECT_EQ(cbtest::Field("Adressen.dbf", 1, "TELEFON"), "0301234");
    const std::vector<std::string> lines = cbtest::Lines(view);
    ASSERT_EQ(lines.size(), 4u);
    for (size_t row : {0u, 1u, 3u})
        EXPECT_EQ(GetTabField(lines[row], 2), "J\xFCrgen M\xFCller") << row;
    EXPECT_EQ(GetTabField(lines[2], 2), "Hans Meier");
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(AnruferTest, EditActsOnTheFocusedLineAndAbbruchChangesNothing) {
    cbtest::CreatePhoneBook();
    cbtest::AddEntries({{"Meier", "0409876", "Hans"}});
    cbtest::CreateCallLog();
    cbtest::AddCalls(
        {{1709287200, "0301234", "040999", ""}, {1709287260, "0409876", "040999", ""}});
    const std::string book = cbtest::ReadWholeFile("Adressen.dbf");
    const std::string log = cbtest::ReadWholeFile("Anrufe.dbf");
    Open();
    const std::vector<std::string> before = cbtest::Lines(view);
    Click(1);
    Click(0, Qt::ControlModifier); // focus on the Meier call, both selected

    std::string name;
    cbtest::ModalAction modal2([&](QWidget* w) {
        auto* nameEdit = w->findChild<QLineEdit*>("Name");
        name = nameEdit->text().toStdString();
        nameEdit->selectAll();
        cbtest::Type(nameEdit, QStringLiteral("Anders"));
        QTest::mouseClick(w->findChild<QPushButton*>("BtnAbbruch"), Qt::LeftButton);
    });
    QTest::mouseClick(Button("BtnEdit"), Qt::LeftButton);
    EXPECT_EQ(name, "Meier");

    // Escape from the popup menu's Edit too.
    cbtest::ModalAction modal3([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    QTest::mouseClick(Button("BtnEdit"), Qt::LeftButton);

    EXPECT_EQ(cbtest::ReadWholeFile("Adressen.dbf"), book);
    EXPECT_EQ(cbtest::ReadWholeFile("Anrufe.dbf"), log);
    EXPECT_EQ(cbtest::Lines(view), before);
}

TEST_F(AnruferTest, EditWithoutSelectionDoesNothing) {
    cbtest::CreatePhoneBook();
    cbtest::CreateCallLog();
    cbtest::AddCalls(FiveCalls());
    Open();
    Click(0, Qt::ControlModifier); // takes the newest call out of the selection
    ASSERT_FALSE(view->selectionModel()->hasSelection());
    QTest::mouseClick(Button("BtnEdit"), Qt::LeftButton);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(cbtest::RecordCount("Adressen.dbf"), 0u);
}

TEST_F(AnruferTest, MissingPhoneBookIsReportedOncePerRebuild) {
    cbtest::CreateCallLog();
    cbtest::AddCalls(FiveCalls());
    Open();
    EXPECT_EQ(boxes.texts(),
              std::vector<std::string>{"Adressdatenbank konnte nicht gefunden werden"});
    const std::vector<std::string> lines = cbtest::Lines(view);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "01.03.2024\t10:04\t\t\t\t0301004\t040999\t4");
    boxes.clear();
    QTest::mouseClick(ShowDeleted(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 8));
    EXPECT_EQ(boxes.texts().size(), 1u);
}

TEST_F(AnruferTest, MissingOrEmptyCallLog) {
    cbtest::CreatePhoneBook();
    Open();
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"Anrufer Datenbank nicht gefunden/geöffnet"});
    EXPECT_EQ(view->model()->rowCount(), 0);
    boxes.clear();
    QTest::keyClick(view, Qt::Key_Delete); // delete reports and does not rebuild
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"Anrufer Datenbank nicht gefunden/geöffnet"});

    dlg.reset();
    boxes.clear();
    cbtest::CreateCallLog();
    Open();
    EXPECT_EQ(view->model()->rowCount(), 0);
    QTest::keyClick(view, Qt::Key_Delete);
    QTest::mouseClick(Button("BtnEdit"), Qt::LeftButton);
    EXPECT_TRUE(boxes.texts().empty()); // not even the phone book is needed
}

TEST_F(AnruferTest, CallAtTheTurnOfTheMillenniumInBerlin) {
    ZoneGuard berlin("Europe/Berlin");
    cbtest::CreatePhoneBook();
    cbtest::CreateCallLog();
    cbtest::AddCalls({{946684799, "0301234", "040999", ""}});
    Open();
    EXPECT_EQ(cbtest::Cells(view, 0)[0], "01.01.2000");
    EXPECT_EQ(cbtest::Cells(view, 0)[1], "00:59");
}

TEST_F(AnruferTest, DoubleClickShowsThePopupWithoutItsTimer) {
    iSekunden = 1;
    cbtest::CreatePhoneBook();
    cbtest::AddEntries({{"M\xFCller", "0301234", "J\xFCrgen"}});
    cbtest::CreateCallLog();
    cbtest::AddCalls(FiveCalls());
    cbtest::AddCalls({{1709287500, "0301234", "040999", ""}});
    const std::string log = cbtest::ReadWholeFile("Anrufe.dbf");
    Open();

    bool wasDetail = false, stillOpen = false;
    cbtest::ModalAction modal4([&](QWidget* w) {
        wasDetail = qobject_cast<TDlgDetail*>(w) != nullptr;
        QTest::qWait(1500); // longer than a live call's pop-up would stay
        stillOpen = w->isVisible();
        QTest::keyClick(w, Qt::Key_Escape);
    });
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, RowPoint(0));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, RowPoint(0));
    EXPECT_TRUE(wasDetail);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(cbtest::ReadWholeFile("Anrufe.dbf"), log);
}

TEST_F(AnruferTest, KeysAndWindowLimits) {
    cbtest::CreatePhoneBook();
    cbtest::CreateCallLog();
    Open();
    std::vector<int> topics;
    cb::SetHelpHook([&topics](int topic) { topics.push_back(topic); });
    QTest::keyClick(view, Qt::Key_F1);
    cb::SetHelpHook({});
    EXPECT_EQ(topics, std::vector<int>{102});

    dlg->resize(900, 100);
    EXPECT_EQ(dlg->width(), 618);
    EXPECT_EQ(dlg->height(), 150);
    dlg->resize(300, 700);
    EXPECT_EQ(dlg->width(), 618);
    EXPECT_EQ(dlg->height(), 700);

    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
}

// Enter presses the focused button; only from elsewhere does it close the dialog.
TEST_F(AnruferTest, EnterOnTheFocusedLoeschenDeletes) {
    cbtest::CreatePhoneBook();
    cbtest::CreateCallLog();
    cbtest::AddCalls(FiveCalls());
    Open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&*dlg));
    Click(0);
    Button("BtnLoeschen")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(Button("BtnLoeschen"), Qt::Key_Return);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(cbtest::RecordState("Anrufe.dbf", 4), 0);
    EXPECT_EQ(view->model()->rowCount(), 4);

    view->setFocus(Qt::TabFocusReason);
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_FALSE(dlg->isVisible());
}

// A list longer than the window: its scroll bar must leave the "Ang." column visible.
TEST_F(AnruferTest, ScrollBarLeavesTheLastColumnVisible) {
    cbtest::CreatePhoneBook();
    cbtest::CreateCallLog();
    std::vector<Call> calls;
    for (int i = 0; i < 60; ++i)
        calls.push_back({1709287200 + 60 * i, "0301", "040999", "J"});
    cbtest::AddCalls(calls);
    Open();
    ASSERT_TRUE(view->verticalScrollBar()->isVisible());
    EXPECT_EQ(dlg->width(), 618);
    EXPECT_GE(view->viewport()->width(), view->header()->length());
    EXPECT_EQ(view->header()->length(), 600);
}

} // namespace

namespace {

// A foreign or mobile caller: the pop-up from the history names the country or the kind of
// number; an entry made from the call does not get it as its town.
TEST_F(AnruferTest, ForeignAndMobileCallersArePlacedInThePopupButNotInTheEntry) {
    cbtest::CreatePhoneBook();
    cbtest::CreateCallLog();
    cbtest::AddCalls(
        {{1709287200, "01711234567", "040999", ""}, {1709287260, "0041441234567", "040999", ""}});
    Open();

    std::vector<std::string> places;
    for (int row : {0, 1}) {
        cbtest::ModalAction modal([&](QWidget* w) {
            places.push_back(w->findChild<QLabel*>(QStringLiteral("Ort"))->text().toStdString());
            QTest::keyClick(w, Qt::Key_Escape);
        });
        Click(row);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, RowPoint(row));
    }
    EXPECT_EQ(places, (std::vector<std::string>{"Schweiz", "Mobilfunk"}));

    std::string ort;
    cbtest::ModalAction modal([&](QWidget* w) {
        ort = w->findChild<QLineEdit*>("Ort")->text().toStdString();
        QTest::keyClick(w->findChild<QLineEdit*>("Name"), Qt::Key_Escape);
    });
    Click(0);
    QTest::mouseClick(Button("BtnEdit"), Qt::LeftButton);
    EXPECT_EQ(ort, "");
    EXPECT_TRUE(boxes.texts().empty());
}

} // namespace
