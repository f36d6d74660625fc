// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/ContactFile.h"
#include "db/PhoneBookImport.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// Import of a contacts file into the phone book: first a preview (what the file holds, how
// many rows it adds, which are already there, the first rows), then, once the user confirms,
// the write with a progress bar that can be cancelled, then the result in the same dialog.
class TDlgImport : public QDialog {
    Q_OBJECT
public:
    TDlgImport(QWidget* owner, const QString& fileName, const tContactFile& file);

    // True once rows were added, so the phone-book list needs filling again.
    bool Imported() const { return bImported; }
    QString SummaryText() const;

    static constexpr int kPreviewRows = 20;

private:
    void Start();
    void CancelOrClose();

    CPhoneBookImport import;
    QLabel* LblSummary;
    QTreeWidget* Vorschau;
    QProgressBar* Fortschritt;
    QPushButton* BtnImportieren;
    QPushButton* BtnAbbrechen;
    bool bRunning = false;
    bool bCancelRequested = false;
    bool bImported = false;
    bool bFinished = false;
};
