// The history dialog's list of recordings, as a file manager's list: a
// right click first selects the row under the pointer (unless it is part of
// the selection already), so what is asked about is what was clicked; the
// Menu key and Delete ask about the selection; Enter plays the current row.
#pragma once

#include <QTableWidget>

#include <vector>

class CRecordList : public QTableWidget {
    Q_OBJECT
public:
    explicit CRecordList(QWidget* parent = nullptr);

    // The selected rows, top to bottom.
    std::vector<int> SelectedRows() const;

signals:
    void DeleteAsked();
    void PlayAsked(int row);

protected:
    void contextMenuEvent(QContextMenuEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
};
