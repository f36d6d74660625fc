// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/ListDialog.h"

#include <QStringList>

class QAction;
class QPushButton;
struct tAnruf;

// The phone book: one line per entry in alphabetical order. The user creates, edits, deletes
// and restores entries; creating and editing go through the entry editor.
class TDlgTeilnehmer : public TListDialog {
    Q_OBJECT
public:
    explicit TDlgTeilnehmer(QWidget* owner);

    void FillListe() override;
    void EditSelected();
    void BtnNeuClick();
    // Reads a contacts file, shows the import preview and adds what the user confirms.
    void ImportFile(const QString& fileName);
    // Writes the phone book as vCards to `fileName`; false after an error box.
    bool ExportFile(const QString& fileName);

private:
    // Rebuilds the list with the entry `written` (a record number, -1 for none) selected.
    void FillListe(int64_t written);
    int SelectedRow() const;
    void EditRecord(tAnruf& anruf);

    QPushButton* BtnEdit;
    QPushButton* BtnNeu;
    QPushButton* BtnLoeschen;
    QPushButton* BtnImportieren;
    QAction* Edit1;
    QAction* Neu1;
    QAction* Lschen1;
    QAction* Exportieren1;
};

// Sorts phone-book lines as the list shows them: alphabetically over the whole line, case
// ignored, umlauts beside their base letters.
void SortTeilnehmerLines(QStringList& lines);
