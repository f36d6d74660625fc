// SPDX-License-Identifier: GPL-3.0-or-later
#include "ListLineModel.h"

#include "ui/TableString.h"

#include <QFont>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QTreeView>

#include <algorithm>

TListLineModel::TListLineModel(QStringList headers, QObject* parent)
    : QAbstractTableModel(parent), aHeaders(std::move(headers)) {}

void TListLineModel::SetLines(const std::vector<std::string>& lines) {
    QStringList converted;
    converted.reserve(qsizetype(lines.size()));
    for (const std::string& line : lines)
        converted.push_back(FromTable(line));
    SetLines(std::move(converted));
}

void TListLineModel::SetLines(QStringList lines) {
    beginResetModel();
    aLines = std::move(lines);
    endResetModel();
}

std::string TListLineModel::Line(int row) const {
    if (row < 0 || row >= aLines.size()) return {};
    return ToTable(aLines[row]);
}

int TListLineModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(aLines.size());
}

int TListLineModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(aHeaders.size());
}

QVariant TListLineModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QString& line = aLines[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return line.section(QLatin1Char('\t'), index.column(), index.column());
    case Qt::UserRole:
        return line;
    default:
        return {};
    }
}

QVariant TListLineModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < aHeaders.size())
        return aHeaders[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags TListLineModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QTreeView* CreateListView(QWidget* parent, TListLineModel* model, const std::vector<int>& widths,
                          QAbstractItemView::SelectionMode mode) {
    auto* view = new QTreeView(parent);
    view->setObjectName(QStringLiteral("Liste"));
    view->setModel(model);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true); // 10,000 lines must not be measured one by one
    view->setAllColumnsShowFocus(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(mode);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A text wider than its column ends in "…" instead of being cut inside a letter.
    view->setTextElideMode(Qt::ElideRight);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    view->setFrameShape(QFrame::Box);
    view->setFrameShadow(QFrame::Plain);
    view->setLineWidth(1);
    QHeaderView* header = view->header();
    header->setSectionsMovable(false);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setMinimumSectionSize(1);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setTextElideMode(Qt::ElideNone);
    for (size_t i = 0; i < widths.size(); ++i) {
        header->setSectionResizeMode(int(i), QHeaderView::Fixed);
        header->resizeSection(int(i), widths[i]);
    }
    return view;
}

int ListSideMargin(const QTreeView* view, int dialogWidth, int designed) {
    int needed = view->header()->length() + 2 * view->frameWidth() +
                 view->verticalScrollBar()->sizeHint().width();
    if (view->style()->styleHint(QStyle::SH_ScrollView_FrameOnlyAroundContents, nullptr, view))
        needed += view->style()->pixelMetric(QStyle::PM_ScrollView_ScrollBarSpacing, nullptr, view);
    return std::clamp((dialogWidth - needed) / 2, 0, designed);
}

QFont DialogFont() {
    QFont font;
    // Not "MS Sans Serif" first: fontconfig substitutes a much wider face for it on Linux,
    // which cuts the dates and captions; Liberation Sans has Arial's metrics.
    font.setFamilies(
        {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("Helvetica")});
    font.setPointSize(8);
    return font;
}
