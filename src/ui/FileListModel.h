// The file list's rows as a Qt model: the core's entries in display order, each with the
// conversion's status text (column "SWF"). The core list owns the entries; this model only
// orders and shows them.
#pragma once

#include <QAbstractTableModel>
#include <string>
#include <vector>

#include "convert/FileList.h"
#include "convert/FileListColumns.h"

namespace tonvela {

class CFileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CFileListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The add operations of the core list, with the new entry appended as the last row.
    // AddFileEntry: the new row; kDuplicate when the file is listed already; kFailed when no
    // reader opens it.
    static constexpr int kDuplicate = -2;
    static constexpr int kFailed = -1;
    int AddFileEntry(const std::string& path);
    // AddPathList of the core; returns its failures.
    CAddFailures AddPathList(const std::vector<std::string>& paths, CAddProgress* progress);

    // The row holding the same file as path, or -1.
    int RowOf(const std::string& path) const;

    CFileListEntry& Entry(int row) { return *rows_[static_cast<std::size_t>(row)].entry; }
    const CFileListEntry& Entry(int row) const { return *rows_[static_cast<std::size_t>(row)].entry; }
    std::string CellText(int row, int column) const;
    // Setting a status forgets the reason of an earlier one.
    void SetStatus(int row, const std::string& text);
    // Why the row's conversion failed, beyond its status text.
    void SetReason(int row, const std::string& reason);
    // What the "why" command shows: the status and its reason for a row that failed; empty for
    // a row that converted, waits or runs.
    QString WhyText(int row) const;

    // Removes the given rows (any order); files are never touched. Each removal is kept as
    // one undo step (the last kUndoSteps of them) until UndoRemove puts its rows back.
    void RemoveRows(std::vector<int> rows);
    void RemoveAll();
    static constexpr std::size_t kUndoSteps = 20;
    bool CanUndoRemove() const { return !undo_.empty(); }
    // Puts the rows of the last removal back where they were, with their conversion status and
    // outputs; a file that was added again meanwhile keeps its present row. Returns the rows
    // put back, ascending.
    std::vector<int> UndoRemove();

    // Reorders the rows by one column's texts and sort kind; equal rows keep their order. The
    // column's title then carries an arrow for the direction, beside its text, never over it.
    void Sort(int column, bool ascending);

private:
    struct Row {
        CFileListEntry* entry;
        std::string status;
        std::string reason;
    };
    void SyncNewEntries();
    std::size_t CoreIndexOf(const CFileListEntry* entry) const;

    // A removed row: where it was, its status with the reason of a failure, and its entry.
    struct RemovedRow {
        int row;
        std::string status;
        std::string reason;
        CFileList::CTaken taken;
    };
    // Takes rows (descending, distinct, valid) out into one undo step.
    void TakeRows(const std::vector<int>& rows);

    CFileList list_;
    std::vector<Row> rows_;
    int sortColumn_ = -1;
    bool sortAscending_ = true;
    std::vector<std::vector<RemovedRow>> undo_;  // oldest first
};

}  // namespace tonvela
