// The main window's account of failures: the add-failure message, each path with its reason
// and a working link to the manual's page on formats, and the list's "why" command.
#include <QAction>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QStyle>
#include <algorithm>

#include "convert/FileList.h"
#include "ui/FileListModel.h"
#include "ui/MainDlg.h"
#include "ui/MainDlgShared.h"
#include "ui/MessageBox.h"
#include "ui/ScreenFit.h"
#include "ui/SortListCtrl.h"

namespace tonvela {

using namespace main_dlg;

namespace {

QString Html(const std::string& s) { return QString::fromStdString(s).toHtmlEscaped(); }

QString AddFailuresHtml(const CAddFailures& failures) {
    QString html = QStringLiteral("<p>%1</p><p>").arg(Html(kAddFailureTitle));
    for (const CAddFailures::Failure& f : failures.Listed())
        html += QStringLiteral("<b>%1</b><br>&nbsp;&nbsp;&nbsp;%2<br>").arg(Html(f.path), Html(f.reason));
    if (failures.More()) html += QStringLiteral("&lt;more files&gt;...<br>");
    html += QStringLiteral("</p><p>To get help, please see the manual's <a href=\"%1\">page on supported formats</a>.</p>")
                .arg(Html(CAddFailures::HelpPageUrl()));
    return html;
}

// A message box that is never larger than the screen's room: its text scrolls instead.
class CScrollingMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

    // The text goes into a scroll area where it stood.
    void ScrollText(QLabel* label) {
        auto* grid = qobject_cast<QGridLayout*>(layout());
        const int at = grid ? grid->indexOf(label) : -1;
        if (at < 0) return;
        int row = 0, column = 0, rows = 0, columns = 0;
        grid->getItemPosition(at, &row, &column, &rows, &columns);
        grid->removeWidget(label);
        // The box takes its size from its parts' minimums: the text's width, and its height as
        // far as the screen leaves room beside the button row.
        const int width = std::max(label->minimumWidth(), label->sizeHint().width());
        const int wanted = label->hasHeightForWidth() ? label->heightForWidth(width) : label->sizeHint().height();
        const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
        constexpr int kButtonRow = 120;
        auto* page = new CScrollPage(label, this);
        page->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        page->setMinimumSize(width + bar, std::clamp(RoomFor(this).height() - kButtonRow, 4 * bar, std::max(wanted, 4 * bar)));
        grid->addWidget(page, row, column, rows, columns);
    }

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);  // sizes the box to its text
        FitToScreen(this);
    }
};

}  // namespace

void CMainDlg::ShowAddFailures(const CAddFailures& failures) {
    CScrollingMessageBox box(QMessageBox::Warning, QStringLiteral("Tonvela"), AddFailuresHtml(failures), QMessageBox::Ok,
                             this);
    box.setTextFormat(Qt::RichText);
    box.setTextInteractionFlags(Qt::TextBrowserInteraction);
    // The link opens through the desktop, as the help does, not through the box's own handler.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        label->setOpenExternalLinks(false);
        // Wide enough that most paths keep to one line.
        label->setMinimumWidth(label->fontMetrics().averageCharWidth() * 80);
        connect(label, &QLabel::linkActivated, this, [this] { OpenHelpPage(kFormatsHelpPage); });
        box.ScrollText(label);
    }
    box.exec();
}

void CMainDlg::OnWhy() {
    const std::vector<int> rows = list_->SelectedRows();
    if (rows.empty()) return;
    const QString why = model_->WhyText(rows.front());
    if (!why.isEmpty()) ShowMessageBox(this, why, MessageIcon::Stop);
}

// Added to the list's menu apart from the others: only a failed row has something to say.
void CMainDlg::AddWhyItem(QMenu* menu) {
    whyAction_ = menu->addAction(QStringLiteral("&Why did it fail?"));
    whyAction_->setObjectName(QStringLiteral("why"));
    connect(whyAction_, &QAction::triggered, this, &CMainDlg::OnWhy);
}

void CMainDlg::UpdateWhyItem() {
    const std::vector<int> rows = list_->SelectedRows();
    const bool failed = rows.size() == 1 && !model_->WhyText(rows.front()).isEmpty();
    whyAction_->setEnabled(failed);
}

}  // namespace tonvela
