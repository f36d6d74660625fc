// SPDX-License-Identifier: GPL-3.0-or-later
// The settings dialog's page "Aktionen": the broker, the way of the announcements, webhook and
// command shown from the settings, taken over on OK, untouched on cancel.
#include "ui/ActionsPage.h"
#include "ui/Parameter.h"

#include "parameter_support.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>

namespace {

class ParameterActions : public cbtest::SettingsFixture {};

TEST_F(ParameterActions, ShowsTheSettingsOkTakesThemOverAndAnnouncesThem) {
    sMqttHost = "broker.lan";
    sNetzwerkWeg = "mqtt";
    sBefehl = "/bin/true";
    TActionsPage::SetStatusSource([] { return QStringLiteral("broker.lan:1883 verbunden"); });
    int announced = 0;
    const int watch = WatchSettings([&] { ++announced; });
    {
        TDlgParameter dlg(nullptr);
        TActionsPage* page = dlg.Aktionen;
        EXPECT_EQ(dlg.TabControl->tabText(dlg.TabControl->indexOf(page)), "Aktionen");
        EXPECT_EQ(page->MqttHost->text(), "broker.lan");
        EXPECT_EQ(page->MqttPort->value(), 0); // the standard port
        EXPECT_EQ(page->MqttPraefix->text(), "callbeacon");
        EXPECT_TRUE(page->AnkuendigungUeberMqtt->isChecked());
        EXPECT_EQ(page->MqttKennwort->echoMode(), QLineEdit::Password);
        EXPECT_EQ(page->MqttZustand->text(), "broker.lan:1883 verbunden");
        EXPECT_EQ(page->Befehl->text(), "/bin/true");

        page->MqttHost->setText(" 10.0.0.2 ");
        page->MqttPort->setValue(8883);
        page->MqttTls->setChecked(true);
        page->MqttKennwort->setText("geheim");
        page->MqttPraefix->setText("");
        page->MqttHomeAssistant->setChecked(true);
        page->AnkuendigungUeberMqtt->setChecked(false);
        page->Webhook->setText("http://127.0.0.1:8080/anruf");
        dlg.BtnOkClick();
    }
    UnwatchSettings(watch);
    TActionsPage::SetStatusSource({});
    EXPECT_EQ(announced, 1);
    EXPECT_EQ(sMqttHost, "10.0.0.2");
    EXPECT_EQ(iMqttPort, 8883);
    EXPECT_TRUE(bMqttTls);
    EXPECT_EQ(sMqttKennwort, "geheim");
    EXPECT_EQ(sMqttPraefix, "callbeacon"); // an empty prefix would put topics at the root
    EXPECT_TRUE(bMqttHomeAssistant);
    EXPECT_EQ(sNetzwerkWeg, "Broadcast");
    EXPECT_EQ(sWebhook, "http://127.0.0.1:8080/anruf");

    TDlgParameter dlg(nullptr);
    dlg.Aktionen->MqttHost->setText("anderer");
    dlg.BtnAbbruchClick();
    EXPECT_EQ(sMqttHost, "10.0.0.2");
}

} // namespace
