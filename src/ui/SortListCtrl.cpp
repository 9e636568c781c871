#include "ui/SortListCtrl.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QPainter>
#include <QStyleOptionHeader>
#include <algorithm>

#include "ui/FileListModel.h"

namespace tonvela {

namespace {

// A header whose titles give way to the sort arrow beside them: the style shortens a title to
// its section's width and then draws it beside the arrow, so a right-aligned title in a narrow
// column ran under the arrow.
class CSortHeader : public QHeaderView {
public:
    explicit CSortHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override {
        QHeaderView::initStyleOptionForIndex(option, logicalIndex);
        if (option->icon.isNull()) return;
        QStyleOptionHeader section = *option;
        section.rect = QRect(0, 0, sectionSize(logicalIndex), height());
        const int label = style()->subElementRect(QStyle::SE_HeaderLabel, &section, this).width();
        const int arrow = style()->pixelMetric(QStyle::PM_SmallIconSize, &section, this) + 2;
        option->text = option->fontMetrics.elidedText(option->text, Qt::ElideRight, std::max(0, label - arrow));
    }
};

}  // namespace

CSortListCtrl::CSortListCtrl(CFileListModel& model, QWidget* parent) : QTreeView(parent), model_(model) {
    setObjectName(QStringLiteral("fileList"));
    setHeader(new CSortHeader(this));
    setModel(&model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setAlternatingRowColors(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideMiddle);
    setSortingEnabled(false);  // sorting is ours: the core's comparisons, the header-click rule

    QHeaderView* h = header();
    // The six widths fill the list but for its frame: the last column gives way, so no
    // horizontal scroll bar appears for two pixels.
    h->setStretchLastSection(true);
    h->setSectionsMovable(false);
    h->setSectionsClickable(true);
    h->setSortIndicatorShown(false);  // the model's titles carry the sort arrow
    for (int c = 0; c + 1 < kFileListColumnCount; ++c) setColumnWidth(c, kFileListColumns[c].width);
    h->setMinimumSectionSize(24);
    connect(h, &QHeaderView::sectionClicked, this, &CSortListCtrl::SortByHeaderClick);
}

std::vector<int> CSortListCtrl::SelectedRows() const {
    std::vector<int> rows;
    if (!selectionModel()) return rows;
    for (const QModelIndex& i : selectionModel()->selectedRows()) rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CSortListCtrl::SelectOnly(int row) {
    const QModelIndex index = model_.index(row, 0);
    if (!index.isValid()) return;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void CSortListCtrl::SelectRows(const std::vector<int>& rows) {
    QItemSelection selection;
    QModelIndex first;
    for (int row : rows) {
        const QModelIndex index = model_.index(row, 0);
        if (!index.isValid()) continue;
        if (!first.isValid()) first = index;
        selection.select(index, index);
    }
    if (!first.isValid()) return;
    selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(first);
    setFocus();
}

void CSortListCtrl::ScrollToRow(int row) {
    const QModelIndex index = model_.index(row, 0);
    if (index.isValid()) scrollTo(index);
}

void CSortListCtrl::SortByHeaderClick(int column) {
    const bool ascending = sortState_.Click(column);
    model_.Sort(column, ascending);
    // The widths are the user's: in a narrow column the arrow stays and the title gives way.
    emit Sorted(column, ascending);
}

QString CSortListCtrl::EmptyHint() {
    return QStringLiteral("Drop audio files or folders here,\nor use Add Files or Add Folder.");
}

void CSortListCtrl::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    if (model_.rowCount() > 0) return;
    QPainter p(viewport());
    p.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    p.drawText(viewport()->rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, EmptyHint());
}

void CSortListCtrl::contextMenuEvent(QContextMenuEvent* event) {
    QPoint global = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        // From the keyboard (the Menu key, Shift+F10) the menu opens below the current row, as
        // a desktop's file lists do; in an empty list, at its top left.
        const QModelIndex current = currentIndex();
        QPoint at(0, 0);
        if (current.isValid()) {
            scrollTo(current);
            const QRect row = visualRect(current);
            at = QPoint(row.left() + row.height() / 2, row.bottom());
        }
        global = viewport()->mapToGlobal(at);
    }
    emit ContextMenuWanted(global);
    event->accept();
}

}  // namespace tonvela
