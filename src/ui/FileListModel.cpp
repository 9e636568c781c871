#include "ui/FileListModel.h"

#include "ui/Skin.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unordered_map>

#include "convert/ConvertBatch.h"

namespace tonvela {

CFileListModel::CFileListModel(QObject* parent) : QAbstractTableModel(parent) {}

int CFileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CFileListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kFileListColumnCount; }

std::string CFileListModel::CellText(int row, int column) const {
    const Row& r = rows_[static_cast<std::size_t>(row)];
    return column == kColumnSwf ? r.status : ColumnText(*r.entry, column);
}

QVariant CFileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kFileListColumnCount) return {};
    const FileListColumn& col = kFileListColumns[index.column()];
    switch (role) {
        case Qt::DisplayRole: return QString::fromStdString(CellText(index.row(), index.column()));
        case Qt::ToolTipRole:
            if (index.column() == kColumnFiles) return QString::fromStdString(Entry(index.row()).path);
            if (index.column() == kColumnSwf) {
                // The whole status (the column cuts long ones), with the reason of a failure.
                const QString why = WhyText(index.row());
                if (!why.isEmpty()) return why;
                const std::string& status = rows_[static_cast<std::size_t>(index.row())].status;
                return status.empty() ? QVariant() : QVariant(QString::fromStdString(status));
            }
            return {};
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignVCenter |
                                       (col.align == ColumnAlign::Right ? Qt::AlignRight : Qt::AlignLeft));
        default: return {};
    }
}

QVariant CFileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kFileListColumnCount) return {};
    const FileListColumn& col = kFileListColumns[section];
    if (role == Qt::DisplayRole) return QString::fromUtf8(col.title);
    if (role == Qt::DecorationRole && section == sortColumn_)
        return SkinIcon(sortAscending_ ? SkinGlyph::SortUp : SkinGlyph::SortDown, skin::kAccent);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter | (col.align == ColumnAlign::Right ? Qt::AlignRight : Qt::AlignLeft));
    return {};
}

// The core list appends; every entry it holds that has no row yet gets one at the end.
void CFileListModel::SyncNewEntries() {
    if (list_.Size() <= rows_.size()) return;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, static_cast<int>(list_.Size()) - 1);
    for (std::size_t i = rows_.size(); i < list_.Size(); ++i) rows_.push_back(Row{&list_.At(i), {}, {}});
    endInsertRows();
}

int CFileListModel::AddFileEntry(const std::string& path) {
    const int r = list_.AddFileEntry(path);
    if (r == -1) return kFailed;
    if (list_.Size() == rows_.size()) return kDuplicate;
    SyncNewEntries();
    return static_cast<int>(rows_.size()) - 1;
}

CAddFailures CFileListModel::AddPathList(const std::vector<std::string>& paths, CAddProgress* progress) {
    // Rows appear as the files are added, so the list fills while the progress window shows.
    class CSyncingProgress : public CAddProgress {
    public:
        CSyncingProgress(CFileListModel& model, CAddProgress* inner) : model_(model), inner_(inner) {}
        void SetText(const std::string& t) override { if (inner_) inner_->SetText(t); }
        void SetRange(int max) override { if (inner_) inner_->SetRange(max); }
        void Step() override { if (inner_) inner_->Step(); }
        void ProcessEvents() override {
            model_.SyncNewEntries();
            if (inner_) inner_->ProcessEvents();
        }
        bool IsCancelled() const override { return inner_ && inner_->IsCancelled(); }
        void RunAside(const std::function<void()>& work) override {
            if (inner_)
                inner_->RunAside(work);
            else
                work();
        }

    private:
        CFileListModel& model_;
        CAddProgress* inner_;
    } syncing(*this, progress);
    CAddFailures failures = list_.AddPathList(paths, &syncing);
    SyncNewEntries();
    return failures;
}

int CFileListModel::RowOf(const std::string& path) const {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        std::error_code ec;
        if (rows_[i].entry->path == path || std::filesystem::equivalent(rows_[i].entry->path, path, ec))
            return static_cast<int>(i);
    }
    return -1;
}

void CFileListModel::SetStatus(int row, const std::string& text) {
    if (row < 0 || row >= rowCount()) return;
    rows_[static_cast<std::size_t>(row)].status = text;
    rows_[static_cast<std::size_t>(row)].reason.clear();
    const QModelIndex cell = index(row, kColumnSwf);
    emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::ToolTipRole});
}

void CFileListModel::SetReason(int row, const std::string& reason) {
    if (row < 0 || row >= rowCount()) return;
    rows_[static_cast<std::size_t>(row)].reason = reason;
    const QModelIndex cell = index(row, kColumnSwf);
    emit dataChanged(cell, cell, {Qt::ToolTipRole});
}

QString CFileListModel::WhyText(int row) const {
    if (row < 0 || row >= rowCount()) return {};
    const Row& r = rows_[static_cast<std::size_t>(row)];
    const bool failed = !r.reason.empty() ||
                        (r.entry->swfPath.empty() && !r.status.empty() && r.status != kStatusConverting &&
                         r.status != kStatusCancelled);
    if (!failed) return {};
    return QString::fromStdString(r.reason.empty() ? r.status : r.status + ": " + r.reason);
}

std::size_t CFileListModel::CoreIndexOf(const CFileListEntry* entry) const {
    for (std::size_t i = 0; i < list_.Size(); ++i)
        if (&list_.At(i) == entry) return i;
    return list_.Size();
}

void CFileListModel::TakeRows(const std::vector<int>& rows) {
    std::vector<RemovedRow> step;
    step.reserve(rows.size());
    for (int row : rows) {
        beginRemoveRows({}, row, row);
        const std::size_t core = CoreIndexOf(rows_[static_cast<std::size_t>(row)].entry);
        Row& gone = rows_[static_cast<std::size_t>(row)];
        step.push_back(RemovedRow{row, std::move(gone.status), std::move(gone.reason), list_.Take(core)});
        rows_.erase(rows_.begin() + row);
        endRemoveRows();
    }
    if (step.empty()) return;
    // Put back in ascending order, each row then lands where it was.
    std::reverse(step.begin(), step.end());
    undo_.push_back(std::move(step));
    if (undo_.size() > kUndoSteps) undo_.erase(undo_.begin());
}

void CFileListModel::RemoveRows(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end(), std::greater<>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(std::remove_if(rows.begin(), rows.end(), [this](int r) { return r < 0 || r >= rowCount(); }),
               rows.end());
    TakeRows(rows);
}

void CFileListModel::RemoveAll() {
    if (rows_.empty()) return;
    // One reset rather than a removal per row: a list of thousands goes at once.
    beginResetModel();
    std::unordered_map<const CFileListEntry*, std::size_t> rowOf;
    for (std::size_t i = 0; i < rows_.size(); ++i) rowOf.emplace(rows_[i].entry, i);
    std::vector<RemovedRow> step;
    step.reserve(rows_.size());
    while (!list_.Empty()) {
        CFileList::CTaken taken = list_.Take(list_.Size() - 1);
        const std::size_t row = rowOf.at(taken.Entry());
        step.push_back(RemovedRow{static_cast<int>(row), std::move(rows_[row].status), std::move(rows_[row].reason), std::move(taken)});
    }
    rows_.clear();
    endResetModel();
    std::sort(step.begin(), step.end(), [](const RemovedRow& a, const RemovedRow& b) { return a.row < b.row; });
    undo_.push_back(std::move(step));
    if (undo_.size() > kUndoSteps) undo_.erase(undo_.begin());
}

std::vector<int> CFileListModel::UndoRemove() {
    std::vector<int> restored;
    if (undo_.empty()) return restored;
    std::vector<RemovedRow> step = std::move(undo_.back());
    undo_.pop_back();
    for (RemovedRow& r : step) {
        const int at = std::min(r.row, rowCount());
        CFileListEntry* entry = r.taken.Entry();
        if (!list_.PutBack(r.taken)) continue;
        beginInsertRows({}, at, at);
        rows_.insert(rows_.begin() + at, Row{entry, std::move(r.status), std::move(r.reason)});
        endInsertRows();
        restored.push_back(at);
    }
    return restored;
}

void CFileListModel::Sort(int column, bool ascending) {
    if (column < 0 || column >= kFileListColumnCount) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::pair<std::string, std::size_t>> keys;
    keys.reserve(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) keys.emplace_back(CellText(static_cast<int>(i), column), i);
    const SortKind kind = kFileListColumns[column].sort;
    std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        const int c = CompareCells(kind, a.first, b.first);
        return ascending ? c < 0 : c > 0;
    });
    std::vector<Row> sorted;
    std::vector<int> newRowOf(rows_.size());
    sorted.reserve(rows_.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
        sorted.push_back(std::move(rows_[keys[k].second]));
        newRowOf[keys[k].second] = static_cast<int>(k);
    }
    rows_ = std::move(sorted);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& i : before) after << index(newRowOf[static_cast<std::size_t>(i.row())], i.column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    const int previous = sortColumn_;
    sortColumn_ = column;
    sortAscending_ = ascending;
    emit headerDataChanged(Qt::Horizontal, std::min(previous < 0 ? column : previous, column),
                           std::max(previous, column));
}

}  // namespace tonvela
