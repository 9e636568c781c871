// The file list's view: six columns, several rows selectable, whole rows selected, and sorting
// by a click on a column header (the same column again reverses the direction).
#pragma once

#include <QTreeView>
#include <vector>

#include "convert/FileListColumns.h"

namespace tonvela {

class CFileListModel;

class CSortListCtrl : public QTreeView {
    Q_OBJECT
public:
    explicit CSortListCtrl(CFileListModel& model, QWidget* parent = nullptr);

    CFileListModel& Model() { return model_; }
    // Selected rows in row order.
    std::vector<int> SelectedRows() const;
    // Selects exactly this row, focuses it and scrolls it into view.
    void SelectOnly(int row);
    void ScrollToRow(int row);
    // Selects exactly these rows, the first of them current and in view.
    void SelectRows(const std::vector<int>& rows);

    // What an empty list shows in its middle.
    static QString EmptyHint();

    // What a click on the header of column does.
    void SortByHeaderClick(int column);

signals:
    // After every sort: the column and direction (the parent may take note).
    void Sorted(int column, bool ascending);
    // The context menu is wanted at this global position (right-click or the menu key).
    void ContextMenuWanted(const QPoint& globalPos);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    CFileListModel& model_;
    CSortState sortState_;
};

}  // namespace tonvela
