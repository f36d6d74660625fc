// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>

#include <cstdint>

class QTreeView;

// Where the user works in a list dialog, by the record numbers of the lines, so that a rebuild
// of the list keeps the lines selected, the focused line and its place in the view.
struct TListSpot {
    QList<int64_t> aSelected; // record numbers of the selected lines
    int64_t iCurrent = -1;    // record number of the focused line
    int iCurrentRow = -1;     // its row, for the nearest line when it is gone
    int iRowFromTop = 0;      // its distance from the top of the view, in lines
};

// The spot of a list whose lines end in their record number (Qt::UserRole gives the line).
TListSpot RememberSpot(const QTreeView* view);

// After a rebuild: selects the remembered records still listed and focuses the remembered
// line, else `preferred` (a record just written), else the line now at the focused row. When
// none of the selection is left, the focused line is selected, so that what looks selected is
// selected. The focused line keeps its place in the view where it can.
void RestoreSpot(QTreeView* view, const TListSpot& spot, int64_t preferred = -1);
