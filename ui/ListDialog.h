// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/HelpViewer.h"

#include <QDialog>
#include <QStringList>

#include <vector>

class QAction;
class QCheckBox;
class QMenu;
class QPushButton;
class QTreeView;
class QWidget;
class TListLineModel;
namespace cb {
class TFormPlacement;
}

// What the call history and the phone book share: a list of lines over one table whose last
// field is the record number, a bottom panel with "Gelöschte Anzeigen", "Aktivieren" and
// "Schließen", a context menu, Delete and F1 seen by the form before the focused control, and
// marking the selected lines' records deleted or active again.
class TListDialog : public QDialog {
    Q_OBJECT
public:
    QTreeView* List() const { return Liste; }
    // Rebuilds the list from the table; the lines the user worked on stay selected.
    virtual void FillListe() = 0;
    void DeleteSelected();
    void BtnUndeleteClick();
    void ShowDeletedClick();

protected:
    struct Frame {
        QString objectName;
        QString caption;
        QStringList headers;
        std::vector<int> columnWidths;
        int width; // fixed; only the height changes
        int height;
        int listMargin;           // above and beside the list
        int panelHeight;          // the bottom panel
        int selectionMode;        // QAbstractItemView::SelectionMode
        QString placementSection; // in the settings file
        cb::HelpTopic helpTopic;
        const char* tableFile;
        const char* tableMissingText; // the box when the table cannot be opened
    };
    TListDialog(QWidget* owner, const Frame& frame);

    // A button of the bottom panel; the check box and the two shared buttons are made first.
    QPushButton* AddButton(const char* text, const char* name, int x, int y);
    // Called last by the derived dialog's constructor: key preview for every child made so
    // far, the placement store, the first fill.
    void FinishSetUp();
    // Marks the records of the selected lines deleted (true) or active again.
    void SetSelected(bool deleted);

    bool eventFilter(QObject* watched, QEvent* event) override;

    bool bShowDeleted = false;
    TListLineModel* Model;
    QTreeView* Liste;
    QWidget* Unten; // the bottom panel
    QCheckBox* ShowDeleted;
    QPushButton* BtnSchliessen;
    QPushButton* BtnUndelete;
    QMenu* PopupMenu;
    QAction* MPunktAktivieren; // made by the derived dialog in its place in the menu
    cb::TFormPlacement* FormPlacement = nullptr;

private:
    Frame frame;
};
