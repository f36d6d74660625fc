// SPDX-License-Identifier: GPL-3.0-or-later
// The settings dialog's page "Leitung": the kind of line with the router's address and port.
#include "ui/Parameter.h"

#include "parameter_support.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

namespace {

class ParameterLine : public cbtest::SettingsFixture {};

TEST_F(ParameterLine, ShowsTheSettingsAndOkTakesThemOver) {
    TDlgParameter dlg(nullptr);
    EXPECT_EQ(dlg.TabControl->tabText(dlg.TabControl->indexOf(dlg.LeitungCapi->parentWidget())),
              "Leitung");
    EXPECT_TRUE(dlg.LeitungCapi->isChecked());
    EXPECT_EQ(dlg.LeitungAdresse->text(), "fritz.box");
    EXPECT_EQ(dlg.LeitungPort->value(), 1012);
    // The router's fields belong to the call monitor only.
    EXPECT_FALSE(dlg.LeitungAdresse->isEnabled());
    EXPECT_FALSE(dlg.LeitungPort->isEnabled());
    EXPECT_NE(dlg.LeitungAnrufmonitor->toolTip().indexOf("#96*5*"), -1);
    EXPECT_FALSE(dlg.LeitungAdresse->toolTip().isEmpty());
    EXPECT_FALSE(dlg.LeitungPort->toolTip().isEmpty());

    dlg.LeitungAnrufmonitor->setChecked(true);
    EXPECT_TRUE(dlg.LeitungAdresse->isEnabled());
    EXPECT_TRUE(dlg.LeitungPort->isEnabled());
    dlg.LeitungAdresse->setText("  192.168.178.1 ");
    dlg.LeitungPort->setValue(70000); // kept in range by the control
    dlg.BtnOkClick();
    EXPECT_TRUE(UseRouterCallMonitor());
    EXPECT_EQ(sLeitungArt, "Anrufmonitor");
    EXPECT_EQ(sLeitungAdresse, "192.168.178.1");
    EXPECT_EQ(iLeitungPort, 65535);
}

TEST_F(ParameterLine, CancelKeepsTheLineAndABadPortShowsTheUsualOne) {
    sLeitungArt = "anrufmonitor";
    iLeitungPort = 0;
    TDlgParameter dlg(nullptr);
    EXPECT_TRUE(dlg.LeitungAnrufmonitor->isChecked());
    EXPECT_TRUE(dlg.LeitungAdresse->isEnabled());
    EXPECT_EQ(dlg.LeitungPort->value(), 1012);
    dlg.LeitungCapi->setChecked(true);
    dlg.BtnAbbruchClick();
    EXPECT_EQ(sLeitungArt, "anrufmonitor");
    EXPECT_EQ(iLeitungPort, 0);
}

} // namespace
