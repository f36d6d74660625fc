// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ListDialog.h"

#include "db/CBase.h"
#include "platform/ErrorBox.h"
#include "ui/ListLineModel.h"
#include "ui/ListLines.h"
#include "ui/Placement.h"

#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

TListDialog::TListDialog(QWidget* owner, const Frame& frameIn)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      frame(frameIn) {
    setObjectName(frame.objectName);
    setWindowTitle(frame.caption);
    setFont(DialogFont());
    // Only the height can change, also when maximised.
    setMinimumSize(frame.width, 150);
    setMaximumSize(frame.width, 10000);
    resize(frame.width, frame.height);

    Model = new TListLineModel(frame.headers, this);
    // The list area with its margin above the full-width bottom panel.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Liste = CreateListView(this, Model, frame.columnWidths,
                           static_cast<QAbstractItemView::SelectionMode>(frame.selectionMode));
    const int rand = ListSideMargin(Liste, frame.width, frame.listMargin);
    auto* listArea = new QVBoxLayout;
    listArea->setContentsMargins(rand, frame.listMargin, rand, 0);
    listArea->addWidget(Liste);
    layout->addLayout(listArea, 1);

    Unten = new QWidget(this);
    Unten->setFixedHeight(frame.panelHeight);
    layout->addWidget(Unten);
    ShowDeleted = new QCheckBox(QString::fromUtf8("Gelöschte Anzeigen"), Unten);
    ShowDeleted->setObjectName(QStringLiteral("ShowDeleted"));
    PopupMenu = new QMenu(this);

    connect(ShowDeleted, &QCheckBox::toggled, this, &TListDialog::ShowDeletedClick);
    connect(Liste, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu->popup(Liste->viewport()->mapToGlobal(pos)); });
}

QPushButton* TListDialog::AddButton(const char* text, const char* name, int x, int y) {
    auto* button = new QPushButton(QString::fromUtf8(text), Unten);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(x, y, 75, 25);
    return button;
}

void TListDialog::FinishSetUp() {
    // Enter closes unless a button has the focus: that one presses itself (auto-default).
    BtnSchliessen->setDefault(true);
    BtnUndelete->setEnabled(false);
    MPunktAktivieren->setEnabled(false);
    connect(BtnSchliessen, &QPushButton::clicked, this, &QDialog::accept);
    connect(BtnUndelete, &QPushButton::clicked, this, &TListDialog::BtnUndeleteClick);
    connect(MPunktAktivieren, &QAction::triggered, this, &TListDialog::BtnUndeleteClick);
    // Key preview: the form sees Delete and F1 before the focused control.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
    FormPlacement = PlaceDialog(this, frame.placementSection, true);
    bShowDeleted = false;
    FillListe();
}

bool TListDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete) {
            DeleteSelected();
            return true;
        }
        if (HandleHelpKey(key, frame.helpTopic)) return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TListDialog::SetSelected(bool deleted) {
    CBase table;
    if (!table.Open(frame.tableFile)) {
        cb::ShowErrorBox(frame.tableMissingText);
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

void TListDialog::DeleteSelected() {
    SetSelected(true);
}

void TListDialog::BtnUndeleteClick() {
    SetSelected(false);
}

void TListDialog::ShowDeletedClick() {
    bShowDeleted = ShowDeleted->isChecked();
    BtnUndelete->setEnabled(bShowDeleted);
    MPunktAktivieren->setEnabled(bShowDeleted);
    FillListe();
}
