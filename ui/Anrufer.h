// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QAction;
class QCheckBox;
class QMenu;
class QPushButton;
class QTreeView;
class TListLineModel;
namespace cb {
class TFormPlacement;
}

// The call history: every logged call, newest first, with caller and called party named from
// the phone book. The user hides calls and brings them back, opens the pop-up of a call and
// enters or edits the caller's phone-book entry.
class TDlgAnrufer : public QDialog {
    Q_OBJECT
public:
    explicit TDlgAnrufer(QWidget* owner);

    void FillListe();
    void DeleteSelected();
    void BtnUndeleteClick();
    void ShowDeletedClick();
    void BtnEditClick();
    void ListeDblClick();
    void BtnSchliessenClick();

    QTreeView* List() const { return Liste; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    bool FormKeyDown(int key);
    void SetSelected(bool deleted);

    bool bShowDeleted = false;

    TListLineModel* Model;
    QTreeView* Liste;
    QPushButton* BtnSchliessen;
    QPushButton* BtnLoeschen;
    QPushButton* BtnEdit;
    QPushButton* BtnUndelete;
    QCheckBox* ShowDeleted;
    QMenu* PopupMenu;
    QAction* Edit1;
    QAction* Lschen1;
    QAction* MPunktAktivieren;
    cb::TFormPlacement* FormPlacement;
};
