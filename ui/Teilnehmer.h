// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>

class QAction;
class QCheckBox;
class QMenu;
class QPushButton;
class QTreeView;
class TListLineModel;
struct tAnruf;
namespace cb {
class TFormPlacement;
}

// The phone book: one line per entry in alphabetical order. The user creates, edits, deletes
// and restores entries; creating and editing go through the entry editor.
class TDlgTeilnehmer : public QDialog {
    Q_OBJECT
public:
    explicit TDlgTeilnehmer(QWidget* owner);

    void FillListe();
    void EditSelected();
    void BtnNeuClick();
    void DeleteSelected();
    void BtnUndeleteClick();
    void ShowDeletedClick();
    void BtnOKClick();

    QTreeView* List() const { return Liste; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    // Rebuilds the list with the entry `written` (a record number, -1 for none) selected.
    void FillListe(int64_t written);
    bool FormKeyDown(int key);
    int SelectedRow() const;
    void EditRecord(tAnruf& anruf);

    bool bShowDeleted = false;

    TListLineModel* Model;
    QTreeView* Liste;
    QCheckBox* ShowDeleted;
    QPushButton* BtnSchliessen;
    QPushButton* BtnEdit;
    QPushButton* BtnNeu;
    QPushButton* BtnLoeschen;
    QPushButton* BtnUndelete;
    QMenu* PopupMenu;
    QAction* Edit1;
    QAction* Neu1;
    QAction* Lschen1;
    QAction* MPunktAktivieren;
    cb::TFormPlacement* FormPlacement;
};

// Sorts phone-book lines as the list shows them: alphabetically over the whole line, case
// ignored, umlauts beside their base letters.
void SortTeilnehmerLines(QStringList& lines);
