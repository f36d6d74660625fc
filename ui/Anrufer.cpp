// SPDX-License-Identifier: GPL-3.0-or-later
#include "Anrufer.h"

#include "core/Settings.h"
#include "db/Anruf.h"
#include "db/CallLog.h"
#include "db/CallerNames.h"
#include "platform/ErrorBox.h"
#include "ui/Detail.h"
#include "ui/Editor.h"
#include "ui/ListLineModel.h"
#include "ui/ListLines.h"
#include "ui/ListSpot.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>

namespace {
// Header sections "Datum", "Uhrzeit", "Anruf von", "Anruf für", "Ang."; they add up to the
// visible width of the list, and the fields after them stay in the line unseen.
const std::vector<int> kSpalten = {65, 50, 250, 200, 35};
constexpr int kBreite = 618;

// The phone book first, then the address book on a server, as the call was named.
void NameCall(tAnruf& anruf, const std::string& calling, const std::string& called) {
    if (LookupCaller(anruf, calling, called, true)) return;
    if (const auto second = SecondCallerNames()) second->NameCaller(anruf, calling);
}
} // namespace

TDlgAnrufer::TDlgAnrufer(QWidget* owner)
    : TListDialog(owner, Frame{QStringLiteral("DlgAnrufer"),
                               QStringLiteral("Anrufer"),
                               {QStringLiteral("Datum"), QStringLiteral("Uhrzeit"),
                                QStringLiteral("Anruf von"), QString::fromUtf8("Anruf für"),
                                QStringLiteral("Ang.")},
                               kSpalten,
                               kBreite,
                               296,
                               3,
                               35,
                               QAbstractItemView::ExtendedSelection,
                               QStringLiteral("WndAnrufer"),
                               cb::HelpAnrufer,
                               kCallLogFile,
                               kAnruferFehlt}) {
    BtnSchliessen = AddButton("&Schließen", "BtnSchliessen", 532, 6);
    BtnLoeschen = AddButton("&Löschen", "BtnLoeschen", 451, 6);
    BtnEdit = AddButton("&Edit", "BtnEdit", 370, 6);
    ShowDeleted->setGeometry(5, 9, 131, 17);
    BtnUndelete = AddButton("Aktivieren", "BtnUndelete", 289, 6);
    OnlyUnanswered = new QCheckBox(QStringLiteral("nur nicht angenommene"), Unten);
    OnlyUnanswered->setObjectName(QStringLiteral("OnlyUnanswered"));
    OnlyUnanswered->setGeometry(138, 9, 150, 17);
    OnlyUnanswered->setToolTip(
        QStringLiteral("Nur die Anrufe zeigen, die kein Telefon angenommen hat"));
    connect(OnlyUnanswered, &QCheckBox::toggled, this, &TDlgAnrufer::FillListe);
    setTabOrder(Liste, BtnSchliessen);
    setTabOrder(BtnSchliessen, BtnLoeschen);
    setTabOrder(BtnLoeschen, BtnEdit);
    setTabOrder(BtnEdit, ShowDeleted);
    setTabOrder(ShowDeleted, OnlyUnanswered);
    setTabOrder(OnlyUnanswered, BtnUndelete);

    Edit1 = PopupMenu->addAction(QStringLiteral("Edit"));
    Lschen1 = PopupMenu->addAction(QString::fromUtf8("Löschen"));
    MPunktAktivieren = PopupMenu->addAction(QStringLiteral("Aktivieren"));
    InsTelefonbuch = PopupMenu->addAction(QString::fromUtf8("Ins Telefonbuch übernehmen"));
    InsTelefonbuch->setObjectName(QStringLiteral("InsTelefonbuch"));
    // Offered only for a caller the server knows and the phone book does not.
    connect(PopupMenu, &QMenu::aboutToShow, this, [this] {
        const QModelIndex focused = Liste->currentIndex();
        tAnruf anruf;
        const std::string line = focused.isValid() ? Model->Line(focused.row()) : std::string();
        const auto second = SecondCallerNames();
        InsTelefonbuch->setVisible(
            second && focused.isValid() &&
            !LookupCaller(anruf, GetTabField(line, 5), GetTabField(line, 6), false) &&
            second->NameCaller(anruf, GetTabField(line, 5)));
    });
    connect(InsTelefonbuch, &QAction::triggered, this, &TDlgAnrufer::IntoPhoneBookClick);

    connect(BtnLoeschen, &QPushButton::clicked, this, &TDlgAnrufer::DeleteSelected);
    connect(Lschen1, &QAction::triggered, this, &TDlgAnrufer::DeleteSelected);
    connect(BtnEdit, &QPushButton::clicked, this, &TDlgAnrufer::BtnEditClick);
    connect(Edit1, &QAction::triggered, this, &TDlgAnrufer::BtnEditClick);
    connect(Liste, &QTreeView::doubleClicked, this, &TDlgAnrufer::ListeDblClick);
    FinishSetUp();
}

void TDlgAnrufer::FillListe() {
    // The lines the user worked on stay selected and in view; at first the newest call is.
    const TListSpot spot = RememberSpot(Liste);
    Model->SetLines(QStringList());
    Model->SetLines(BuildAnruferLines(bShowDeleted, OnlyUnanswered->isChecked()));
    RestoreSpot(Liste, spot);
}

void TDlgAnrufer::BtnEditClick() {
    if (!Liste->selectionModel()->hasSelection()) return;
    const QModelIndex focused = Liste->currentIndex();
    if (!focused.isValid()) return;
    const std::string line = Model->Line(focused.row());
    tAnruf anruf;
    NameCall(anruf, GetTabField(line, 5), GetTabField(line, 6));

    TDlgEditor editor(this);
    editor.SetRecord(anruf, true);
    editor.exec();
    editor.GetRecord(anruf);
    if (anruf.bOk) {
        SaveEntry(anruf);
        FillListe();
    }
}

void TDlgAnrufer::ListeDblClick() {
    if (Model->rowCount() == 0) return;
    const QModelIndex focused = Liste->currentIndex();
    if (!focused.isValid()) return;
    const std::string line = Model->Line(focused.row());
    tAnruf anruf;
    NameCall(anruf, GetTabField(line, 5), GetTabField(line, 6));
    NameOwnNumber(anruf.sGerufener, GetTabField(line, 6));

    TDlgDetail detail(this);
    detail.SetRecord(anruf, false);
    detail.exec();
}

void TDlgAnrufer::IntoPhoneBookClick() {
    const QModelIndex focused = Liste->currentIndex();
    const auto second = SecondCallerNames();
    if (!focused.isValid() || !second) return;
    const std::string line = Model->Line(focused.row());
    tAnruf anruf;
    if (LookupCaller(anruf, GetTabField(line, 5), GetTabField(line, 6), false)) return;
    if (!second->NameCaller(anruf, GetTabField(line, 5))) return;
    if (!SaveEntry(anruf))
        cb::ShowErrorBox("Der Eintrag kann nicht ins Telefonbuch geschrieben werden.");
    FillListe();
}
