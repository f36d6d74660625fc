// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractItemView>
#include <QAbstractTableModel>
#include <QStringList>

#include <string>
#include <vector>

class QFont;
class QTreeView;

// The lines of a list dialog. Column c shows field c of the line; the fields after the visible
// columns (numbers, record number) stay in the line and are reached through Qt::UserRole.
class TListLineModel : public QAbstractTableModel {
    Q_OBJECT
public:
    TListLineModel(QStringList headers, QObject* parent);

    // Replaces every line (table bytes, Windows-1252).
    void SetLines(const std::vector<std::string>& lines);
    void SetLines(QStringList lines);
    const QStringList& Lines() const { return aLines; }
    // The line of `row` as table bytes, for GetTabField.
    std::string Line(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QStringList aHeaders;
    QStringList aLines;
};

// A list with a header of fixed-width sections over `model`: no border of its own beyond a
// single line, whole-row selection, no editing, a context menu signal.
QTreeView* CreateListView(QWidget* parent, TListLineModel* model, const std::vector<int>& widths,
                          QAbstractItemView::SelectionMode mode);

// The side margin of a list of fixed columns in a dialog of fixed inner width: `designed`
// where the columns, the list's frame and a vertical scroll bar fit beside it, else what is
// left, so that the scroll bar of a long list does not cover the last column.
int ListSideMargin(const QTreeView* view, int dialogWidth, int designed);

// The dialogs' font: a small sans serif of the width the fixed column and control sizes were
// laid out for (8 points, MS Sans Serif where it exists, else its metric look-alikes).
QFont DialogFont();
