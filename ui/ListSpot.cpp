// SPDX-License-Identifier: GPL-3.0-or-later
#include "ListSpot.h"

#include <QHash>
#include <QItemSelection>
#include <QTreeView>

#include <algorithm>

namespace {

int64_t RecordOfRow(const QAbstractItemModel* model, int row) {
    const QString line = model->index(row, 0).data(Qt::UserRole).toString();
    const qsizetype tab = line.lastIndexOf(QLatin1Char('\t'));
    if (tab < 0) return -1;
    bool ok = false;
    const qlonglong value = line.mid(tab + 1).toLongLong(&ok);
    return ok && value >= 0 ? value : -1;
}

} // namespace

TListSpot RememberSpot(const QTreeView* view) {
    TListSpot spot;
    const QAbstractItemModel* model = view->model();
    for (const QModelIndex& index : view->selectionModel()->selectedRows())
        spot.aSelected.push_back(RecordOfRow(model, index.row()));
    const QModelIndex current = view->currentIndex();
    if (current.isValid()) {
        spot.iCurrent = RecordOfRow(model, current.row());
        spot.iCurrentRow = current.row();
        const QModelIndex top = view->indexAt(QPoint(0, 0));
        spot.iRowFromTop = top.isValid() ? std::max(0, current.row() - top.row()) : 0;
    }
    return spot;
}

void RestoreSpot(QTreeView* view, const TListSpot& spot, int64_t preferred) {
    const QAbstractItemModel* model = view->model();
    const int rows = model->rowCount();
    if (rows == 0) return;
    QHash<int64_t, int> rowOf;
    rowOf.reserve(rows);
    for (int row = 0; row < rows; ++row)
        rowOf.insert(RecordOfRow(model, row), row);

    int current = -1;
    if (preferred >= 0) current = rowOf.value(preferred, -1);
    if (current < 0 && spot.iCurrent >= 0) current = rowOf.value(spot.iCurrent, -1);
    if (current < 0) current = std::clamp(spot.iCurrentRow, 0, rows - 1);

    QItemSelection selection;
    const int lastColumn = model->columnCount() - 1;
    for (int64_t recNo : spot.aSelected) {
        const int row = rowOf.value(recNo, -1);
        if (row >= 0) selection.select(model->index(row, 0), model->index(row, lastColumn));
    }
    if (preferred >= 0 || selection.isEmpty())
        selection = QItemSelection(model->index(current, 0), model->index(current, lastColumn));
    QItemSelectionModel* selectionModel = view->selectionModel();
    selectionModel->setCurrentIndex(model->index(current, 0), QItemSelectionModel::NoUpdate);
    selectionModel->select(selection, QItemSelectionModel::ClearAndSelect);

    // The focused line keeps its distance from the top of the view, and stays in view.
    view->scrollTo(model->index(std::max(0, current - spot.iRowFromTop), 0),
                   QAbstractItemView::PositionAtTop);
    view->scrollTo(model->index(current, 0), QAbstractItemView::EnsureVisible);
}
