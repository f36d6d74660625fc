// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ActionsPage.h"

#include "core/Settings.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

std::function<QString()>& StatusSource() {
    static std::function<QString()> source;
    return source;
}

QLineEdit* NewEdit(const char* name, QWidget* parent, const QString& tip) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(1024);
    edit->setToolTip(tip);
    return edit;
}

} // namespace

void TActionsPage::SetStatusSource(std::function<QString()> source) {
    StatusSource() = std::move(source);
}

TActionsPage::TActionsPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Aktionen"));
    // Many fields on a page of the dialog's size: they scroll.
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* inner = new QWidget;
    auto* form = new QFormLayout(inner);
    form->setContentsMargins(8, 6, 8, 6);

    MqttHost = NewEdit("MqttHost", inner,
                       QStringLiteral("Name oder Adresse des MQTT-Brokers;\nleer: MQTT ist aus."));
    MqttPort = new QSpinBox(inner);
    MqttPort->setObjectName(QStringLiteral("MqttPort"));
    MqttPort->setRange(0, 65535);
    MqttPort->setSpecialValueText(QStringLiteral("Standard (1883, mit TLS 8883)"));
    MqttTls = new QCheckBox(QStringLiteral("TLS (verschlüsselt)"), inner);
    MqttTls->setObjectName(QStringLiteral("MqttTls"));
    MqttCa =
        NewEdit("MqttCa", inner,
                QStringLiteral("Datei der Zertifizierungsstelle (PEM);\nleer: die des Systems."));
    MqttBenutzer = NewEdit("MqttBenutzer", inner, QStringLiteral("leer: ohne Anmeldung"));
    MqttKennwort = NewEdit("MqttKennwort", inner,
                           QStringLiteral("Liegt im Schlüsselbund, wenn einer da ist;\nsonst in "
                                          "der Einstellungsdatei (nur für Sie lesbar)."));
    MqttKennwort->setEchoMode(QLineEdit::Password);
    MqttPraefix = NewEdit("MqttPraefix", inner, QStringLiteral("erste Ebene der Themen"));
    MqttStation = NewEdit("MqttStation", inner,
                          QStringLiteral("zweite Ebene der Themen;\nleer: der Name des Rechners"));
    MqttHomeAssistant = new QCheckBox(QStringLiteral("Home Assistant (Discovery)"), inner);
    MqttHomeAssistant->setObjectName(QStringLiteral("MqttHomeAssistant"));
    AnkuendigungUeberMqtt = new QCheckBox(QStringLiteral("Netzwerk-Anrufe über den Broker"), inner);
    AnkuendigungUeberMqtt->setObjectName(QStringLiteral("AnkuendigungUeberMqtt"));
    AnkuendigungUeberMqtt->setToolTip(
        QStringLiteral("Server und Clients tauschen die Anrufe über den MQTT-Broker\n"
                       "statt per Broadcast aus, auch über Router hinweg."));
    Webhook =
        NewEdit("Webhook", inner,
                QStringLiteral("http(s)-Adresse, an die jedes Ereignis als JSON geht;\nleer: aus"));
    Befehl =
        NewEdit("Befehl", inner,
                QStringLiteral("Programm mit Argumenten für jedes Ereignis, ohne Shell;\n"
                               "die Anrufdaten stehen in CALLBEACON_EVENT, CALLBEACON_CALLING,\n"
                               "CALLBEACON_NAME usw.; leer: aus"));
    MqttZustand = new QLabel(inner);
    MqttZustand->setObjectName(QStringLiteral("MqttZustand"));
    MqttZustand->setWordWrap(true);

    form->addRow(QStringLiteral("MQTT-Broker"), MqttHost);
    form->addRow(QStringLiteral("Port"), MqttPort);
    form->addRow(QString(), MqttTls);
    form->addRow(QStringLiteral("CA-Datei"), MqttCa);
    form->addRow(QStringLiteral("Benutzer"), MqttBenutzer);
    form->addRow(QStringLiteral("Kennwort"), MqttKennwort);
    form->addRow(QStringLiteral("Präfix"), MqttPraefix);
    form->addRow(QStringLiteral("Station"), MqttStation);
    form->addRow(QString(), MqttHomeAssistant);
    form->addRow(QString(), AnkuendigungUeberMqtt);
    form->addRow(QStringLiteral("Zustand"), MqttZustand);
    form->addRow(QStringLiteral("Webhook"), Webhook);
    form->addRow(QStringLiteral("Befehl"), Befehl);
    scroll->setWidget(inner);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
}

void TActionsPage::Load() {
    MqttHost->setText(QString::fromStdString(sMqttHost));
    MqttPort->setValue(iMqttPort >= 0 && iMqttPort <= 65535 ? iMqttPort : 0);
    MqttTls->setChecked(bMqttTls);
    MqttCa->setText(QString::fromStdString(sMqttCa));
    MqttBenutzer->setText(QString::fromStdString(sMqttBenutzer));
    MqttKennwort->setText(QString::fromStdString(sMqttKennwort));
    MqttPraefix->setText(QString::fromStdString(sMqttPraefix));
    MqttStation->setText(QString::fromStdString(sMqttStation));
    MqttHomeAssistant->setChecked(bMqttHomeAssistant);
    AnkuendigungUeberMqtt->setChecked(
        QString::fromStdString(sNetzwerkWeg).compare(QLatin1String("MQTT"), Qt::CaseInsensitive) ==
        0);
    Webhook->setText(QString::fromStdString(sWebhook));
    Befehl->setText(QString::fromStdString(sBefehl));
    MqttZustand->setText(StatusSource() ? StatusSource()() : QStringLiteral("MQTT aus"));
}

void TActionsPage::Store() {
    sMqttHost = MqttHost->text().trimmed().toStdString();
    iMqttPort = MqttPort->value();
    bMqttTls = MqttTls->isChecked();
    sMqttCa = MqttCa->text().trimmed().toStdString();
    sMqttBenutzer = MqttBenutzer->text().toStdString();
    sMqttKennwort = MqttKennwort->text().toStdString();
    const QString praefix = MqttPraefix->text().trimmed();
    sMqttPraefix = praefix.isEmpty() ? "callbeacon" : praefix.toStdString();
    sMqttStation = MqttStation->text().trimmed().toStdString();
    bMqttHomeAssistant = MqttHomeAssistant->isChecked();
    sNetzwerkWeg = AnkuendigungUeberMqtt->isChecked() ? "MQTT" : "Broadcast";
    sWebhook = Webhook->text().trimmed().toStdString();
    sBefehl = Befehl->text().trimmed().toStdString();
}
