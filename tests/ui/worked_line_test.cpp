// SPDX-License-Identifier: GPL-3.0-or-later
// Both list dialogs as a user works in them: what looks selected is selected, type-ahead finds
// names, and after every rebuild the line the user worked on stays selected and in view.
#include "core/Settings.h"
#include "ui/Anrufer.h"
#include "ui/ListLines.h"
#include "ui/Teilnehmer.h"

#include "dialogs_support.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>

namespace {

using cbtest::Call;
using cbtest::Entry;

template <class Dialog> class WorkedLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void Open() {
        dlg.emplace(nullptr);
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&*dlg));
        dlg->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&*dlg));
        view = dlg->List();
        view->setFocus(Qt::TabFocusReason);
    }
    QPoint CellPoint(int row, int column) {
        return view->visualRect(view->model()->index(row, column)).center();
    }
    void Click(int row, int column = 0, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, mods, CellPoint(row, column));
    }
    QPushButton* Button(const char* name) { return dlg->template findChild<QPushButton*>(name); }
    void ToggleShowDeleted() {
        QTest::mouseClick(dlg->template findChild<QCheckBox*>("ShowDeleted"), Qt::LeftButton,
                          Qt::NoModifier, QPoint(5, 8));
    }
    std::string Line(int row) { return cbtest::Lines(view)[size_t(row)]; }
    std::vector<int64_t> SelectedRecords() {
        std::vector<int64_t> recs;
        for (int row = 0; row < view->model()->rowCount(); ++row)
            if (view->selectionModel()->isRowSelected(row))
                recs.push_back(LastTabNumber(Line(row)));
        return recs;
    }
    int64_t CurrentRecord() {
        const QModelIndex current = view->currentIndex();
        return current.isValid() ? LastTabNumber(Line(current.row())) : -1;
    }
    int TopRow() { return view->indexAt(QPoint(1, 1)).row(); }
    bool InView(int row) {
        return view->viewport()->rect().contains(view->visualRect(view->model()->index(row, 0)));
    }
    int RowOfRecord(int64_t recNo) {
        for (int row = 0; row < view->model()->rowCount(); ++row)
            if (LastTabNumber(Line(row)) == recNo) return row;
        return -1;
    }
    // The editor on top: `fill` types into it, Return confirms; the record name it showed.
    std::string EditWith(QPushButton* button, const std::function<void(QWidget*)>& fill) {
        std::string name;
        cbtest::ModalAction modal([&](QWidget* w) {
            auto* nameEdit = w->findChild<QLineEdit*>("Name");
            name = nameEdit->text().toStdString();
            fill(w);
            QTest::keyClick(nameEdit, Qt::Key_Return);
        });
        QTest::mouseClick(button, Qt::LeftButton);
        return name;
    }

    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
    std::optional<Dialog> dlg;
    QTreeView* view = nullptr;
};

using HistoryLineTest = WorkedLineTest<TDlgAnrufer>;
using PhoneBookLineTest = WorkedLineTest<TDlgTeilnehmer>;

std::vector<Call> Calls(int n) {
    std::vector<Call> calls;
    char number[16];
    for (int i = 0; i < n; ++i) {
        std::snprintf(number, sizeof number, "0301%03d", i);
        calls.push_back({1709287200 + 60 * i, number, "040999", ""});
    }
    return calls;
}

std::vector<Entry> Entries(int n) {
    std::vector<Entry> entries;
    char name[16];
    for (int i = 0; i < n; ++i) {
        std::snprintf(name, sizeof name, "Name%02d", i);
        entries.push_back({name, "0302" + std::to_string(i)});
    }
    return entries;
}

void Retype(QWidget* editor, const char* field, const QString& text) {
    auto* edit = editor->findChild<QLineEdit*>(field);
    edit->selectAll();
    cbtest::Type(edit, text);
}

TEST_F(HistoryLineTest, TheNewestCallOpensSelectedAndAltEEditsIt) {
    cbtest::CreatePhoneBook();
    cbtest::AddEntries({{"M\xFCller", "0301234", "J\xFCrgen"}});
    cbtest::CreateCallLog();
    cbtest::AddCalls(
        {{1709287200, "0309999", "040999", ""}, {1709287260, "0301234", "040999", ""}});
    Open();
    EXPECT_EQ(SelectedRecords(), std::vector<int64_t>{1});
    EXPECT_EQ(CurrentRecord(), 1);

    std::string name;
    cbtest::ModalAction modal([&](QWidget* w) {
        name = w->findChild<QLineEdit*>("Name")->text().toStdString();
        QTest::keyClick(w, Qt::Key_Escape);
    });
    QTest::keyClick(view, Qt::Key_E, Qt::AltModifier);
    for (int i = 0; i < 40 && name.empty(); ++i)
        QTest::qWait(25); // the button clicks delayed
    EXPECT_EQ(name, "M\xC3\xBCller");
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(PhoneBookLineTest, TypeAheadFindsNamesWhereverTheUserClicked) {
    cbtest::CreatePhoneBook();
    cbtest::AddEntries({{"Abel", "0301", "", "", "", "Zwickau"},
                        {"Berg", "0302", "", "", "", "Aachen"},
                        {"Zander", "0303", "", "", "", "Berlin"}});
    Open();
    Click(0, 4); // "Zwickau" in the Ort column of Abel
    QTest::keyClick(view, Qt::Key_Z);
    EXPECT_EQ(SelectedRecords(), std::vector<int64_t>{2});

    QTest::qWait(QApplication::keyboardInputInterval() + 100);
    Click(2, 5); // the Telefon column of Zander
    QTest::keyClick(view, Qt::Key_B);
    EXPECT_EQ(SelectedRecords(), std::vector<int64_t>{1});
    EXPECT_EQ(CurrentRecord(), 1);
}

TEST_F(HistoryLineTest, DeleteEditShowAndRestoreKeepTheWorkedLineSelectedInItsPlace) {
    cbtest::CreatePhoneBook();
    cbtest::CreateCallLog();
    cbtest::AddCalls(Calls(60)); // row r shows record 59 - r
    Open();
    QTest::keyClick(view, Qt::Key_End);
    for (int i = 0; i < 25; ++i)
        QTest::keyClick(view, Qt::Key_Up);
    ASSERT_EQ(CurrentRecord(), 25);
    const int top = TopRow();
    ASSERT_GT(top, 0);

    // Deleted and hidden: the next line takes its place.
    QTest::keyClick(view, Qt::Key_Delete);
    ASSERT_EQ(cbtest::RecordState("Anrufe.dbf", 25), 0);
    EXPECT_EQ(SelectedRecords(), std::vector<int64_t>{24});
    EXPECT_EQ(CurrentRecord(), 24);
    EXPECT_EQ(TopRow(), top);
    EXPECT_TRUE(InView(view->currentIndex().row()));

    // An entry made from the call: the call stays selected where it was.
    EditWith(Button("BtnEdit"), [](QWidget* w) { Retype(w, "Name", QStringLiteral("Drei")); });
    ASSERT_EQ(cbtest::RecordCount("Adressen.dbf"), 1u);
    EXPECT_EQ(GetTabField(Line(view->currentIndex().row()), 2), "Drei");
    EXPECT_EQ(SelectedRecords(), std::vector<int64_t>{24});
    EXPECT_EQ(TopRow(), top);

    // Shown again and restored, the deleted call is the one selected.
    ToggleShowDeleted();
    EXPECT_EQ(SelectedRecords(), std::vector<int64_t>{24});
    EXPECT_EQ(TopRow(), RowOfRecord(24)); // it kept its place at the top of the view
    QTest::keyClick(view, Qt::Key_Up);
    ASSERT_EQ(SelectedRecords(), std::vector<int64_t>{25});
    QTest::mouseClick(Button("BtnUndelete"), Qt::LeftButton);
    EXPECT_EQ(cbtest::RecordState("Anrufe.dbf", 25), 1);
    EXPECT_EQ(SelectedRecords(), std::vector<int64_t>{25});
    EXPECT_TRUE(InView(RowOfRecord(25)));
    EXPECT_EQ(TopRow(), top);

    // Several lines deleted with the deleted ones shown: all of them stay selected.
    Click(RowOfRecord(23), 0, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(SelectedRecords(), (std::vector<int64_t>{25, 23}));
    EXPECT_EQ(GetTabField(Line(RowOfRecord(23)), 1), "10:23   *");
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(PhoneBookLineTest, EditNewDeleteAndRestoreKeepTheWorkedEntrySelectedAndMarked) {
    cbtest::CreatePhoneBook();
    cbtest::AddEntries(Entries(60)); // sorted as they are stored
    Open();
    QTest::keyClick(view, Qt::Key_End);
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(view, Qt::Key_Up);
    ASSERT_EQ(CurrentRecord(), 54);
    const int top = TopRow();
    ASSERT_GT(top, 0);

    EXPECT_EQ(
        EditWith(Button("BtnEdit"), [](QWidget* w) { Retype(w, "Ort", QStringLiteral("Kiel")); }),
        "Name54");
    EXPECT_EQ(cbtest::Field("Adressen.dbf", 54, "ORT"), "Kiel");
    EXPECT_EQ(SelectedRecords(), std::vector<int64_t>{54});
    EXPECT_EQ(TopRow(), top);

    // A new entry is selected where it sorts in.
    EditWith(Button("BtnNeu"), [](QWidget* w) { Retype(w, "Name", QStringLiteral("Name545")); });
    ASSERT_EQ(cbtest::RecordCount("Adressen.dbf"), 61u);
    EXPECT_EQ(SelectedRecords(), std::vector<int64_t>{60});
    EXPECT_EQ(RowOfRecord(60), 55);
    EXPECT_TRUE(InView(55));
    EXPECT_GT(TopRow(), 0);

    // Deleted and hidden: the next entry takes its place.
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(SelectedRecords(), std::vector<int64_t>{55});
    EXPECT_TRUE(InView(view->currentIndex().row()));

    // Shown with the marker among the others; restored it loses the marker and stays selected.
    ToggleShowDeleted();
    EXPECT_EQ(SelectedRecords(), std::vector<int64_t>{55});
    const int deleted = RowOfRecord(60);
    EXPECT_EQ(cbtest::Cells(view, deleted)[0], "Name545   *");
    EXPECT_EQ(cbtest::Cells(view, deleted - 1)[0], "Name54");
    Click(deleted);
    QTest::mouseClick(Button("BtnUndelete"), Qt::LeftButton);
    EXPECT_EQ(cbtest::RecordState("Adressen.dbf", 60), 1);
    EXPECT_EQ(SelectedRecords(), std::vector<int64_t>{60});
    EXPECT_EQ(cbtest::Cells(view, RowOfRecord(60))[0], "Name545");
    EXPECT_TRUE(InView(RowOfRecord(60)));
    EXPECT_TRUE(boxes.texts().empty());
}

} // namespace
