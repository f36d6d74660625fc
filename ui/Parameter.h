// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>

class CBase;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QPushButton;
class QSpinBox;
class QTabWidget;
class TActionsPage;

namespace cb {
class TFormPlacement;
}

// The settings dialog: shows the process-wide settings on four pages, takes them over on
// OK (in memory only; the file is written at shutdown), shows how much of the phone book
// and of the call log is taken by deleted records, and packs both tables on request.
// Created anew for each use and shown with exec(); the owner reconciles the network
// objects with Client and Server after it closes, whichever button closed it.
class TDlgParameter : public QDialog {
    Q_OBJECT
public:
    explicit TDlgParameter(QWidget* owner);

    // Deleted records of `table` against all its records, as a bar shows them. A table of
    // more records than a bar's int range is scaled down to parts per million; an empty or
    // unopened table gives an empty bar rather than Qt's busy indicator.
    static void FillUsageBar(QProgressBar* bar, CBase& table);

    void UpdateUsageBars();
    void BtnOkClick();
    void BtnAbbruchClick();
    void BtnReorgClick();
    void Cb_AlleNummernZeigenClick();
    void LeitungArtClick();
    // Opens the assistant of the first start; its choice fills this page (and "Netzwerk
    // Client"), to be kept with OK like every other change.
    void BtnAssistentClick();

    // The form's controls, named as the settings they show.
    QTabWidget* TabControl;
    // Page "Anrufer"
    QCheckBox* AnruferAnzeigen;
    QCheckBox* Blinkend;
    QLabel* Label1;
    QSpinBox* AnzeigeSekunden;
    QLabel* Label2;
    QLabel* LabelAnzeige;
    QComboBox* Anzeige; // [Anruf] Anzeige: pop-up window, notification or both
    QCheckBox* Anruferhistory;
    QCheckBox* Bekannte;
    QCheckBox* NetzwerkClient;
    QCheckBox* NetzwerkServer;
    QLabel* LabelKennwort;
    QLineEdit* NetzwerkKennwort;
    QLabel* KennwortAbgelehnt; // the last announcement the key refused, and why
    QLabel* LabelOrtsvorwahl;
    QLineEdit* Ortsvorwahl;
    // Page "Fenster"
    QCheckBox* FensterPositionen;
    QCheckBox* BeimAnmeldenStarten; // the autostart entry, not a setting of the file
    // Page "Datenbank"
    QLabel* Label6;
    QLabel* Label5;
    QLabel* Label3;
    QProgressBar* Adressen;
    QLabel* Label4;
    QProgressBar* Anrufe;
    QPushButton* BtnReorg;
    // Page "MSN"
    QCheckBox* Cb_AlleNummernZeigen;
    QCheckBox* ShowNr[10];
    QLineEdit* Nr[10];
    QLineEdit* NrName[10]; // [MSN] Name0..Name9
    // Page "Leitung": where the calls come from ([Leitung] Art, Adresse, Port)
    QRadioButton* LeitungCapi;
    QRadioButton* LeitungAnrufmonitor;
    QRadioButton* LeitungKeine; // no line: calls only from a network server
    QPushButton* BtnAssistent;
    QLineEdit* LeitungAdresse;
    QSpinBox* LeitungPort;
    // Page "Aktionen": MQTT, webhook, command
    TActionsPage* Aktionen;
    // Page "Adressbuch": an address book on a CardDAV server ([CardDAV])
    QLineEdit* CardDavAdresse;
    QLineEdit* CardDavBenutzer;
    QLineEdit* CardDavKennwort;
    QSpinBox* CardDavMinuten;
    QLineEdit* CardDavZertifikat;
    QPushButton* BtnAbgleichen;
    QLabel* CardDavStatus;
    void BtnAbgleichenClick();
    void TakeCardDavFields();
    void UpdateCardDavStatus();
    // The [CardDAV] settings before "Jetzt abgleichen" took the typed ones over; put back
    // when the dialog is cancelled.
    QStringList aCardDavBefore;
    // Below the pages
    QPushButton* BtnAbbruch;
    QPushButton* BtnOk;
    cb::TFormPlacement* FormPlacement;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildPages();
    void BuildLinePage();
    void BuildAddressBookPage();
    void FormCreate();
};
