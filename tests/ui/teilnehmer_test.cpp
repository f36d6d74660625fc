// SPDX-License-Identifier: GPL-3.0-or-later
// The phone-book dialog driven as a user would.
#include "ui/Teilnehmer.h"

#include "core/Settings.h"
#include "platform/HelpViewer.h"
#include "ui/Editor.h"
#include "ui/ListLines.h"

#include "dialogs_support.h"
#include "support/TestSupport.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace {

using cbtest::Entry;

class TeilnehmerTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSettings(); }

    void Open() {
        dlg.emplace(nullptr);
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&*dlg));
        view = dlg->List();
    }
    void Click(int row, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, mods,
                          view->visualRect(view->model()->index(row, 0)).center());
    }
    int RowOf(const std::string& name) {
        for (int row = 0; row < view->model()->rowCount(); ++row)
            if (cbtest::Cells(view, row)[0] == name) return row;
        return -1;
    }
    QPushButton* Button(const char* name) { return dlg->findChild<QPushButton*>(name); }
    void ToggleShowDeleted() {
        QTest::mouseClick(dlg->findChild<QCheckBox*>("ShowDeleted"), Qt::LeftButton, Qt::NoModifier,
                          QPoint(5, 8));
    }
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (int row = 0; row < view->model()->rowCount(); ++row)
            names.push_back(cbtest::Cells(view, row)[0] + "|" + cbtest::Cells(view, row)[1]);
        return names;
    }

    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
    std::optional<TDlgTeilnehmer> dlg;
    QTreeView* view = nullptr;
};

TEST_F(TeilnehmerTest, SortedByWholeLineIgnoringCase) {
    cbtest::CreatePhoneBook();
    cbtest::AddEntries({{"Zander", "0301", "Ute"},
                        {"meier", "0302", "Bernd"},
                        {"\xC4rger", "0303", "Karl"},
                        {"Meier", "0304", "Anna"},
                        {"Abel", "0305", "Tom"},
                        {"M\xFCller", "0306", "Eva"},
                        {"Meierhof", "0307", ""},
                        {"Meier", "0304", "Anna"},
                        {"", "0309", "Ohne Namen"}});
    Open();
    QAbstractItemModelTester tester(view->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(Names(), (std::vector<std::string>{"|Ohne Namen", "Abel|Tom", "Ärger|Karl",
                                                 "Meier|Anna", "Meier|Anna", "meier|Bernd",
                                                 "Meierhof|", "Müller|Eva", "Zander|Ute"}));
    // Equal visible fields: the record numbers decide, as text.
    EXPECT_EQ(cbtest::Lines(view)[3], "Meier\tAnna\t\t\t\t0304\t3");
    EXPECT_EQ(cbtest::Lines(view)[4], "Meier\tAnna\t\t\t\t0304\t7");
    EXPECT_EQ(cbtest::Cells(view, 7),
              (std::vector<std::string>{"Müller", "Eva", "", "", "", "0306"}));
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(TeilnehmerTest, DeleteKeyThenShowDeletedAndAktivieren) {
    cbtest::CreatePhoneBook();
    cbtest::AddEntries({{"Abel", "0305", "Tom"}, {"Berg", "0306", "Eva"}, {"Cramer", "0307", ""}});
    Open();
    Click(RowOf("Berg"));
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Abel|Tom", "Cramer|"}));
    EXPECT_EQ(cbtest::RecordState("Adressen.dbf", 1), 0);

    ToggleShowDeleted();
    EXPECT_TRUE(Button("BtnUndelete")->isEnabled());
    // Deleted entries carry the marker the history uses, in their place by name.
    EXPECT_EQ(cbtest::Lines(view)[1], "Berg   *\tEva\t\t\t\t0306\t1");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Abel|Tom", "Berg   *|Eva", "Cramer|"}));
    Click(1);
    QTest::mouseClick(Button("BtnUndelete"), Qt::LeftButton);
    EXPECT_EQ(cbtest::RecordState("Adressen.dbf", 1), 1);
    ToggleShowDeleted();
    EXPECT_EQ(view->model()->rowCount(), 3);

    // The button deletes too; without a selection nothing happens.
    Click(1, Qt::ControlModifier);
    ASSERT_FALSE(view->selectionModel()->hasSelection());
    QTest::mouseClick(Button("BtnLoeschen"), Qt::LeftButton);
    EXPECT_EQ(view->model()->rowCount(), 3);
    Click(0);
    QTest::mouseClick(Button("BtnLoeschen"), Qt::LeftButton);
    EXPECT_EQ(cbtest::RecordState("Adressen.dbf", 0), 0);
    EXPECT_EQ(view->model()->rowCount(), 2);
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(TeilnehmerTest, EditingADeletedEntryWithOkMakesItActive) {
    cbtest::CreatePhoneBook();
    cbtest::AddEntries({{"Abel", "0305", "Tom"},
                        {"Berg", "0306", "Eva", "Ringstr. 4", "20095", "Hamburg", "Info",
                         "eva@berg.de", "0401", "Paul", true}});
    Open();
    ToggleShowDeleted();
    const std::string before = cbtest::ReadWholeFile("Adressen.dbf");

    // Abbruch first: it stays deleted and the file is untouched.
    Click(RowOf("Berg   *"));
    cbtest::ModalAction modal1([](QWidget* w) {
        cbtest::Type(w->findChild<QLineEdit*>("Ort"), QStringLiteral("xx"));
        QTest::keyClick(w, Qt::Key_Escape);
    });
    QTest::mouseClick(Button("BtnEdit"), Qt::LeftButton);
    EXPECT_EQ(cbtest::ReadWholeFile("Adressen.dbf"), before);
    EXPECT_EQ(cbtest::RecordState("Adressen.dbf", 1), 0);

    Click(RowOf("Berg   *"));
    std::string ort, title;
    cbtest::ModalAction modal2([&](QWidget* w) {
        title = w->windowTitle().toStdString();
        auto* edit = w->findChild<QLineEdit*>("Ort");
        ort = edit->text().toStdString();
        edit->selectAll();
        cbtest::Type(edit, QString::fromUtf8("Lübeck"));
        QTest::mouseClick(w->findChild<QPushButton*>("BtnOK"), Qt::LeftButton);
    });
    QTest::mouseClick(Button("BtnEdit"), Qt::LeftButton);
    EXPECT_EQ(title, "Telefonbucheintrag erfassen");
    EXPECT_EQ(ort, "Hamburg");
    EXPECT_EQ(cbtest::RecordState("Adressen.dbf", 1), 1);
    EXPECT_EQ(cbtest::Field("Adressen.dbf", 1, "ORT"), "L\xFC"
                                                       "beck");
    EXPECT_EQ(cbtest::Field("Adressen.dbf", 1, "EMAIL"), "eva@berg.de");
    EXPECT_EQ(cbtest::Field("Adressen.dbf", 1, "APARTNER"), "Paul");
    EXPECT_EQ(cbtest::RecordCount("Adressen.dbf"), 2u);
    ToggleShowDeleted();
    EXPECT_EQ(Names(), (std::vector<std::string>{"Abel|Tom", "Berg|Eva"}));
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(TeilnehmerTest, NeuAndDoubleClick) {
    cbtest::CreatePhoneBook();
    cbtest::AddEntries({{"Berg", "0306", "Eva"}});
    Open();

    std::vector<std::string> shown;
    cbtest::ModalAction modal3([&](QWidget* w) {
        for (const char* name : {"Vorname", "Name", "Telefon", "Ort"})
            shown.push_back(w->findChild<QLineEdit*>(name)->text().toStdString());
        QTest::mouseClick(w->findChild<QPushButton*>("BtnAbbruch"), Qt::LeftButton);
    });
    QTest::mouseClick(Button("BtnNeu"), Qt::LeftButton);
    EXPECT_EQ(shown, (std::vector<std::string>{"", "", "", ""}));
    EXPECT_EQ(cbtest::RecordCount("Adressen.dbf"), 1u);

    cbtest::ModalAction modal4(
        [](QWidget* w) { QTest::keyClick(w->findChild<QLineEdit*>("Name"), Qt::Key_Return); });
    QTest::mouseClick(Button("BtnNeu"), Qt::LeftButton);
    ASSERT_EQ(cbtest::RecordCount("Adressen.dbf"), 2u);
    EXPECT_EQ(cbtest::RecordState("Adressen.dbf", 1), 1);
    EXPECT_EQ(cbtest::Field("Adressen.dbf", 1, "NAME"), "");
    EXPECT_EQ(cbtest::Lines(view)[0], "\t\t\t\t\t\t1");

    std::string name;
    cbtest::ModalAction modal5([&](QWidget* w) {
        name = w->findChild<QLineEdit*>("Name")->text().toStdString();
        QTest::keyClick(w, Qt::Key_Escape);
    });
    const QPoint berg = view->visualRect(view->model()->index(RowOf("Berg"), 1)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, berg);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, berg);
    EXPECT_EQ(name, "Berg");
}

TEST_F(TeilnehmerTest, EmptyOrMissingPhoneBook) {
    Open();
    EXPECT_EQ(boxes.texts(),
              std::vector<std::string>{"Teilnehmer Datenbank nicht gefunden/geöffnet"});
    EXPECT_EQ(view->model()->rowCount(), 0);
    dlg.reset();
    boxes.clear();

    cbtest::CreatePhoneBook();
    Open();
    EXPECT_EQ(view->model()->rowCount(), 0);
    QTest::keyClick(view, Qt::Key_Delete);
    QTest::mouseClick(Button("BtnEdit"), Qt::LeftButton);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(boxes.texts().empty());

    std::vector<int> topics;
    cb::SetHelpHook([&topics](int topic) { topics.push_back(topic); });
    QTest::keyClick(view, Qt::Key_F1);
    cb::SetHelpHook({});
    EXPECT_EQ(topics, std::vector<int>{106});
    dlg->resize(1000, 50);
    EXPECT_EQ(dlg->width(), 660);
    EXPECT_EQ(dlg->height(), 150);
}

// A phone book longer than the window: its scroll bar must leave "Telefon" visible.
TEST_F(TeilnehmerTest, ScrollBarLeavesTheLastColumnVisible) {
    cbtest::CreatePhoneBook();
    std::vector<Entry> entries;
    for (int i = 0; i < 60; ++i)
        entries.push_back({"Name" + std::to_string(i), "0301"});
    cbtest::AddEntries(entries);
    Open();
    ASSERT_TRUE(view->verticalScrollBar()->isVisible());
    EXPECT_EQ(dlg->width(), 660);
    EXPECT_GE(view->viewport()->width(), view->header()->length());
    EXPECT_EQ(view->header()->length(), 640);
}

} // namespace
