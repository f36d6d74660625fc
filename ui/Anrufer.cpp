// SPDX-License-Identifier: GPL-3.0-or-later
#include "Anrufer.h"

#include "ui/Placement.h"

#include "core/Settings.h"
#include "db/Anruf.h"
#include "db/CBase.h"
#include "db/CallLog.h"
#include "platform/ErrorBox.h"
#include "platform/FormPlacement.h"
#include "platform/HelpViewer.h"
#include "ui/Detail.h"
#include "ui/Editor.h"
#include "ui/ListLineModel.h"
#include "ui/ListLines.h"
#include "ui/ListSpot.h"

#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// Header sections "Datum", "Uhrzeit", "Anruf von", "Anruf für", "Ang."; they add up to the
// visible width of the list, and the fields after them stay in the line unseen.
const std::vector<int> kSpalten = {65, 50, 250, 200, 35};
constexpr int kBreite = 618;
} // namespace

TDlgAnrufer::TDlgAnrufer(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("DlgAnrufer"));
    setWindowTitle(QStringLiteral("Anrufer"));
    setFont(DialogFont());
    // Only the height can change, also when maximised.
    setMinimumSize(kBreite, 150);
    setMaximumSize(kBreite, 10000);
    resize(kBreite, 296);

    Model = new TListLineModel({QStringLiteral("Datum"), QStringLiteral("Uhrzeit"),
                                QStringLiteral("Anruf von"), QString::fromUtf8("Anruf für"),
                                QStringLiteral("Ang.")},
                               this);
    // The list area with its margin above the full-width bottom panel.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Liste = CreateListView(this, Model, kSpalten, QAbstractItemView::ExtendedSelection);
    const int rand = ListSideMargin(Liste, kBreite, 3);
    auto* listArea = new QVBoxLayout;
    listArea->setContentsMargins(rand, 3, rand, 0);
    listArea->addWidget(Liste);
    layout->addLayout(listArea, 1);

    auto* unten = new QWidget(this);
    unten->setFixedHeight(35);
    layout->addWidget(unten);
    auto button = [unten](const char* text, const char* name, int x) {
        auto* b = new QPushButton(QString::fromUtf8(text), unten);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(x, 6, 75, 25);
        return b;
    };
    BtnSchliessen = button("&Schließen", "BtnSchliessen", 532);
    // Enter closes unless a button has the focus: that one presses itself (auto-default).
    BtnSchliessen->setDefault(true);
    BtnLoeschen = button("&Löschen", "BtnLoeschen", 451);
    BtnEdit = button("&Edit", "BtnEdit", 370);
    ShowDeleted = new QCheckBox(QString::fromUtf8("Gelöschte Anzeigen"), unten);
    ShowDeleted->setObjectName(QStringLiteral("ShowDeleted"));
    ShowDeleted->setGeometry(5, 9, 131, 17);
    BtnUndelete = button("Aktivieren", "BtnUndelete", 289);
    BtnUndelete->setEnabled(false);
    setTabOrder(Liste, BtnSchliessen);
    setTabOrder(BtnSchliessen, BtnLoeschen);
    setTabOrder(BtnLoeschen, BtnEdit);
    setTabOrder(BtnEdit, ShowDeleted);
    setTabOrder(ShowDeleted, BtnUndelete);

    PopupMenu = new QMenu(this);
    Edit1 = PopupMenu->addAction(QStringLiteral("Edit"));
    Lschen1 = PopupMenu->addAction(QString::fromUtf8("Löschen"));
    MPunktAktivieren = PopupMenu->addAction(QStringLiteral("Aktivieren"));
    MPunktAktivieren->setEnabled(false);

    connect(BtnSchliessen, &QPushButton::clicked, this, &TDlgAnrufer::BtnSchliessenClick);
    connect(BtnLoeschen, &QPushButton::clicked, this, &TDlgAnrufer::DeleteSelected);
    connect(Lschen1, &QAction::triggered, this, &TDlgAnrufer::DeleteSelected);
    connect(BtnUndelete, &QPushButton::clicked, this, &TDlgAnrufer::BtnUndeleteClick);
    connect(MPunktAktivieren, &QAction::triggered, this, &TDlgAnrufer::BtnUndeleteClick);
    connect(ShowDeleted, &QCheckBox::toggled, this, &TDlgAnrufer::ShowDeletedClick);
    connect(BtnEdit, &QPushButton::clicked, this, &TDlgAnrufer::BtnEditClick);
    connect(Edit1, &QAction::triggered, this, &TDlgAnrufer::BtnEditClick);
    connect(Liste, &QTreeView::doubleClicked, this, &TDlgAnrufer::ListeDblClick);
    connect(Liste, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu->popup(Liste->viewport()->mapToGlobal(pos)); });

    // Key preview: the form sees Delete and F1 before the focused control.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);

    FormPlacement = new cb::TFormPlacement(this, QStringLiteral("WndAnrufer"), true);
    FormCreate();
}

void TDlgAnrufer::FormCreate() {
    ActivatePlacementIfWanted(*FormPlacement);
    bShowDeleted = false;
    FillListe();
}

void TDlgAnrufer::FillListe() {
    // The lines the user worked on stay selected and in view; at first the newest call is.
    const TListSpot spot = RememberSpot(Liste);
    Model->SetLines(QStringList());
    Model->SetLines(BuildAnruferLines(bShowDeleted));
    RestoreSpot(Liste, spot);
}

bool TDlgAnrufer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && FormKeyDown(static_cast<QKeyEvent*>(event)->key()))
        return true;
    return QDialog::eventFilter(watched, event);
}

bool TDlgAnrufer::FormKeyDown(int key) {
    if (key == Qt::Key_Delete) {
        DeleteSelected();
        return true;
    }
    if (key == Qt::Key_F1) {
        cb::ShowHelp(cb::HelpAnrufer);
        return true;
    }
    return false;
}

void TDlgAnrufer::SetSelected(bool deleted) {
    CBase table;
    if (!table.Open(kCallLogFile)) {
        cb::ShowErrorBox(kAnruferFehlt);
        return;
    }
    QModelIndexList rows = Liste->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& row : rows) {
        const int64_t recNo = LastTabNumber(Model->Line(row.row()));
        if (recNo < 0) continue;
        if (deleted)
            table.Delete(recNo);
        else
            table.Recall(recNo);
    }
    table.Close();
    FillListe();
}

void TDlgAnrufer::DeleteSelected() {
    SetSelected(true);
}

void TDlgAnrufer::BtnUndeleteClick() {
    SetSelected(false);
}

void TDlgAnrufer::ShowDeletedClick() {
    bShowDeleted = ShowDeleted->isChecked();
    BtnUndelete->setEnabled(bShowDeleted);
    MPunktAktivieren->setEnabled(bShowDeleted);
    FillListe();
}

void TDlgAnrufer::BtnEditClick() {
    if (!Liste->selectionModel()->hasSelection()) return;
    const QModelIndex focused = Liste->currentIndex();
    if (!focused.isValid()) return;
    const std::string line = Model->Line(focused.row());
    tAnruf anruf;
    LookupCaller(anruf, GetTabField(line, 5), GetTabField(line, 6), true);

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
    LookupCaller(anruf, GetTabField(line, 5), GetTabField(line, 6), true);

    TDlgDetail detail(this);
    detail.SetRecord(anruf, false);
    detail.exec();
}

void TDlgAnrufer::BtnSchliessenClick() {
    accept();
}
