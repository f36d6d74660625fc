// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// The settings page "Aktionen": the MQTT broker ([MQTT]), whether announcements go through it
// ([Netzwerk] Weg), the webhook and the command ([Aktionen]), and the broker connection's
// state as the program sees it now.
class TActionsPage : public QWidget {
    Q_OBJECT
public:
    explicit TActionsPage(QWidget* parent = nullptr);

    void Load();  // from the settings in memory
    void Store(); // into them (the dialog's OK)

    // Where the page asks for the connection's state; the main window names it.
    static void SetStatusSource(std::function<QString()> source);

    QLineEdit* MqttHost;
    QSpinBox* MqttPort;
    QCheckBox* MqttTls;
    QLineEdit* MqttCa;
    QLineEdit* MqttBenutzer;
    QLineEdit* MqttKennwort;
    QLineEdit* MqttPraefix;
    QLineEdit* MqttStation;
    QCheckBox* MqttHomeAssistant;
    QCheckBox* AnkuendigungUeberMqtt;
    QLineEdit* Webhook;
    QLineEdit* Befehl;
    QLabel* MqttZustand;
};
