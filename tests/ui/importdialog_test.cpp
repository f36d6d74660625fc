// SPDX-License-Identifier: GPL-3.0-or-later
// Import and export in the phone-book dialog as a user does it: preview, confirm, result.
#include "ui/ImportDialog.h"
#include "ui/Teilnehmer.h"

#include "core/Settings.h"
#include "dialogs_support.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <optional>

namespace {

class ImportDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSettings();
        cbtest::CreatePhoneBook();
        cbtest::AddEntries({{.name = "Alt", .telefon = "0301111", .vorname = "Anna"}});
        cbtest::WriteWholeFile(
            "kontakte.vcf",
            "BEGIN:VCARD\nVERSION:3.0\nN:Alt;Anna\nTEL;TYPE=home:030 1111\nTEL;TYPE=cell:0171 2"
            "\nEND:VCARD\nBEGIN:VCARD\nVERSION:3.0\nN:Neu;Nora\nTEL;TYPE=work:089 3\n"
            "TEL;TYPE=fax:089 4\nEND:VCARD\n");
        dlg.emplace(nullptr);
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&*dlg));
    }
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (int row = 0; row < dlg->List()->model()->rowCount(); ++row)
            names.push_back(cbtest::Cells(dlg->List(), row)[0] + "|" +
                            cbtest::Cells(dlg->List(), row)[5]);
        return names;
    }

    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
    std::optional<TDlgTeilnehmer> dlg;
};

} // namespace

TEST_F(ImportDialogTest, PreviewThenConfirmAddsTheNewRowsAndShowsThem) {
    EXPECT_TRUE(dlg->findChild<QPushButton*>("BtnImportieren")->isVisible());
    QString preview, result;
    int previewRows = 0;
    cbtest::ModalAction act([&](QWidget* modal) {
        auto* import = qobject_cast<TDlgImport*>(modal);
        ASSERT_NE(import, nullptr);
        preview = import->SummaryText();
        previewRows = import->findChild<QTreeWidget*>("Vorschau")->topLevelItemCount();
        // Nothing is written before the user confirms.
        EXPECT_EQ(cbtest::RecordCount(kPhoneBookFile), 1u);
        QTest::mouseClick(import->findChild<QPushButton*>("BtnImportieren"), Qt::LeftButton);
        result = import->SummaryText();
        EXPECT_EQ(import->findChild<QProgressBar*>("Fortschritt")->value(), 2);
        QTest::mouseClick(import->findChild<QPushButton*>("BtnAbbrechen"), Qt::LeftButton);
    });
    dlg->ImportFile("kontakte.vcf");
    EXPECT_NE(preview.indexOf(QStringLiteral("Neue Eintr\u00e4ge: 3")), -1)
        << preview.toStdString();
    EXPECT_NE(preview.indexOf(QStringLiteral("Schon vorhanden (\u00fcbersprungen): 1")), -1);
    EXPECT_EQ(previewRows, 3);
    EXPECT_NE(result.indexOf(QStringLiteral("Neue Eintr\u00e4ge im Telefonbuch: 3")), -1)
        << result.toStdString();
    EXPECT_EQ(cbtest::RecordCount(kPhoneBookFile), 4u);
    EXPECT_EQ(Names(),
              (std::vector<std::string>{"Alt|0171 2", "Alt|0301111", "Neu|089 3", "Neu|089 4"}));
}

TEST_F(ImportDialogTest, CancelAtThePreviewAndUnreadableFilesLeaveThePhoneBookAlone) {
    const std::string before = cbtest::ReadWholeFile(kPhoneBookFile);
    {
        cbtest::ModalAction act([&](QWidget* modal) {
            QTest::mouseClick(modal->findChild<QPushButton*>("BtnAbbrechen"), Qt::LeftButton);
        });
        dlg->ImportFile("kontakte.vcf");
    }
    cbtest::WriteWholeFile("liste.csv", "A;B\n1;2\n");
    dlg->ImportFile("liste.csv");
    dlg->ImportFile("fehlt.vcf");
    EXPECT_EQ(cbtest::ReadWholeFile(kPhoneBookFile), before);
    ASSERT_EQ(boxes.texts().size(), 2u);
    EXPECT_NE(boxes.texts()[0].find("Kopfzeile"), std::string::npos);
    EXPECT_NE(boxes.texts()[1].find("fehlt.vcf"), std::string::npos);
}

TEST_F(ImportDialogTest, ExportWritesEveryEntryAsVCard) {
    ASSERT_TRUE(dlg->ExportFile("telefonbuch.vcf"));
    const std::string vcf = cbtest::ReadWholeFile("telefonbuch.vcf");
    EXPECT_NE(vcf.find("N:Alt;Anna;;;\r\n"), std::string::npos) << vcf;
    EXPECT_NE(vcf.find("TEL;TYPE=voice:0301111\r\n"), std::string::npos) << vcf;
    EXPECT_FALSE(dlg->ExportFile("kein/ordner/x.vcf"));
    EXPECT_EQ(boxes.texts().size(), 1u);
}
