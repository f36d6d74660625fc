// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Einrichtung.h"

#include "capi/CapiConfig.h"
#include "platform/ErrorBox.h"
#include "platform/IniFile.h"
#include "platform/Trace.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTcpSocket>
#include <QTimer>
#include <QVBoxLayout>

#include <filesystem>
#include <utility>

namespace {

// Long enough for a router on a slow WLAN, short enough that nobody clicks twice.
constexpr int kTestTimeoutMs = 4000;

const char* KindName(TLineKind kind) {
    switch (kind) {
    case TLineKind::RouterCallMonitor:
        return kLineKindRouter;
    case TLineKind::None:
        return kLineKindNone;
    case TLineKind::Capi:
        break;
    }
    return kLineKindCapi;
}

QLabel* NewHint(const char* name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

void ApplyLineChoice(const TLineChoice& choice, TSettings& settings) {
    settings.sLeitungArt = KindName(choice.kind);
    if (choice.kind == TLineKind::RouterCallMonitor) {
        settings.sLeitungAdresse = choice.sAddress;
        settings.iLeitungPort = choice.iPort;
    }
    if (choice.kind == TLineKind::None) settings.bClient = true;
}

bool FirstStartNeedsAssistant(const std::string& settingsFile) {
    std::error_code ec;
    if (std::filesystem::exists(settingsFile, ec) || ec) return false;
    return !cb::CapiLineConfigured();
}

bool RunFirstStartAssistant() {
    LoadSettings();
    TDlgEinrichtung dialog;
    cb::Trace("dialog Einrichtung");
    if (dialog.exec() != QDialog::Accepted) {
        cb::Trace("einrichtung übersprungen");
        return false;
    }
    const TLineChoice choice = dialog.Choice();
    ApplyLineChoice(choice, g_settings);
    cb::Trace(std::string("einrichtung ") + g_settings.sLeitungArt +
              (choice.kind == TLineKind::RouterCallMonitor
                   ? " " + choice.sAddress + ":" + std::to_string(choice.iPort)
                   : std::string()));
    try {
        SaveSettings();
    } catch (const cb::IniWriteError& e) {
        cb::ShowErrorBox(e.what());
        return false;
    }
    return true;
}

TDlgEinrichtung::TDlgEinrichtung(const TLineChoice& preset, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DlgEinrichtung"));
    setWindowTitle(QStringLiteral("CallBeacon einrichten"));

    auto* frage = NewHint("Frage",
                          QStringLiteral("CallBeacon zeigt an, wer anruft. Wie ist Ihr Telefon "
                                         "angeschlossen?"),
                          this);
    ArtRouter = new QRadioButton(QStringLiteral("&Router mit Anrufmonitor (IP-Anschluss)"), this);
    ArtRouter->setObjectName(QStringLiteral("ArtRouter"));
    ArtCapi = new QRadioButton(QStringLiteral("&ISDN-Karte oder Router mit CAPI"), this);
    ArtCapi->setObjectName(QStringLiteral("ArtCapi"));
    ArtKeine = new QRadioButton(QStringLiteral("Nur &Netzwerk-Client"), this);
    ArtKeine->setObjectName(QStringLiteral("ArtKeine"));

    auto* adresseLabel = new QLabel(QStringLiteral("&Adresse"), this);
    RouterAdresse = new QLineEdit(this);
    RouterAdresse->setObjectName(QStringLiteral("RouterAdresse"));
    RouterAdresse->setMaxLength(255);
    RouterAdresse->setToolTip(
        QStringLiteral("Name oder IP-Adresse des Routers,\nz. B. fritz.box oder 192.168.178.1"));
    adresseLabel->setBuddy(RouterAdresse);
    auto* portLabel = new QLabel(QStringLiteral("&Port"), this);
    RouterPort = new QSpinBox(this);
    RouterPort->setObjectName(QStringLiteral("RouterPort"));
    RouterPort->setRange(1, 65535);
    portLabel->setBuddy(RouterPort);
    BtnPruefen = new QPushButton(QStringLiteral("Verbindung &prüfen"), this);
    BtnPruefen->setObjectName(QStringLiteral("BtnPruefen"));
    BtnPruefen->setAutoDefault(false);
    TestErgebnis = NewHint("TestErgebnis", QString(), this);
    RouterHinweis = NewHint(
        "RouterHinweis",
        QStringLiteral("Der Anrufmonitor des Routers ist ab Werk aus. Eingeschaltet wird er, "
                       "indem Sie an einem Telefon am Router #96*5* wählen (ausgeschaltet mit "
                       "#96*4*)."),
        this);
    CapiHinweis = NewHint(
        "CapiHinweis",
        QStringLiteral("Eine ISDN-Karte mit CAPI-Treiber braucht keine Einstellung. Für CAPI "
                       "über TCP eines Routers gehört in die Datei ~/.capi20rc die Zeile "
                       "\"REMOTE fritzbox ADRESSE 5031\"."),
        this);
    KeineHinweis = NewHint(
        "KeineHinweis",
        QStringLiteral("Dieser Arbeitsplatz überwacht keine Leitung. Er zeigt die Anrufe, die "
                       "ein CallBeacon mit \"Netzwerk Server\" im lokalen Netz meldet."),
        this);

    BtnUebernehmen = new QPushButton(QStringLiteral("Übernehmen"), this);
    BtnUebernehmen->setObjectName(QStringLiteral("BtnUebernehmen"));
    BtnUebernehmen->setDefault(true);
    BtnUeberspringen = new QPushButton(QStringLiteral("Überspringen"), this);
    BtnUeberspringen->setObjectName(QStringLiteral("BtnUeberspringen"));
    BtnUeberspringen->setAutoDefault(false);
    BtnUeberspringen->setToolTip(
        QStringLiteral("Nichts ändern. Der Assistent ist unter Parameter, Seite \"Leitung\", "
                       "wieder zu öffnen."));

    auto* router = new QGridLayout;
    router->setContentsMargins(24, 0, 0, 0);
    router->addWidget(adresseLabel, 0, 0);
    router->addWidget(RouterAdresse, 0, 1);
    router->addWidget(portLabel, 1, 0);
    router->addWidget(RouterPort, 1, 1, Qt::AlignLeft);
    router->addWidget(BtnPruefen, 2, 1, Qt::AlignLeft);
    router->addWidget(TestErgebnis, 3, 0, 1, 3);
    router->addWidget(RouterHinweis, 4, 0, 1, 3);
    router->setColumnStretch(2, 1);
    auto* capi = new QVBoxLayout;
    capi->setContentsMargins(24, 0, 0, 0);
    capi->addWidget(CapiHinweis);
    auto* keine = new QVBoxLayout;
    keine->setContentsMargins(24, 0, 0, 0);
    keine->addWidget(KeineHinweis);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BtnUebernehmen);
    buttons->addWidget(BtnUeberspringen);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frage);
    layout->addWidget(ArtRouter);
    layout->addLayout(router);
    layout->addWidget(ArtCapi);
    layout->addLayout(capi);
    layout->addWidget(ArtKeine);
    layout->addLayout(keine);
    layout->addStretch();
    layout->addLayout(buttons);
    setMinimumWidth(460);

    testTimeout = new QTimer(this);
    testTimeout->setSingleShot(true);
    connect(testTimeout, &QTimer::timeout, this, [this] {
        TestDone(false, QStringLiteral("Keine Antwort von %1 auf Port %2. Stimmt die Adresse?")
                            .arg(RouterAdresse->text().trimmed())
                            .arg(RouterPort->value()));
    });
    connect(ArtRouter, &QRadioButton::toggled, this, &TDlgEinrichtung::ArtClick);
    connect(ArtCapi, &QRadioButton::toggled, this, &TDlgEinrichtung::ArtClick);
    connect(ArtKeine, &QRadioButton::toggled, this, &TDlgEinrichtung::ArtClick);
    connect(BtnPruefen, &QPushButton::clicked, this, &TDlgEinrichtung::PruefeVerbindung);
    connect(RouterAdresse, &QLineEdit::textEdited, this, [this] {
        TestErgebnis->clear();
        TestErgebnis->hide();
    });
    connect(BtnUebernehmen, &QPushButton::clicked, this, &QDialog::accept);
    connect(BtnUeberspringen, &QPushButton::clicked, this, &QDialog::reject);

    RouterAdresse->setText(QString::fromStdString(preset.sAddress));
    RouterPort->setValue(preset.iPort >= 1 && preset.iPort <= 65535 ? preset.iPort : 1012);
    (preset.kind == TLineKind::Capi   ? ArtCapi
     : preset.kind == TLineKind::None ? ArtKeine
                                      : ArtRouter)
        ->setChecked(true);
    ArtClick();
}

TLineChoice TDlgEinrichtung::Choice() const {
    TLineChoice choice;
    choice.kind = ArtRouter->isChecked()  ? TLineKind::RouterCallMonitor
                  : ArtKeine->isChecked() ? TLineKind::None
                                          : TLineKind::Capi;
    choice.sAddress = RouterAdresse->text().trimmed().toStdString();
    if (choice.sAddress.empty()) choice.sAddress = "fritz.box";
    choice.iPort = RouterPort->value();
    return choice;
}

void TDlgEinrichtung::ArtClick() {
    const bool router = ArtRouter->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(RouterAdresse), static_cast<QWidget*>(RouterPort),
                       static_cast<QWidget*>(BtnPruefen)})
        w->setEnabled(router);
    RouterHinweis->setVisible(router);
    TestErgebnis->setVisible(router && !TestErgebnis->text().isEmpty());
    CapiHinweis->setVisible(ArtCapi->isChecked());
    KeineHinweis->setVisible(ArtKeine->isChecked());
}

void TDlgEinrichtung::PruefeVerbindung() {
    if (QTcpSocket* const previous = std::exchange(socket, nullptr)) {
        previous->abort();
        previous->deleteLater();
    }
    const QString address = RouterAdresse->text().trimmed().isEmpty()
                                ? QStringLiteral("fritz.box")
                                : RouterAdresse->text().trimmed();
    const quint16 port = static_cast<quint16>(RouterPort->value());
    TestErgebnis->setText(QStringLiteral("Verbinde mit %1, Port %2 …").arg(address).arg(port));
    TestErgebnis->show();
    BtnPruefen->setEnabled(false);
    socket = new QTcpSocket(this);
    QTcpSocket* const probe = socket;
    connect(probe, &QTcpSocket::connected, this, [this, probe, address] {
        if (probe != socket) return;
        TestDone(true, QStringLiteral("Der Anrufmonitor von %1 antwortet.").arg(address));
    });
    connect(probe, &QTcpSocket::errorOccurred, this,
            [this, probe, address, port](QAbstractSocket::SocketError error) {
                if (probe != socket) return;
                QString text;
                if (error == QAbstractSocket::HostNotFoundError)
                    text = QStringLiteral("%1 ist im Netz nicht bekannt. Tragen Sie den Namen "
                                          "oder die IP-Adresse des Routers ein.")
                               .arg(address);
                else if (error == QAbstractSocket::ConnectionRefusedError)
                    text = QStringLiteral("%1 ist erreichbar, aber Port %2 ist zu: der "
                                          "Anrufmonitor ist aus. Wählen Sie an einem Telefon am "
                                          "Router #96*5*, dann noch einmal prüfen.")
                               .arg(address)
                               .arg(port);
                else
                    text = QStringLiteral("Keine Verbindung zu %1, Port %2 (%3).")
                               .arg(address)
                               .arg(port)
                               .arg(probe->errorString());
                TestDone(false, text);
            });
    testTimeout->start(kTestTimeoutMs);
    probe->connectToHost(address, port);
}

void TDlgEinrichtung::TestDone(bool answered, const QString& text) {
    testTimeout->stop();
    // Forgotten before it is aborted: the abort may report an error of its own.
    if (QTcpSocket* const probe = std::exchange(socket, nullptr)) {
        probe->abort();
        probe->deleteLater();
    }
    TestErgebnis->setText(text);
    BtnPruefen->setEnabled(ArtRouter->isChecked());
    cb::Trace("verbindungstest " + text.toStdString());
    emit testFinished(answered);
}
