// SPDX-License-Identifier: GPL-3.0-or-later
#include "Teilnehmer.h"

#include "ui/Placement.h"

#include "core/Settings.h"
#include "db/Anruf.h"
#include "db/CBase.h"
#include "platform/ErrorBox.h"
#include "platform/FormPlacement.h"
#include "platform/HelpViewer.h"
#include "ui/Editor.h"
#include "ui/ListLineModel.h"
#include "ui/ListLines.h"
#include "ui/ListSpot.h"
#include "ui/TableString.h"

#include <QAction>
#include <QCheckBox>
#include <QCollator>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <numeric>

namespace {
// "Name", "Vorname", "Strasse", "Plz", "Ort", "Telefon"; the record number stays unseen.
const std::vector<int> kSpalten = {130, 130, 140, 40, 100, 100};
constexpr int kBreite = 660;

// The record number in field 6 of a line; -1 when there is none.
int32_t RecordOf(const std::string& line) {
    const std::string field = GetTabField(line, 6);
    int32_t value = -1;
    const auto [ptr, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc() || ptr != field.data() + field.size() || value < 0) return -1;
    return value;
}
} // namespace

void SortTeilnehmerLines(QStringList& lines) {
    QCollator collator(QLocale(QLocale::German, QLocale::Germany));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(size_t(lines.size()));
    const QLatin1String marker(kDeletedMarker);
    for (const QString& line : lines) {
        // The deleted marker does not move an entry away from its name.
        const qsizetype mark = line.indexOf(QLatin1Char('\t')) - marker.size();
        if (mark >= 0 && QStringView(line).sliced(mark, marker.size()) == marker)
            keys.push_back(collator.sortKey(QString(line).remove(mark, marker.size())));
        else
            keys.push_back(collator.sortKey(line));
    }
    std::vector<qsizetype> order(size_t(lines.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&keys](qsizetype a, qsizetype b) {
        return keys[size_t(a)].compare(keys[size_t(b)]) < 0;
    });
    QStringList sorted;
    sorted.reserve(lines.size());
    for (qsizetype i : order)
        sorted.push_back(std::move(lines[i]));
    lines = std::move(sorted);
}

TDlgTeilnehmer::TDlgTeilnehmer(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("DlgTeilnehmer"));
    setWindowTitle(QStringLiteral("Telefonbuch"));
    setFont(DialogFont());
    setMinimumSize(kBreite, 150);
    setMaximumSize(kBreite, 10000);
    resize(kBreite, 320);

    Model = new TListLineModel({QStringLiteral("Name"), QStringLiteral("Vorname"),
                                QStringLiteral("Strasse"), QStringLiteral("Plz"),
                                QStringLiteral("Ort"), QStringLiteral("Telefon")},
                               this);
    // The list area with its margin above the full-width bottom panel.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Liste = CreateListView(this, Model, kSpalten, QAbstractItemView::SingleSelection);
    Liste->setFrameShape(QFrame::Panel);
    Liste->setFrameShadow(QFrame::Raised);
    const int rand = ListSideMargin(Liste, kBreite, 5);
    auto* listArea = new QVBoxLayout;
    listArea->setContentsMargins(rand, 5, rand, 0);
    listArea->addWidget(Liste);
    layout->addLayout(listArea, 1);

    auto* unten = new QWidget(this);
    unten->setFixedHeight(39);
    layout->addWidget(unten);
    ShowDeleted = new QCheckBox(QString::fromUtf8("Gelöschte Anzeigen"), unten);
    ShowDeleted->setObjectName(QStringLiteral("ShowDeleted"));
    ShowDeleted->setGeometry(9, 9, 131, 17);
    // The buttons sit in a 428-pixel panel at the right end of the bottom panel.
    constexpr int kRechts = kBreite - 428;
    auto button = [unten](const char* text, const char* name, int x) {
        auto* b = new QPushButton(QString::fromUtf8(text), unten);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(kRechts + x, 7, 75, 25);
        return b;
    };
    BtnSchliessen = button("&Schließen", "BtnSchliessen", 347);
    // Enter closes unless a button has the focus: that one presses itself (auto-default).
    BtnSchliessen->setDefault(true);
    BtnEdit = button("&Edit", "BtnEdit", 267);
    BtnNeu = button("&Neu", "BtnNeu", 187);
    BtnLoeschen = button("&Löschen", "BtnLoeschen", 107);
    BtnUndelete = button("Aktivieren", "BtnUndelete", 27);
    BtnUndelete->setEnabled(false);

    PopupMenu = new QMenu(this);
    Edit1 = PopupMenu->addAction(QStringLiteral("Edit"));
    Neu1 = PopupMenu->addAction(QStringLiteral("Neu"));
    Lschen1 = PopupMenu->addAction(QString::fromUtf8("Löschen"));
    MPunktAktivieren = PopupMenu->addAction(QStringLiteral("Aktivieren"));
    MPunktAktivieren->setEnabled(false);

    connect(BtnSchliessen, &QPushButton::clicked, this, &TDlgTeilnehmer::BtnOKClick);
    connect(BtnEdit, &QPushButton::clicked, this, &TDlgTeilnehmer::EditSelected);
    connect(Edit1, &QAction::triggered, this, &TDlgTeilnehmer::EditSelected);
    connect(Liste, &QTreeView::doubleClicked, this, &TDlgTeilnehmer::EditSelected);
    connect(BtnNeu, &QPushButton::clicked, this, &TDlgTeilnehmer::BtnNeuClick);
    connect(Neu1, &QAction::triggered, this, &TDlgTeilnehmer::BtnNeuClick);
    connect(BtnLoeschen, &QPushButton::clicked, this, &TDlgTeilnehmer::DeleteSelected);
    connect(Lschen1, &QAction::triggered, this, &TDlgTeilnehmer::DeleteSelected);
    connect(BtnUndelete, &QPushButton::clicked, this, &TDlgTeilnehmer::BtnUndeleteClick);
    connect(MPunktAktivieren, &QAction::triggered, this, &TDlgTeilnehmer::BtnUndeleteClick);
    connect(ShowDeleted, &QCheckBox::toggled, this, &TDlgTeilnehmer::ShowDeletedClick);
    connect(Liste, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu->popup(Liste->viewport()->mapToGlobal(pos)); });
    // Type-ahead searches the column of the focused cell: keep the focus in "Name", wherever
    // the user clicked, so that typing finds entries by name.
    connect(Liste->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && current.column() != 0)
                    Liste->selectionModel()->setCurrentIndex(current.siblingAtColumn(0),
                                                             QItemSelectionModel::NoUpdate);
            });

    // Key preview: the form sees Delete and F1 before the focused control.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);

    FormPlacement = new cb::TFormPlacement(this, QStringLiteral("WndTelefonbuch"), true);
    FormCreate();
}

void TDlgTeilnehmer::FormCreate() {
    ActivatePlacementIfWanted(*FormPlacement);
    bShowDeleted = false;
    FillListe();
}

void TDlgTeilnehmer::FillListe() {
    FillListe(-1);
}

void TDlgTeilnehmer::FillListe(int64_t written) {
    // The entry the user worked on (or just wrote) stays selected and in view; at first the
    // top entry is.
    const TListSpot spot = RememberSpot(Liste);
    Model->SetLines(QStringList());
    const std::vector<std::string> raw = BuildTeilnehmerLines(bShowDeleted);
    QStringList lines;
    lines.reserve(qsizetype(raw.size()));
    for (const std::string& line : raw)
        lines.push_back(FromTable(line));
    SortTeilnehmerLines(lines);
    Model->SetLines(std::move(lines));
    RestoreSpot(Liste, spot, written);
}

bool TDlgTeilnehmer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && FormKeyDown(static_cast<QKeyEvent*>(event)->key()))
        return true;
    return QDialog::eventFilter(watched, event);
}

bool TDlgTeilnehmer::FormKeyDown(int key) {
    if (key == Qt::Key_Delete) {
        DeleteSelected();
        return true;
    }
    if (key == Qt::Key_F1) {
        cb::ShowHelp(cb::HelpTelefonbuch);
        return true;
    }
    return false;
}

int TDlgTeilnehmer::SelectedRow() const {
    const QModelIndexList rows = Liste->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TDlgTeilnehmer::EditRecord(tAnruf& anruf) {
    TDlgEditor editor(this);
    editor.SetRecord(anruf, true);
    editor.exec();
    editor.GetRecord(anruf);
    if (anruf.bOk) {
        SaveEntry(anruf); // gives a new entry its record number
        FillListe(anruf.iRecNo == kNoRecord ? -1 : anruf.iRecNo);
    }
}

void TDlgTeilnehmer::EditSelected() {
    const int row = SelectedRow();
    if (row < 0) return;
    const int32_t recNo = RecordOf(Model->Line(row));
    if (recNo < 0) return;
    tAnruf anruf;
    LoadEntry(anruf, recNo);
    EditRecord(anruf);
}

void TDlgTeilnehmer::BtnNeuClick() {
    tAnruf anruf;
    ClearEntry(anruf);
    EditRecord(anruf);
}

void TDlgTeilnehmer::DeleteSelected() {
    const int row = SelectedRow();
    if (row < 0) return;
    const int32_t recNo = RecordOf(Model->Line(row));
    if (recNo < 0) return;
    CBase table;
    if (!table.Open(kPhoneBookFile)) {
        cb::ShowErrorBox(kTeilnehmerFehlt);
        return;
    }
    table.Delete(recNo);
    table.Close();
    FillListe();
}

void TDlgTeilnehmer::BtnUndeleteClick() {
    CBase table;
    if (!table.Open(kPhoneBookFile)) {
        cb::ShowErrorBox(kTeilnehmerFehlt);
        return;
    }
    for (const QModelIndex& row : Liste->selectionModel()->selectedRows()) {
        const int64_t recNo = LastTabNumber(Model->Line(row.row()));
        if (recNo >= 0) table.Recall(recNo);
    }
    table.Close();
    FillListe();
}

void TDlgTeilnehmer::ShowDeletedClick() {
    bShowDeleted = ShowDeleted->isChecked();
    BtnUndelete->setEnabled(bShowDeleted);
    MPunktAktivieren->setEnabled(bShowDeleted);
    FillListe();
}

void TDlgTeilnehmer::BtnOKClick() {
    accept();
}
