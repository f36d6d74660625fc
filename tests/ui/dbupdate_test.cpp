// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TableSupport.h"
#include "support/TestSupport.h"

#include "db/Conversion.h"
#include "ui/DBUpdate.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

using namespace tabletest;

namespace {

class DBUpdateTest : public ::testing::Test {
protected:
    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
};

TEST_F(DBUpdateTest, LooksAsItShould) {
    TDlgDBUpdate dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Datenbank update"));
    EXPECT_EQ(dlg.size(), QSize(413, 91));
    EXPECT_TRUE(dlg.windowFlags() & Qt::Tool);
    EXPECT_FALSE(dlg.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dlg.windowFlags() & Qt::WindowMinMaxButtonsHint);
    auto* label1 = dlg.findChild<QLabel*>(QStringLiteral("Label1"));
    auto* label2 = dlg.findChild<QLabel*>(QStringLiteral("Label2"));
    auto* bar1 = dlg.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
    auto* bar2 = dlg.findChild<QProgressBar*>(QStringLiteral("ProgressBar2"));
    ASSERT_TRUE(label1 && label2 && bar1 && bar2);
    EXPECT_EQ(label1->text(), QStringLiteral("Update von Adressen.dbf"));
    EXPECT_EQ(label2->text(), QStringLiteral("Update von Anrufe.dbf"));
    EXPECT_EQ(bar1->width(), 403);
    EXPECT_EQ(bar2->width(), 403);
    EXPECT_LT(label1->y(), bar1->y());
    EXPECT_LT(bar1->y(), label2->y());
    EXPECT_LT(label2->y(), bar2->y());
    EXPECT_EQ(dlg.Tag(), 0);
    // Nothing happens before the dialog is shown.
    QCoreApplication::processEvents();
    EXPECT_FALSE(std::filesystem::exists(kPhoneBookFile));
}

TEST_F(DBUpdateTest, ConvertsOnItsOwnAndClosesWithTag0) {
    RunPython(R"(
t = dbf.Table('Adressen.dbf', 'NAME C(20); TELEFON C(20); INFO C(250); VORNAME C(20); '
              'STRASSE C(30); PLZORT C(7); ORT C(20)', dbf_type='db3')
t.open(dbf.READ_WRITE)
for i in range(600):
    t.append(('N%d' % i, '0%d' % i, '', '', '', '', ''))
dbf.delete(t[599])
t.close()
)");
    ASSERT_TRUE(TablesNeedConversion());
    TDlgDBUpdate dlg;
    bool escapeIgnored = false;
    // Escape right after showing must not end the dialog before the work.
    QTimer::singleShot(0, &dlg, [&] {
        dlg.reject();
        escapeIgnored = dlg.isVisible();
    });
    dlg.exec();
    EXPECT_TRUE(escapeIgnored);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.Tag(), 0);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_FALSE(TablesNeedConversion());
    auto* bar1 = dlg.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
    auto* bar2 = dlg.findChild<QProgressBar*>(QStringLiteral("ProgressBar2"));
    EXPECT_EQ(bar1->maximum(), 600);
    EXPECT_EQ(bar1->value(), 600);
    EXPECT_EQ(bar2->value(), bar2->maximum()); // the call log was created empty
    int state = -1;
    EXPECT_EQ(Field(kPhoneBookFile, 599, "NAME", &state), "N599");
    EXPECT_EQ(state, 0);
}

TEST_F(DBUpdateTest, FailedConversionClosesWithTag1) {
    cbtest::WriteWholeFile(kPhoneBookFile, "not a table");
    TDlgDBUpdate dlg;
    dlg.exec();
    EXPECT_EQ(dlg.Tag(), 1);
    EXPECT_EQ(cbtest::ReadWholeFile(kPhoneBookFile), "not a table");
    EXPECT_FALSE(std::filesystem::exists(kCallLogFile));
}

} // namespace
