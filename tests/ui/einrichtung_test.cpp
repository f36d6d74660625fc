// SPDX-License-Identifier: GPL-3.0-or-later
// The first-start assistant: its connection test against the simulated router's call monitor
// (answering, then gone), and each choice written through the real settings file, at the
// first start and from the settings dialog.
#include "ui/Einrichtung.h"
#include "ui/Parameter.h"

#include "parameter_support.h"
#include "support/Process.h"
#include "support/Station.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <memory>

namespace {

using cbtest::ReadWholeFile;

class Einrichtung : public cbtest::SettingsFixture {
protected:
    void SetUp() override {
        SettingsFixture::SetUp();
        // No libcapi20 settings of the developer's own.
        if (const char* home = std::getenv("HOME")) savedHome = home;
        setenv("HOME", dir.path().c_str(), 1);
    }
    void TearDown() override {
        setenv("HOME", savedHome.c_str(), 1);
        SettingsFixture::TearDown();
    }
    std::string Ini() const { return ReadWholeFile(dir.file("callbeacon.INI")); }
    std::string savedHome;
};

// Answers the next modal dialog the way a user would, once it is open.
void WhenAssistantOpens(const std::function<void(TDlgEinrichtung&)>& answer) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        auto* dialog = qobject_cast<TDlgEinrichtung*>(QApplication::activeModalWidget());
        if (!dialog) return;
        poll->deleteLater();
        poll->stop();
        answer(*dialog);
    });
    poll->start(20);
}

bool RunTest(TDlgEinrichtung& dialog) {
    QSignalSpy finished(&dialog, &TDlgEinrichtung::testFinished);
    dialog.findChild<QPushButton*>("BtnPruefen")->click();
    if (!finished.wait(8000)) return false;
    return finished.first().first().toBool();
}

} // namespace

TEST_F(Einrichtung, RouterTestAnswersWhileTheCallMonitorListensAndExplainsItOtherwise) {
    const int port = cbtest::FreePort();
    auto line = std::make_unique<cbtest::ChildProcess>(
        std::vector<std::string>{cbtest::BuildDir() + "/callbeacon-line", "--call-monitor",
                                 "--port", std::to_string(port)},
        std::vector<std::string>{}, dir.path().string());
    ASSERT_TRUE(line->WaitForLine("listening", 5000));

    TDlgEinrichtung dialog;
    EXPECT_TRUE(dialog.findChild<QRadioButton*>("ArtRouter")->isChecked());
    EXPECT_EQ(dialog.findChild<QLineEdit*>("RouterAdresse")->text(), "fritz.box");
    EXPECT_EQ(dialog.findChild<QSpinBox*>("RouterPort")->value(), 1012);
    dialog.findChild<QLineEdit*>("RouterAdresse")->setText("127.0.0.1");
    dialog.findChild<QSpinBox*>("RouterPort")->setValue(port);
    auto* result = dialog.findChild<QLabel*>("TestErgebnis");
    EXPECT_TRUE(RunTest(dialog));
    EXPECT_TRUE(result->text().contains("antwortet")) << result->text().toStdString();
    EXPECT_TRUE(line->WaitForLine("connected", 5000));

    // The router is there, its call monitor is not: the hint says how to switch it on.
    line->StopWith(SIGTERM, 5000);
    EXPECT_FALSE(RunTest(dialog));
    EXPECT_TRUE(result->text().contains("#96*5*")) << result->text().toStdString();
    // The button is usable again for the next try.
    EXPECT_TRUE(dialog.findChild<QPushButton*>("BtnPruefen")->isEnabled());
}

TEST_F(Einrichtung, FirstStartWritesTheRouterLineTheClientOrNothing) {
    ASSERT_TRUE(FirstStartNeedsAssistant(dir.file("callbeacon.INI")));
    WhenAssistantOpens([](TDlgEinrichtung& dialog) {
        dialog.findChild<QLineEdit*>("RouterAdresse")->setText(" 192.168.178.1 ");
        dialog.findChild<QSpinBox*>("RouterPort")->setValue(1013);
        dialog.findChild<QPushButton*>("BtnUebernehmen")->click();
    });
    EXPECT_TRUE(RunFirstStartAssistant());
    std::string ini = Ini();
    EXPECT_NE(ini.find("Art=Anrufmonitor"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Adresse=192.168.178.1"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Port=1013"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Client=0"), std::string::npos) << ini;
    // From now on the settings file exists: no second asking.
    EXPECT_FALSE(FirstStartNeedsAssistant(dir.file("callbeacon.INI")));

    std::filesystem::remove(dir.file("callbeacon.INI"));
    ResetSettings();
    WhenAssistantOpens([](TDlgEinrichtung& dialog) {
        dialog.findChild<QRadioButton*>("ArtKeine")->setChecked(true);
        EXPECT_FALSE(dialog.findChild<QPushButton*>("BtnPruefen")->isEnabled());
        dialog.findChild<QPushButton*>("BtnUebernehmen")->click();
    });
    EXPECT_TRUE(RunFirstStartAssistant());
    ini = Ini();
    EXPECT_NE(ini.find("Art=Keine"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Client=1"), std::string::npos) << ini;
    ResetSettings();
    LoadSettings();
    EXPECT_EQ(LineKind(), TLineKind::None);
    EXPECT_FALSE(UseRouterCallMonitor());

    std::filesystem::remove(dir.file("callbeacon.INI"));
    ResetSettings();
    WhenAssistantOpens([](TDlgEinrichtung& dialog) {
        dialog.findChild<QRadioButton*>("ArtCapi")->setChecked(true);
        dialog.findChild<QPushButton*>("BtnUeberspringen")->click();
    });
    EXPECT_FALSE(RunFirstStartAssistant());
    EXPECT_FALSE(std::filesystem::exists(dir.file("callbeacon.INI")));
}

TEST_F(Einrichtung, ACapiLineMeansNoAssistant) {
    cbtest::WriteWholeFile(dir.file(".capi20rc"), "TRACELEVEL 0\n");
    EXPECT_TRUE(FirstStartNeedsAssistant(dir.file("callbeacon.INI")));
    cbtest::WriteWholeFile(dir.file(".capi20rc"), "REMOTE fritzbox 192.168.178.1 5031\n");
    EXPECT_FALSE(FirstStartNeedsAssistant(dir.file("callbeacon.INI")));
}

TEST_F(Einrichtung, SettingsDialogReopensItAndKeepsNoLineOnOk) {
    TDlgParameter dlg(nullptr);
    EXPECT_TRUE(dlg.LeitungCapi->isChecked());
    WhenAssistantOpens([](TDlgEinrichtung& dialog) {
        // It starts from what the page shows.
        EXPECT_TRUE(dialog.findChild<QRadioButton*>("ArtCapi")->isChecked());
        dialog.findChild<QRadioButton*>("ArtKeine")->setChecked(true);
        dialog.findChild<QPushButton*>("BtnUebernehmen")->click();
    });
    dlg.BtnAssistent->click();
    EXPECT_TRUE(dlg.LeitungKeine->isChecked());
    EXPECT_TRUE(dlg.NetzwerkClient->isChecked());
    EXPECT_EQ(sLeitungArt, "CAPI"); // only OK takes it over
    dlg.BtnOkClick();
    EXPECT_EQ(sLeitungArt, "Keine");
    EXPECT_TRUE(bClient);
    TDlgParameter again(nullptr);
    EXPECT_TRUE(again.LeitungKeine->isChecked());
    EXPECT_FALSE(again.LeitungAdresse->isEnabled());

    WhenAssistantOpens([](TDlgEinrichtung& dialog) {
        EXPECT_TRUE(dialog.findChild<QRadioButton*>("ArtKeine")->isChecked());
        dialog.findChild<QRadioButton*>("ArtRouter")->setChecked(true);
        dialog.findChild<QLineEdit*>("RouterAdresse")->setText("10.0.0.1");
        dialog.findChild<QPushButton*>("BtnUebernehmen")->click();
    });
    again.BtnAssistent->click();
    EXPECT_TRUE(again.LeitungAnrufmonitor->isChecked());
    EXPECT_EQ(again.LeitungAdresse->text(), "10.0.0.1");
    again.BtnAbbruchClick();
    EXPECT_EQ(sLeitungArt, "Keine");
}
