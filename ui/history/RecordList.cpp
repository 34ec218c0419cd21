#include "RecordList.h"

#include <QContextMenuEvent>
#include <QKeyEvent>

#include <algorithm>

CRecordList::CRecordList(QWidget* parent) : QTableWidget(0, 3, parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);  // Tab leaves the list for the next control
}

std::vector<int> CRecordList::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CRecordList::contextMenuEvent(QContextMenuEvent* e)
{
    if (e->reason() == QContextMenuEvent::Mouse) {  // from the viewport, in its coordinates
        const int row = rowAt(e->pos().y());
        if (row < 0)
            return;
        if (!selectionModel()->isRowSelected(row, QModelIndex())) {
            clearSelection();
            selectRow(row);
        }
        setCurrentCell(row, currentColumn() < 0 ? 0 : currentColumn(), QItemSelectionModel::NoUpdate);
    }
    if (!SelectedRows().empty())
        emit DeleteAsked();
}

void CRecordList::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Delete && e->modifiers() == Qt::NoModifier) {
        if (!SelectedRows().empty())
            emit DeleteAsked();
        return;
    }
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && currentRow() >= 0) {
        emit PlayAsked(currentRow());
        return;
    }
    QTableWidget::keyPressEvent(e);
}
