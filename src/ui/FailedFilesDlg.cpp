#include "ui/FailedFilesDlg.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/ScreenFit.h"

namespace tonvela {

namespace {
constexpr int kRowRole = Qt::UserRole;
}  // namespace

CFailedFilesDlg::CFailedFilesDlg(const std::vector<Failure>& failures, std::size_t total, QWidget* parent)
    : QDialog(parent), list_(new QListWidget(this)), select_(nullptr) {
    setObjectName(QStringLiteral("failedFiles"));
    setWindowTitle(QStringLiteral("Some Files Were Not Converted - Tonvela"));
    setSizeGripEnabled(true);

    auto* icon = new QLabel(this);
    const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(side, side));
    icon->setAlignment(Qt::AlignTop);
    const std::size_t n = failures.size();
    auto* heading = new QLabel(
        n == 1 && total == 1 ? QStringLiteral("The file could not be converted:")
        : n == 1             ? QStringLiteral("1 of %1 files could not be converted:").arg(total)
                             : QStringLiteral("%1 of %2 files could not be converted:").arg(n).arg(total),
        this);
    heading->setObjectName(QStringLiteral("failedHeading"));
    heading->setWordWrap(true);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(heading, 1);

    list_->setObjectName(QStringLiteral("failedList"));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Each file's name over what went wrong, wrapped to the list's width.
    list_->setWordWrap(true);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setResizeMode(QListView::Adjust);
    list_->setSpacing(2);
    list_->setAccessibleName(QStringLiteral("Files not converted"));
    for (const Failure& f : failures) {
        const QString path = QString::fromStdString(f.path);
        const QString status = QString::fromStdString(f.status);
        auto* item = new QListWidgetItem(QFileInfo(path).fileName() + QLatin1Char('\n') + status, list_);
        item->setToolTip(path + QLatin1Char('\n') + status);
        item->setData(kRowRole, f.row);
        item->setSelected(true);
    }
    if (list_->count() > 0) list_->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    heading->setBuddy(list_);

    auto* buttons = new QDialogButtonBox(this);
    select_ = buttons->addButton(QStringLiteral("&Select in List"), QDialogButtonBox::AcceptRole);
    select_->setObjectName(QStringLiteral("selectInList"));
    select_->setDefault(true);
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    close->setText(QStringLiteral("&Close"));
    close->setObjectName(QStringLiteral("close"));
    connect(select_, &QPushButton::clicked, this, &CFailedFilesDlg::ChooseSelected);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    // Enter on the list chooses what is selected; a double click, the file clicked.
    connect(list_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (!item->isSelected()) {
            list_->clearSelection();
            item->setSelected(true);
        }
        ChooseSelected();
    });
    connect(list_, &QListWidget::itemSelectionChanged, this,
            [this] { select_->setEnabled(!list_->selectedItems().isEmpty()); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
    // Wide enough for a long name and its reason; as high as its files, up to six of them.
    const int rows = std::clamp(list_->count(), 2, 6);
    const int listHeight = list_->sizeHintForRow(0) * rows + 2 * list_->frameWidth() + 2;
    resize(std::max(sizeHint().width(), fontMetrics().averageCharWidth() * 90),
           sizeHint().height() - list_->sizeHint().height() + listHeight);
    FitToScreen(this);
}

void CFailedFilesDlg::ChooseSelected() {
    std::vector<int> rows;
    for (int i = 0; i < list_->count(); ++i)
        if (list_->item(i)->isSelected()) rows.push_back(list_->item(i)->data(kRowRole).toInt());
    if (rows.empty()) return;
    std::sort(rows.begin(), rows.end());
    emit RowsChosen(rows);
    accept();
}

}  // namespace tonvela
