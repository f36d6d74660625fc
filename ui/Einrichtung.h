// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/Settings.h"

#include <QDialog>
#include <QString>

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTcpSocket;
class QTimer;

// How the telephone is connected, as the assistant asks it.
struct TLineChoice {
    TLineKind kind = TLineKind::RouterCallMonitor;
    std::string sAddress = "fritz.box"; // the router, for its call monitor
    int iPort = 1012;
};

// Writes the choice into the settings: [Leitung] Art (and Adresse, Port for the router);
// "no line" also turns on [Netzwerk] Client, the only way calls can then arrive.
void ApplyLineChoice(const TLineChoice& choice, TSettings& settings);

// The first start asks only where nothing is set up yet: no settings file and no CAPI line
// (device or remote line in libcapi20's settings) on this workstation.
bool FirstStartNeedsAssistant(const std::string& settingsFile);

// At the first start: asks, and on "Übernehmen" writes the choice to the settings file.
// "Überspringen" writes nothing. True when a choice was written.
bool RunFirstStartAssistant();

// The assistant "CallBeacon einrichten": three ways a telephone reaches this workstation; for
// the router a connection test to its call monitor that does not block the dialog.
class TDlgEinrichtung : public QDialog {
    Q_OBJECT
public:
    explicit TDlgEinrichtung(const TLineChoice& preset = {}, QWidget* parent = nullptr);
    TLineChoice Choice() const;

    // Starts the test connection to the router's call monitor; its outcome shows in
    // TestErgebnis (and is announced through testFinished).
    void PruefeVerbindung();

signals:
    void testFinished(bool answered);

private:
    void ArtClick();
    void TestDone(bool answered, const QString& text);

    QRadioButton* ArtRouter;
    QRadioButton* ArtCapi;
    QRadioButton* ArtKeine;
    QLineEdit* RouterAdresse;
    QSpinBox* RouterPort;
    QPushButton* BtnPruefen;
    QLabel* TestErgebnis;
    QLabel* RouterHinweis;
    QLabel* CapiHinweis;
    QLabel* KeineHinweis;
    QPushButton* BtnUebernehmen;
    QPushButton* BtnUeberspringen;

    QTcpSocket* socket = nullptr;
    QTimer* testTimeout;
};
