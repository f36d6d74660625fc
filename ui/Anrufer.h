// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/ListDialog.h"

class QAction;
class QCheckBox;
class QPushButton;

// The call history: every logged call, newest first, with caller and called party named from
// the phone book. The user hides calls and brings them back, opens the pop-up of a call and
// enters or edits the caller's phone-book entry. "nur nicht angenommene" leaves out the calls
// another telephone answered.
class TDlgAnrufer : public TListDialog {
    Q_OBJECT
public:
    explicit TDlgAnrufer(QWidget* owner);

    void FillListe() override;
    void BtnEditClick();
    void ListeDblClick();
    // Copies the selected caller from the address book on the server into the phone book.
    void IntoPhoneBookClick();

    QCheckBox* OnlyUnanswered;

private:
    QPushButton* BtnLoeschen;
    QPushButton* BtnEdit;
    QAction* Edit1;
    QAction* Lschen1;
    QAction* InsTelefonbuch;
};
