// SPDX-License-Identifier: GPL-3.0-or-later
// "Beim Anmelden starten" in the settings dialog writes and removes the user's autostart entry.
#include "ui/Parameter.h"

#include "parameter_support.h"
#include "platform/Autostart.h"
#include "platform/ExePath.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

class AutostartTest : public cbtest::SettingsFixture {
protected:
    void SetUp() override {
        SettingsFixture::SetUp();
        // Never the real user's autostart folder.
        setenv("XDG_CONFIG_HOME", dir.file("cfg").c_str(), 1);
        setenv("XDG_DATA_HOME", dir.file("share").c_str(), 1);
    }
    bool Checked() {
        TDlgParameter dialog(nullptr);
        return dialog.BeimAnmeldenStarten->isChecked();
    }
    void SetAndClose(bool on, bool ok) {
        TDlgParameter dialog(nullptr);
        dialog.BeimAnmeldenStarten->setChecked(on);
        QTest::mouseClick(ok ? dialog.BtnOk : dialog.BtnAbbruch, Qt::LeftButton);
    }
};

} // namespace

TEST_F(AutostartTest, CheckboxWritesAndRemovesTheEntryOnOkOnly) {
    const std::string entry = dir.file("cfg/autostart/callbeacon.desktop");
    {
        TDlgParameter dialog(nullptr);
        EXPECT_EQ(dialog.BeimAnmeldenStarten->text(), "Beim Anmelden starten");
        EXPECT_FALSE(dialog.BeimAnmeldenStarten->toolTip().isEmpty());
        EXPECT_FALSE(dialog.BeimAnmeldenStarten->isChecked());
    }
    SetAndClose(true, false);
    EXPECT_FALSE(fs::exists(entry)) << "Abbruch wrote the entry";

    SetAndClose(true, true);
    ASSERT_TRUE(fs::exists(entry));
    // Started at login from the home folder, it must still find the tables of this folder.
    EXPECT_NE(cbtest::ReadWholeFile(entry).find(
                  "Exec=" + cb::DesktopExecLine(cb::ExecutablePath(), fs::current_path().string())),
              std::string::npos)
        << cbtest::ReadWholeFile(entry);
    EXPECT_TRUE(Checked());

    // OK without a change keeps what the user may have edited in the entry.
    cbtest::WriteWholeFile(entry, cbtest::ReadWholeFile(entry) + "X-Eigenes=1\n");
    SetAndClose(true, true);
    EXPECT_NE(cbtest::ReadWholeFile(entry).find("X-Eigenes=1"), std::string::npos);

    SetAndClose(false, true);
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_FALSE(Checked());
}

TEST_F(AutostartTest, PerUserDataFolderIsNotNamedAndAFailureIsReported) {
    fs::create_directories(dir.file("share/callbeacon"));
    fs::current_path(dir.file("share/callbeacon"));
    SetAndClose(true, true);
    const std::string text = cbtest::ReadWholeFile(dir.file("cfg/autostart/callbeacon.desktop"));
    EXPECT_EQ(text.find("--daten"), std::string::npos) << text;
    SetAndClose(false, true);

    fs::remove_all(dir.file("cfg/autostart"));
    cbtest::WriteWholeFile(dir.file("cfg/autostart"), "a file where the folder belongs");
    cbtest::ErrorBoxCapture boxes;
    SetAndClose(true, true);
    ASSERT_EQ(boxes.texts().size(), 1u);
    EXPECT_EQ(boxes.texts()[0], "nach " + dir.file("cfg/autostart/callbeacon.desktop") +
                                    " kann nicht geschrieben werden");
}
