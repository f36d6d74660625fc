// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Parameter.h"

#include "core/Settings.h"
#include "db/CBase.h"
#include "db/ServerAddressBook.h"
#include "db/TableText.h"
#include "net/AnnouncementKey.h"
#include "platform/Autostart.h"
#include "platform/ErrorBox.h"
#include "platform/ExePath.h"
#include "platform/FormPlacement.h"
#include "platform/HelpViewer.h"
#include "platform/UserPaths.h"
#include "ui/ActionsPage.h"
#include "ui/Einrichtung.h"
#include "ui/Placement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <climits>
#include <cstring>
#include <filesystem>

namespace {

QCheckBox* NewCheckBox(const char* name, const QString& caption, QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

QLabel* NewLabel(const char* name, const QString& caption, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

QProgressBar* NewUsageBar(const char* name, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setFixedSize(268, 16);
    // The share as a number too: a bar alone is hard to read at a few per cent.
    bar->setTextVisible(true);
    bar->setFormat(QStringLiteral("%p %"));
    bar->setRange(0, 1);
    bar->setValue(0);
    return bar;
}

// A login starts in the home folder: name the data folder unless it is the per-user default.
std::string DataFolderForAutostart() {
    std::error_code ec;
    const std::filesystem::path current = std::filesystem::current_path(ec);
    const std::filesystem::path standard = std::filesystem::path(cb::XdgDataHome()) / "callbeacon";
    if (ec || std::filesystem::equivalent(current, standard, ec)) return std::string();
    return current.string();
}

} // namespace

TDlgParameter::TDlgParameter(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("DlgParameter"));
    setWindowTitle(QStringLiteral("Parameter"));

    TabControl = new QTabWidget(this);
    TabControl->setObjectName(QStringLiteral("TabControl"));
    TabControl->setGeometry(8, 8, 409, 193);
    BuildPages();

    // The designed 424 x 250 fits the designed font; a wider desktop font grows the dialog
    // rather than cutting captions, with the buttons kept at the bottom right.
    const QSize pages = TabControl->minimumSizeHint().expandedTo(QSize(409, 193));
    TabControl->resize(pages);
    setFixedSize(pages.width() + 15, pages.height() + 57);
    BtnAbbruch = new QPushButton(QStringLiteral("&Abbruch"), this);
    BtnAbbruch->setObjectName(QStringLiteral("BtnAbbruch"));
    BtnAbbruch->setGeometry(width() - 162, height() - 34, 75, 25);
    BtnOk = new QPushButton(QStringLiteral("&OK"), this);
    BtnOk->setObjectName(QStringLiteral("BtnOk"));
    BtnOk->setGeometry(width() - 82, height() - 34, 75, 25);
    // Enter in a field is OK; on a focused button it presses that button (auto-default).
    BtnOk->setDefault(true);
    connect(BtnOk, &QPushButton::clicked, this, &TDlgParameter::BtnOkClick);
    connect(BtnAbbruch, &QPushButton::clicked, this, &TDlgParameter::BtnAbbruchClick);
    setTabOrder(TabControl, BtnAbbruch);
    setTabOrder(BtnAbbruch, BtnOk);

    CentreOnScreen(this);
    FormPlacement = PlaceDialog(this, QStringLiteral("WndParameter"), false);
    FormCreate();
    TabControl->setCurrentIndex(0);
}

void TDlgParameter::BuildPages() {
    // Page "Anrufer": display options on the left, logging and network on the right.
    auto* anrufer = new QWidget;
    anrufer->setObjectName(QStringLiteral("Anrufer"));
    AnruferAnzeigen = NewCheckBox("AnruferAnzeigen", QStringLiteral("Anrufer anzeigen"), anrufer);
    AnruferAnzeigen->setToolTip(QStringLiteral("Sollen Anrufer angezeigt werden?"));
    Blinkend = NewCheckBox("Blinkend", QStringLiteral("Blinkendes Symbol"), anrufer);
    Blinkend->setToolTip(
        QStringLiteral("Soll das Telefonsymbol blinken,\nwenn ein Anruf eingegangen ist?"));
    Label1 = NewLabel("Label1", QStringLiteral("Anzeige für"), anrufer);
    AnzeigeSekunden = new QSpinBox(anrufer);
    AnzeigeSekunden->setObjectName(QStringLiteral("AnzeigeSekunden"));
    AnzeigeSekunden->setRange(1, 99);
    AnzeigeSekunden->setValue(10);
    AnzeigeSekunden->setToolTip(QStringLiteral("Anzeigedauer für\nden Anruferdialog"));
    AnzeigeSekunden->setFixedWidth(48);
    Label1->setBuddy(AnzeigeSekunden);
    Label2 = NewLabel("Label2", QStringLiteral("Sekunden"), anrufer);
    LabelAnzeige = NewLabel("LabelAnzeige", QStringLiteral("Anzeige eines Anrufs:"), anrufer);
    Anzeige = new QComboBox(anrufer);
    Anzeige->setObjectName(QStringLiteral("Anzeige"));
    // In the order of CallDisplay.
    Anzeige->addItems(
        {QStringLiteral("Fenster"), QStringLiteral("Benachrichtigung"), QStringLiteral("beides")});
    Anzeige->setToolTip(
        QStringLiteral("Fenster: das Anruferfenster mit Karte.\n"
                       "Benachrichtigung: eine Mitteilung des Desktops, auch ohne\n"
                       "Symbolleiste; verpasste Anrufe bleiben stehen. Gibt es keinen\n"
                       "Benachrichtigungsdienst, erscheint das Fenster.\n"
                       "beides: Fenster und Benachrichtigung."));
    LabelAnzeige->setBuddy(Anzeige);
    auto* bevel1 = new QFrame(anrufer);
    bevel1->setObjectName(QStringLiteral("Bevel1"));
    bevel1->setFrameShape(QFrame::VLine);
    bevel1->setFrameShadow(QFrame::Sunken);
    Anruferhistory = NewCheckBox("Anruferhistory", QStringLiteral("Anruferhistory"), anrufer);
    Anruferhistory->setToolTip(QStringLiteral("Sollen die Anrufe\ngespeichert werden?"));
    Bekannte = NewCheckBox("Bekannte", QStringLiteral("Nur bekannte Teiln. Anzeigen"), anrufer);
    Bekannte->setToolTip(QStringLiteral("Sollen nur bekannte Anrufer\nangezeigt werden?"));
    NetzwerkClient = NewCheckBox("NetzwerkClient", QStringLiteral("Netzwerk Client"), anrufer);
    NetzwerkClient->setToolTip(QStringLiteral(
        "Dieser Arbeitsplatz ist ein Netzwerk\nClient. Er benötigt keine ISDN Karte."));
    NetzwerkServer = NewCheckBox("NetzwerkServer", QStringLiteral("Netzwerk Server"), anrufer);
    NetzwerkServer->setToolTip(QStringLiteral(
        "Dieser Arbeitsplatz ist ein Netzwerk\nServer. Er benötigt eine ISDN Karte."));
    LabelKennwort = NewLabel("LabelKennwort", QStringLiteral("Netzwerk Kennwort:"), anrufer);
    NetzwerkKennwort = new QLineEdit(anrufer);
    NetzwerkKennwort->setObjectName(QStringLiteral("NetzwerkKennwort"));
    NetzwerkKennwort->setEchoMode(QLineEdit::Password);
    NetzwerkKennwort->setMaxLength(128);
    NetzwerkKennwort->setToolTip(
        QStringLiteral("Gemeinsames Kennwort für Server und Clients.\n"
                       "Mit Kennwort zeigen Clients nur Anrufe, die ein Server\n"
                       "mit demselben Kennwort gemeldet hat; gefälschte und\n"
                       "wiederholte Meldungen werden verworfen. Die Meldungen\n"
                       "selbst werden nicht verschlüsselt. Leer: wie bisher."));
    LabelKennwort->setBuddy(NetzwerkKennwort);
    // A client that shows nothing must say why: the last announcement its key refused.
    KennwortAbgelehnt = new QLabel(anrufer);
    KennwortAbgelehnt->setObjectName(QStringLiteral("KennwortAbgelehnt"));
    KennwortAbgelehnt->setWordWrap(true);
    KennwortAbgelehnt->setMaximumWidth(260);
    KennwortAbgelehnt->setTextFormat(Qt::PlainText);
    const std::string rejected = LastAnnouncementRejection();
    KennwortAbgelehnt->setText(rejected.empty() ? QString()
                                                : QStringLiteral("Zuletzt abgelehnt um ") +
                                                      QString::fromStdString(rejected));
    KennwortAbgelehnt->setVisible(!rejected.empty());

    LabelOrtsvorwahl = NewLabel("LabelOrtsvorwahl", QStringLiteral("Eigene Ortsvorwahl:"), anrufer);
    Ortsvorwahl = new QLineEdit(anrufer);
    Ortsvorwahl->setObjectName(QStringLiteral("Ortsvorwahl"));
    Ortsvorwahl->setMaxLength(12);
    Ortsvorwahl->setFixedWidth(80);
    Ortsvorwahl->setPlaceholderText(QStringLiteral("z. B. 089"));
    Ortsvorwahl->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9+ ()/-]*")), Ortsvorwahl));
    Ortsvorwahl->setToolTip(
        QStringLiteral("Vorwahl des eigenen Ortes, z. B. 089.\n"
                       "Nummern ohne Vorwahl (im Telefonbuch oder vom Anrufer)\n"
                       "gelten dann als Nummern dieses Ortes, so dass \u201e555 1234\u201c\n"
                       "im Telefonbuch den Anrufer 089 5551234 benennt.\n"
                       "Leer: Nummern gelten so, wie sie geschrieben sind."));
    LabelOrtsvorwahl->setBuddy(Ortsvorwahl);

    auto* seconds = new QHBoxLayout;
    seconds->addWidget(Label1);
    seconds->addWidget(AnzeigeSekunden);
    seconds->addWidget(Label2);
    seconds->addStretch();
    auto* left = new QVBoxLayout;
    left->addWidget(AnruferAnzeigen);
    left->addWidget(Blinkend);
    left->addLayout(seconds);
    left->addWidget(LabelOrtsvorwahl);
    left->addWidget(Ortsvorwahl);
    left->addWidget(LabelAnzeige);
    left->addWidget(Anzeige);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(Anruferhistory);
    right->addWidget(Bekannte);
    right->addWidget(NetzwerkClient);
    right->addWidget(NetzwerkServer);
    right->addWidget(LabelKennwort);
    right->addWidget(NetzwerkKennwort);
    right->addWidget(KennwortAbgelehnt);
    right->addStretch();
    auto* columns = new QHBoxLayout(anrufer);
    columns->setContentsMargins(12, 12, 12, 8);
    columns->setSpacing(12);
    columns->addLayout(left);
    columns->addWidget(bevel1);
    columns->addLayout(right);
    columns->addStretch();
    setTabOrder(AnruferAnzeigen, Blinkend);
    setTabOrder(Blinkend, AnzeigeSekunden);
    setTabOrder(AnzeigeSekunden, Ortsvorwahl);
    setTabOrder(Ortsvorwahl, Anzeige);
    setTabOrder(Anzeige, Anruferhistory);
    setTabOrder(Anruferhistory, Bekannte);
    setTabOrder(Bekannte, NetzwerkClient);
    setTabOrder(NetzwerkClient, NetzwerkServer);
    setTabOrder(NetzwerkServer, NetzwerkKennwort);
    TabControl->addTab(anrufer, QStringLiteral("Anrufer"));

    // Page "Fenster"
    auto* fenster = new QWidget;
    fenster->setObjectName(QStringLiteral("Fenster"));
    FensterPositionen =
        NewCheckBox("FensterPositionen", QStringLiteral("Fensterpositionen speichern"), fenster);
    BeimAnmeldenStarten =
        NewCheckBox("BeimAnmeldenStarten", QStringLiteral("Beim Anmelden starten"), fenster);
    BeimAnmeldenStarten->setToolTip(
        QStringLiteral("Soll CallBeacon starten, wenn Sie\nsich am Desktop anmelden?"));
    auto* fensterLayout = new QVBoxLayout(fenster);
    fensterLayout->setContentsMargins(12, 12, 12, 8);
    fensterLayout->addWidget(FensterPositionen);
    fensterLayout->addWidget(BeimAnmeldenStarten);
    fensterLayout->addStretch();
    TabControl->addTab(fenster, QStringLiteral("Fenster"));

    // Page "Datenbank"
    auto* datenbank = new QWidget;
    datenbank->setObjectName(QStringLiteral("Datenbank"));
    // The two blanks after "dieser" are the form's own text.
    Label6 = NewLabel("Label6",
                      QStringLiteral("Wenn Sie einen Datensatz löschen, belegt dieser  weiterhin "
                                     "Speicher in der Datenbank. Über den Button Bereinigen kann "
                                     "dieser freigegeben werden."),
                      datenbank);
    Label6->setWordWrap(true);
    Label5 = NewLabel("Label5", QStringLiteral("Ungenutzter Speicher in %"), datenbank);
    Label3 = NewLabel("Label3", QStringLiteral("Adressen.dbf"), datenbank);
    Adressen = NewUsageBar("Adressen", datenbank);
    Adressen->setToolTip(
        QStringLiteral("Anteil gelöschter Datensätze in\nder Teilnehmerdatenbank"));
    Label4 = NewLabel("Label4", QStringLiteral("Anrufe.dbf"), datenbank);
    Anrufe = NewUsageBar("Anrufe", datenbank);
    Anrufe->setToolTip(QStringLiteral("Anteil gelöschter Datensätze in\nder Anruferdatenbank"));
    BtnReorg = new QPushButton(QStringLiteral("Bereinigen"), datenbank);
    BtnReorg->setObjectName(QStringLiteral("BtnReorg"));
    BtnReorg->setFixedSize(75, 25);
    connect(BtnReorg, &QPushButton::clicked, this, &TDlgParameter::BtnReorgClick);

    auto* bars = new QGridLayout;
    bars->setHorizontalSpacing(10);
    bars->addWidget(Label3, 0, 0);
    bars->addWidget(Adressen, 0, 1, Qt::AlignLeft);
    bars->addWidget(Label4, 1, 0);
    bars->addWidget(Anrufe, 1, 1, Qt::AlignLeft);
    bars->setColumnStretch(2, 1);
    auto* reorgRow = new QHBoxLayout;
    reorgRow->addStretch();
    reorgRow->addWidget(BtnReorg);
    auto* datenbankLayout = new QVBoxLayout(datenbank);
    datenbankLayout->setContentsMargins(12, 10, 12, 8);
    datenbankLayout->addWidget(Label6);
    datenbankLayout->addSpacing(4);
    datenbankLayout->addWidget(Label5);
    datenbankLayout->addLayout(bars);
    datenbankLayout->addStretch();
    datenbankLayout->addLayout(reorgRow);
    TabControl->addTab(datenbank, QStringLiteral("Datenbank"));

    // Page "MSN": rows 0 to 4 on the left, 5 to 9 on the right.
    auto* msn = new QWidget;
    msn->setObjectName(QStringLiteral("MSN"));
    Cb_AlleNummernZeigen =
        NewCheckBox("Cb_AlleNummernZeigen", QStringLiteral("Alle Nummern überwachen"), msn);
    connect(Cb_AlleNummernZeigen, &QCheckBox::toggled, this,
            &TDlgParameter::Cb_AlleNummernZeigenClick);
    auto* rows = new QGridLayout;
    rows->setHorizontalSpacing(4);
    rows->setVerticalSpacing(4);
    QWidget* previous = Cb_AlleNummernZeigen;
    for (int i = 0; i < 10; ++i) {
        ShowNr[i] = new QCheckBox(msn);
        ShowNr[i]->setObjectName(QStringLiteral("ShowNr%1").arg(i));
        Nr[i] = new QLineEdit(msn);
        Nr[i]->setObjectName(QStringLiteral("Nr%1").arg(i));
        Nr[i]->setFixedWidth(110);
        // The setting holds 24 characters; more would be cut without the user seeing it.
        Nr[i]->setMaxLength(24);
        NrName[i] = new QLineEdit(msn);
        NrName[i]->setObjectName(QStringLiteral("NrName%1").arg(i));
        NrName[i]->setFixedWidth(90);
        NrName[i]->setMaxLength(40);
        NrName[i]->setPlaceholderText(QStringLiteral("Name"));
        NrName[i]->setToolTip(QStringLiteral("Name dieser Nummer (z. B. Büro, Privat, Fax) für\n"
                                             "Anruferfenster, Benachrichtigung und Anrufliste,\n"
                                             "wenn kein Telefonbucheintrag die Nummer nennt."));
        const int column = i < 5 ? 0 : 4;
        rows->addWidget(ShowNr[i], i % 5, column);
        rows->addWidget(Nr[i], i % 5, column + 1);
        rows->addWidget(NrName[i], i % 5, column + 2);
        setTabOrder(previous, ShowNr[i]);
        setTabOrder(ShowNr[i], Nr[i]);
        setTabOrder(Nr[i], NrName[i]);
        previous = NrName[i];
    }
    rows->setColumnMinimumWidth(3, 16);
    rows->setColumnStretch(7, 1);
    auto* msnLayout = new QVBoxLayout(msn);
    msnLayout->setContentsMargins(12, 10, 12, 8);
    msnLayout->addWidget(Cb_AlleNummernZeigen);
    msnLayout->addSpacing(4);
    msnLayout->addLayout(rows);
    msnLayout->addStretch();
    TabControl->addTab(msn, QStringLiteral("MSN"));
    BuildLinePage();
}

// Page "Leitung": an ISDN line through CAPI, or the call monitor of a router.
void TDlgParameter::BuildLinePage() {
    auto* leitung = new QWidget;
    leitung->setObjectName(QStringLiteral("Leitung"));
    LeitungCapi = new QRadioButton(QStringLiteral("ISDN (CAPI)"), leitung);
    LeitungCapi->setObjectName(QStringLiteral("LeitungCapi"));
    LeitungCapi->setToolTip(
        QStringLiteral("Die Anrufe kommen über eine ISDN-Karte\noder einen CAPI-Treiber."));
    LeitungAnrufmonitor = new QRadioButton(QStringLiteral("Anrufmonitor des Routers"), leitung);
    LeitungAnrufmonitor->setObjectName(QStringLiteral("LeitungAnrufmonitor"));
    LeitungAnrufmonitor->setToolTip(QStringLiteral(
        "Die Anrufe meldet der Router (IP-Anschluss).\nSein Anrufmonitor wird an einem Telefon\n"
        "am Router mit #96*5* eingeschaltet."));
    connect(LeitungAnrufmonitor, &QRadioButton::toggled, this, &TDlgParameter::LeitungArtClick);
    LeitungKeine = new QRadioButton(QStringLiteral("Keine (nur Netzwerk-Client)"), leitung);
    LeitungKeine->setObjectName(QStringLiteral("LeitungKeine"));
    LeitungKeine->setToolTip(QStringLiteral(
        "Dieser Arbeitsplatz überwacht keine Leitung;\ndie Anrufe meldet ein Netzwerk-Server."));
    BtnAssistent = new QPushButton(QStringLiteral("&Assistent …"), leitung);
    BtnAssistent->setObjectName(QStringLiteral("BtnAssistent"));
    BtnAssistent->setAutoDefault(false);
    BtnAssistent->setToolTip(
        QStringLiteral("Fragt wie beim ersten Start, wie das Telefon angeschlossen ist,\nund "
                       "prüft die Verbindung zum Anrufmonitor des Routers."));
    connect(BtnAssistent, &QPushButton::clicked, this, &TDlgParameter::BtnAssistentClick);
    auto* adresseLabel = NewLabel("Label7", QStringLiteral("Adresse"), leitung);
    LeitungAdresse = new QLineEdit(leitung);
    LeitungAdresse->setObjectName(QStringLiteral("LeitungAdresse"));
    LeitungAdresse->setMaxLength(255);
    LeitungAdresse->setToolTip(
        QStringLiteral("Name oder IP-Adresse des Routers,\nz. B. fritz.box oder 192.168.178.1"));
    adresseLabel->setBuddy(LeitungAdresse);
    auto* portLabel = NewLabel("Label8", QStringLiteral("Port"), leitung);
    LeitungPort = new QSpinBox(leitung);
    LeitungPort->setObjectName(QStringLiteral("LeitungPort"));
    LeitungPort->setRange(1, 65535);
    LeitungPort->setToolTip(QStringLiteral("TCP-Port des Anrufmonitors\n(meist 1012)"));
    portLabel->setBuddy(LeitungPort);
    auto* hinweis = NewLabel(
        "Label9", QStringLiteral("Leitung, Adresse und Port gelten sofort, ohne Neustart."),
        leitung);
    hinweis->setWordWrap(true);

    auto* router = new QGridLayout;
    router->setContentsMargins(24, 0, 0, 0);
    router->addWidget(adresseLabel, 0, 0);
    router->addWidget(LeitungAdresse, 0, 1);
    router->addWidget(portLabel, 1, 0);
    router->addWidget(LeitungPort, 1, 1, Qt::AlignLeft);
    router->setColumnStretch(2, 1);
    auto* layout = new QVBoxLayout(leitung);
    layout->setContentsMargins(12, 10, 12, 8);
    layout->addWidget(LeitungCapi);
    layout->addWidget(LeitungAnrufmonitor);
    layout->addLayout(router);
    layout->addWidget(LeitungKeine);
    layout->addStretch();
    layout->addWidget(hinweis);
    layout->addWidget(BtnAssistent, 0, Qt::AlignLeft);
    setTabOrder(LeitungCapi, LeitungAnrufmonitor);
    setTabOrder(LeitungAnrufmonitor, LeitungAdresse);
    setTabOrder(LeitungAdresse, LeitungPort);
    setTabOrder(LeitungPort, LeitungKeine);
    setTabOrder(LeitungKeine, BtnAssistent);
    TabControl->addTab(leitung, QStringLiteral("Leitung"));
    Aktionen = new TActionsPage;
    TabControl->addTab(Aktionen, QStringLiteral("Aktionen"));
    BuildAddressBookPage();
}

// Page "Adressbuch": names for callers the phone book does not know, from a CardDAV server.
void TDlgParameter::BuildAddressBookPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("Adressbuch"));
    const auto field = [page](const char* name, const char* tip) {
        auto* edit = new QLineEdit(page);
        edit->setObjectName(QLatin1String(name));
        edit->setToolTip(QString::fromUtf8(tip));
        return edit;
    };
    CardDavAdresse = field("CardDavAdresse", "Adresse des Adressbuchs oder des CardDAV-Servers,\n"
                                             "z. B. https://cloud.example.org");
    CardDavBenutzer = field("CardDavBenutzer", "Benutzername auf dem Server");
    CardDavKennwort = field("CardDavKennwort", "Kennwort auf dem Server");
    CardDavKennwort->setEchoMode(QLineEdit::Password);
    CardDavZertifikat = field("CardDavZertifikat",
                              "Zertifikatsdatei (PEM), der für diesen Server vertraut wird,\n"
                              "z. B. für einen eigenen Server mit selbst ausgestelltem Zertifikat");
    CardDavMinuten = new QSpinBox(page);
    CardDavMinuten->setObjectName(QStringLiteral("CardDavMinuten"));
    CardDavMinuten->setRange(0, 24 * 60);
    CardDavMinuten->setSuffix(QStringLiteral(" min"));
    CardDavMinuten->setToolTip(QString::fromUtf8("Abstand der Abgleiche; 0: nur auf Knopfdruck"));
    BtnAbgleichen = new QPushButton(QStringLiteral("Jetzt abgleichen"), page);
    BtnAbgleichen->setObjectName(QStringLiteral("BtnAbgleichen"));
    CardDavStatus = NewLabel("CardDavStatus", QString(), page);
    CardDavStatus->setWordWrap(true);
    connect(BtnAbgleichen, &QPushButton::clicked, this, &TDlgParameter::BtnAbgleichenClick);

    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(12, 8, 12, 8);
    const char* captions[] = {"Adresse", "Benutzer", "Kennwort", "Abgleich alle", "Zertifikat"};
    QWidget* fields[] = {CardDavAdresse, CardDavBenutzer, CardDavKennwort, CardDavMinuten,
                         CardDavZertifikat};
    for (int row = 0; row < 5; ++row) {
        auto* label = new QLabel(QString::fromUtf8(captions[row]), page);
        label->setBuddy(fields[row]);
        grid->addWidget(label, row, 0);
        grid->addWidget(fields[row], row, 1, 1, row == 3 ? 1 : 2,
                        row == 3 ? Qt::AlignLeft : Qt::Alignment());
    }
    grid->addWidget(BtnAbgleichen, 5, 0);
    grid->addWidget(CardDavStatus, 5, 1, 1, 2);
    grid->setColumnStretch(2, 1);
    TabControl->addTab(page, QStringLiteral("Adressbuch"));

    // The result of a sync running in the background shows up while the page is open.
    auto* refresh = new QTimer(this);
    refresh->setInterval(500);
    connect(refresh, &QTimer::timeout, this, &TDlgParameter::UpdateCardDavStatus);
    refresh->start();
    // Cancelled (button, Esc or the window's close box): what the sync button took over
    // is put back.
    connect(this, &QDialog::rejected, this, [this] {
        if (aCardDavBefore.size() != 4) return;
        sCardDavAdresse = aCardDavBefore[0].toStdString();
        sCardDavBenutzer = aCardDavBefore[1].toStdString();
        sCardDavKennwort = aCardDavBefore[2].toStdString();
        sCardDavZertifikat = aCardDavBefore[3].toStdString();
    });
}

void TDlgParameter::TakeCardDavFields() {
    sCardDavAdresse = CardDavAdresse->text().trimmed().toStdString();
    sCardDavBenutzer = CardDavBenutzer->text().toStdString();
    sCardDavKennwort = CardDavKennwort->text().toStdString();
    iCardDavMinuten = CardDavMinuten->value();
    sCardDavZertifikat = CardDavZertifikat->text().trimmed().toStdString();
}

void TDlgParameter::BtnAbgleichenClick() {
    IServerAddressBook* book = ServerAddressBook();
    if (!book) return;
    // The account as typed: a sync is how users try it out before OK.
    if (aCardDavBefore.isEmpty())
        for (const std::string* value :
             {&sCardDavAdresse, &sCardDavBenutzer, &sCardDavKennwort, &sCardDavZertifikat})
            aCardDavBefore << QString::fromStdString(*value);
    TakeCardDavFields();
    book->SyncNow();
    UpdateCardDavStatus();
}

void TDlgParameter::UpdateCardDavStatus() {
    IServerAddressBook* book = ServerAddressBook();
    BtnAbgleichen->setEnabled(book && !book->IsSyncing());
    CardDavStatus->setText(book ? QString::fromStdString(book->StatusText()) : QString());
}

void TDlgParameter::LeitungArtClick() {
    const bool router = LeitungAnrufmonitor->isChecked();
    LeitungAdresse->setEnabled(router);
    LeitungPort->setEnabled(router);
}

void TDlgParameter::BtnAssistentClick() {
    TLineChoice preset;
    preset.kind = LeitungAnrufmonitor->isChecked() ? TLineKind::RouterCallMonitor
                  : LeitungKeine->isChecked()      ? TLineKind::None
                                                   : TLineKind::Capi;
    preset.sAddress = LeitungAdresse->text().trimmed().toStdString();
    if (preset.sAddress.empty()) preset.sAddress = "fritz.box";
    preset.iPort = LeitungPort->value();
    TDlgEinrichtung assistant(preset, this);
    if (assistant.exec() != QDialog::Accepted) return;
    const TLineChoice choice = assistant.Choice();
    (choice.kind == TLineKind::RouterCallMonitor ? LeitungAnrufmonitor
     : choice.kind == TLineKind::None            ? LeitungKeine
                                                 : LeitungCapi)
        ->setChecked(true);
    if (choice.kind == TLineKind::RouterCallMonitor) {
        LeitungAdresse->setText(QString::fromStdString(choice.sAddress));
        LeitungPort->setValue(choice.iPort);
    }
    if (choice.kind == TLineKind::None) NetzwerkClient->setChecked(true);
    LeitungArtClick();
}

void TDlgParameter::FormCreate() {
    // This correction stays even when the dialog is cancelled.
    if (iSekunden > 99 || iSekunden < 1) iSekunden = 10;

    AnruferAnzeigen->setChecked(bAnruferAnzeigen);
    AnzeigeSekunden->setValue(iSekunden);
    Anruferhistory->setChecked(bHistory);
    Bekannte->setChecked(bBekannte);
    Blinkend->setChecked(bBlinkend);
    Anzeige->setCurrentIndex(static_cast<int>(ConfiguredCallDisplay()));
    NetzwerkClient->setChecked(bClient);
    NetzwerkServer->setChecked(bServer);
    NetzwerkKennwort->setText(QString::fromStdString(sKennwort));
    Ortsvorwahl->setText(QString::fromStdString(sOrtsvorwahl));
    FensterPositionen->setChecked(bPosSpeichern);
    BeimAnmeldenStarten->setChecked(cb::AutostartEnabled());
    Cb_AlleNummernZeigen->setChecked(bAlle);
    for (int i = 0; i < 10; ++i) {
        ShowNr[i]->setChecked(abZeige[i]);
        Nr[i]->setText(QString::fromLatin1(aszNr[i], static_cast<int>(strnlen(aszNr[i], 25))));
        NrName[i]->setText(QString::fromStdString(TableToUtf8(asNrName[i])));
    }
    // toggled only fires on a change, so an unchecked box must set the rows itself.
    Cb_AlleNummernZeigenClick();
    const TLineKind kind = LineKind();
    (kind == TLineKind::RouterCallMonitor ? LeitungAnrufmonitor
     : kind == TLineKind::None            ? LeitungKeine
                                          : LeitungCapi)
        ->setChecked(true);
    LeitungAdresse->setText(QString::fromStdString(sLeitungAdresse));
    LeitungPort->setValue(iLeitungPort >= 1 && iLeitungPort <= 65535 ? iLeitungPort : 1012);
    LeitungArtClick();
    Aktionen->Load();
    CardDavAdresse->setText(QString::fromStdString(sCardDavAdresse));
    CardDavBenutzer->setText(QString::fromStdString(sCardDavBenutzer));
    CardDavKennwort->setText(QString::fromStdString(sCardDavKennwort));
    CardDavMinuten->setValue(iCardDavMinuten);
    CardDavZertifikat->setText(QString::fromStdString(sCardDavZertifikat));
    UpdateCardDavStatus();
    UpdateUsageBars();
}

void TDlgParameter::Cb_AlleNummernZeigenClick() {
    // The names stay open: they name the numbers also when every number is watched.
    const bool enabled = !Cb_AlleNummernZeigen->isChecked();
    for (int i = 0; i < 10; ++i) {
        ShowNr[i]->setEnabled(enabled);
        Nr[i]->setEnabled(enabled);
    }
}

void TDlgParameter::FillUsageBar(QProgressBar* bar, CBase& table) {
    const uint32_t count = table.RecCount();
    uint32_t deleted = 0;
    for (uint32_t i = 0; i < count; ++i)
        if (table.GoTo(i) == 0) ++deleted;
    if (count == 0) {
        // A range of 0 to 0 would make the bar a busy indicator.
        bar->setRange(0, 1);
        bar->setValue(0);
    } else if (count <= static_cast<uint32_t>(INT_MAX)) {
        bar->setRange(0, static_cast<int>(count));
        bar->setValue(static_cast<int>(deleted));
    } else {
        constexpr int kScale = 1000000;
        bar->setRange(0, kScale);
        bar->setValue(static_cast<int>(uint64_t{deleted} * kScale / count));
    }
}

void TDlgParameter::UpdateUsageBars() {
    CBase table("Adressen.dbf");
    FillUsageBar(Adressen, table);
    table.Close();
    table.Open("Anrufe.dbf");
    FillUsageBar(Anrufe, table);
    table.Close();
}

void TDlgParameter::BtnReorgClick() {
    {
        CBase table("Adressen.dbf");
        table.Pack();
        table.Open("Anrufe.dbf");
        table.Pack();
        table.Close();
    }
    UpdateUsageBars();
}

void TDlgParameter::BtnOkClick() {
    iSekunden = AnzeigeSekunden->value();
    bHistory = Anruferhistory->isChecked();
    bClient = NetzwerkClient->isChecked();
    bServer = NetzwerkServer->isChecked();
    sKennwort = NetzwerkKennwort->text().toStdString();
    sOrtsvorwahl = Ortsvorwahl->text().trimmed().toStdString();
    bAnruferAnzeigen = AnruferAnzeigen->isChecked();
    bBekannte = Bekannte->isChecked();
    bBlinkend = Blinkend->isChecked();
    sAnzeige = CallDisplayText(static_cast<CallDisplay>(Anzeige->currentIndex()));
    bPosSpeichern = FensterPositionen->isChecked();
    bAlle = Cb_AlleNummernZeigen->isChecked();
    for (int i = 0; i < 10; ++i)
        abZeige[i] = ShowNr[i]->isChecked();
    for (int i = 0; i < 10; ++i) {
        const QByteArray text = Nr[i]->text().toLatin1().left(24);
        std::memset(aszNr[i], 0, sizeof aszNr[i]);
        std::memcpy(aszNr[i], text.constData(), static_cast<size_t>(text.size()));
        // Kept in the tables' encoding, as the phone book's names of own numbers are; a
        // character it lacks becomes "?".
        std::string name;
        if (!Utf8ToTable(NrName[i]->text().trimmed().toStdString(), name))
            name = NrName[i]->text().trimmed().toLatin1().toStdString();
        asNrName[i] = name;
    }
    sLeitungArt = LeitungAnrufmonitor->isChecked() ? kLineKindRouter
                  : LeitungKeine->isChecked()      ? kLineKindNone
                                                   : kLineKindCapi;
    sLeitungAdresse = LeitungAdresse->text().trimmed().toStdString();
    iLeitungPort = LeitungPort->value();
    Aktionen->Store();
    TakeCardDavFields();
    // The entry is written at once: unlike the settings it lives outside the program.
    const bool bAutostart = BeimAnmeldenStarten->isChecked();
    if (bAutostart != cb::AutostartEnabled() &&
        !cb::SetAutostart(bAutostart, cb::ExecutablePath(), DataFolderForAutostart()))
        cb::ShowErrorBox("nach " + cb::AutostartFilePath() + " kann nicht geschrieben werden");
    // Every part takes up what concerns it: the line, the announcements, the listeners.
    AnnounceSettingsChanged();
    accept();
}

void TDlgParameter::BtnAbbruchClick() {
    reject();
}

void TDlgParameter::keyPressEvent(QKeyEvent* event) {
    if (!HandleHelpKey(event, cb::HelpParameter)) QDialog::keyPressEvent(event);
}
