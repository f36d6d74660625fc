// SPDX-License-Identifier: GPL-3.0-or-later
#include "Teilnehmer.h"

#include "db/Anruf.h"
#include "db/CBase.h"
#include "db/ContactFile.h"
#include "db/VCardWriter.h"
#include "platform/ErrorBox.h"
#include "ui/Editor.h"
#include "ui/ImportDialog.h"
#include "ui/ListLineModel.h"
#include "ui/ListLines.h"
#include "ui/ListSpot.h"
#include "ui/TableString.h"

#include <QAction>
#include <QCheckBox>
#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>

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
    : TListDialog(owner, Frame{QStringLiteral("DlgTeilnehmer"),
                               QStringLiteral("Telefonbuch"),
                               {QStringLiteral("Name"), QStringLiteral("Vorname"),
                                QStringLiteral("Strasse"), QStringLiteral("Plz"),
                                QStringLiteral("Ort"), QStringLiteral("Telefon")},
                               kSpalten,
                               kBreite,
                               320,
                               5,
                               39,
                               QAbstractItemView::SingleSelection,
                               QStringLiteral("WndTelefonbuch"),
                               cb::HelpTelefonbuch,
                               kPhoneBookFile,
                               kTeilnehmerFehlt}) {
    Liste->setFrameShape(QFrame::Panel);
    Liste->setFrameShadow(QFrame::Raised);
    ShowDeleted->setGeometry(9, 9, 131, 17);
    // The buttons sit in a 428-pixel panel at the right end of the bottom panel.
    constexpr int kRechts = kBreite - 428;
    BtnSchliessen = AddButton("&Schließen", "BtnSchliessen", kRechts + 347, 7);
    BtnEdit = AddButton("&Edit", "BtnEdit", kRechts + 267, 7);
    BtnNeu = AddButton("&Neu", "BtnNeu", kRechts + 187, 7);
    BtnLoeschen = AddButton("&Löschen", "BtnLoeschen", kRechts + 107, 7);
    BtnUndelete = AddButton("Aktivieren", "BtnUndelete", kRechts + 27, 7);
    BtnImportieren = AddButton("&Importieren…", "BtnImportieren", kRechts - 85, 7);
    BtnImportieren->resize(95, 25);
    BtnImportieren->setToolTip(
        QStringLiteral("Kontakte aus einer Datei ins Telefonbuch \u00fcbernehmen: vCard (.vcf), "
                       "Telefonbuch-Export des Routers (.xml), CSV von Google oder Outlook"));

    Edit1 = PopupMenu->addAction(QStringLiteral("Edit"));
    Neu1 = PopupMenu->addAction(QStringLiteral("Neu"));
    Lschen1 = PopupMenu->addAction(QString::fromUtf8("Löschen"));
    MPunktAktivieren = PopupMenu->addAction(QStringLiteral("Aktivieren"));
    PopupMenu->addSeparator();
    Exportieren1 = PopupMenu->addAction(QStringLiteral("Als vCard exportieren\u2026"));

    connect(BtnEdit, &QPushButton::clicked, this, &TDlgTeilnehmer::EditSelected);
    connect(Edit1, &QAction::triggered, this, &TDlgTeilnehmer::EditSelected);
    connect(Liste, &QTreeView::doubleClicked, this, &TDlgTeilnehmer::EditSelected);
    connect(BtnNeu, &QPushButton::clicked, this, &TDlgTeilnehmer::BtnNeuClick);
    connect(Neu1, &QAction::triggered, this, &TDlgTeilnehmer::BtnNeuClick);
    connect(BtnLoeschen, &QPushButton::clicked, this, &TDlgTeilnehmer::DeleteSelected);
    connect(Lschen1, &QAction::triggered, this, &TDlgTeilnehmer::DeleteSelected);
    connect(BtnImportieren, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(
            this, QStringLiteral("Kontakte importieren"), QDir::homePath(),
            QStringLiteral("Kontakte (*.vcf *.vcard *.xml *.csv);;Alle Dateien (*)"));
        if (!file.isEmpty()) ImportFile(file);
    });
    connect(Exportieren1, &QAction::triggered, this, [this] {
        const QString file =
            QFileDialog::getSaveFileName(this, QStringLiteral("Telefonbuch als vCard exportieren"),
                                         QDir::home().filePath(QStringLiteral("Telefonbuch.vcf")),
                                         QStringLiteral("vCard (*.vcf)"));
        if (!file.isEmpty()) ExportFile(file);
    });
    // Type-ahead searches the column of the focused cell: keep the focus in "Name", wherever
    // the user clicked, so that typing finds entries by name.
    connect(Liste->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && current.column() != 0)
                    Liste->selectionModel()->setCurrentIndex(current.siblingAtColumn(0),
                                                             QItemSelectionModel::NoUpdate);
            });
    FinishSetUp();
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

void TDlgTeilnehmer::ImportFile(const QString& fileName) {
    QFile in(fileName);
    if (!in.open(QIODevice::ReadOnly)) {
        cb::ShowErrorBox("Die Datei " + fileName.toStdString() +
                         " kann nicht gelesen werden: " + in.errorString().toStdString());
        return;
    }
    const QByteArray bytes = in.readAll();
    const tContactFile file =
        ReadContactFile(std::string_view(bytes.constData(), size_t(bytes.size())));
    if (!file.sError.empty()) {
        cb::ShowErrorBox(fileName.toStdString() + ": " + file.sError);
        return;
    }
    if (file.aContacts.empty()) {
        cb::ShowErrorBox(fileName.toStdString() + ": Die Datei enth\u00e4lt keine Kontakte.");
        return;
    }
    TDlgImport preview(this, fileName, file);
    preview.exec();
    if (preview.Imported()) FillListe();
}

bool TDlgTeilnehmer::ExportFile(const QString& fileName) {
    std::string vcards, error;
    size_t cards = 0;
    if (!PhoneBookToVCards(kPhoneBookFile, vcards, cards, error)) {
        cb::ShowErrorBox(error);
        return false;
    }
    QFile out(fileName);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(vcards.data(), qint64(vcards.size())) != qint64(vcards.size()) || !out.flush()) {
        cb::ShowErrorBox("Die Datei " + fileName.toStdString() +
                         " kann nicht geschrieben werden: " + out.errorString().toStdString());
        return false;
    }
    return true;
}
