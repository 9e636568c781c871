#include "ui/SheetOptions.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLayout>
#include <QShortcut>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

#include <memory>

#include "convert/ConvertOptions.h"
#include "ui/PageMP3Opt.h"
#include "ui/PageOutputOpt.h"
#include "ui/ScreenFit.h"
#include "ui/SettingsNotSaved.h"
#include "ui/WaitCursor.h"

namespace tonvela {

CSheetOptions::CSheetOptions(CConvertOptions& settings, int startPage, QWidget* parent, PlayerFactory factory)
    : QDialog(parent) {
    setObjectName(QStringLiteral("SheetOptions"));
    setWindowTitle(tr("Options"));
    tabs_ = new QTabWidget(this);
    // The tab bar takes the focus for the pages; the frame around them is no stop of its own.
    tabs_->setFocusPolicy(Qt::NoFocus);
    swf_ = new CPageSWFOpt(settings, settings, std::move(factory));
    sound_ = new CPageMP3Opt(settings);
    output_ = new CPageOutputOpt(settings);
    // A page scrolls when the screen leaves the sheet less room than its rows need.
    tabs_->addTab(new CScrollPage(swf_), tr("SWF Options"));
    tabs_->addTab(new CScrollPage(sound_), tr("Sound Options"));
    tabs_->addTab(new CScrollPage(output_), tr("Output Options"));
    current_ = startPage >= 0 && startPage < kPageCount ? startPage : 0;
    tabs_->setCurrentIndex(current_);
    connect(tabs_, &QTabWidget::currentChanged, this, &CSheetOptions::OnPageChanged);
    // Ctrl+Tab and Ctrl+Shift+Tab turn the pages wherever the focus is: the tab widget's own
    // keys never reach it from a drop-down list, which takes the Tab for its type-ahead search.
    auto turn = [this](QKeySequence::StandardKey keys, int step) {
        auto* s = new QShortcut(this);
        s->setKeys(keys);
        connect(s, &QShortcut::activated, this,
                [this, step] { tabs_->setCurrentIndex((tabs_->currentIndex() + step + tabs_->count()) % tabs_->count()); });
    };
    turn(QKeySequence::NextChild, 1);
    turn(QKeySequence::PreviousChild, -1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSheetOptions::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSheetOptions::reject);
    auto* v = new QVBoxLayout(this);
    v->addWidget(tabs_);
    v->addWidget(buttons);
}

CSheetOptions::~CSheetOptions() {
    // The player goes back to the main window before this window's children are taken down:
    // moved out of a window half destroyed, it crashed the program when a screen reader had
    // asked about it.
    swf_->ReleasePlayer();
}

void CSheetOptions::showEvent(QShowEvent* event) {
    if (!sizeFixed_) {
        sizeFixed_ = true;
        // Each kind's rows in turn, then the template's own again. Rows never shown yet get
        // the style sheet's fonts and paddings first, or their sizes would be too small.
        for (QWidget* w : findChildren<QWidget*>()) w->ensurePolished();
        QSize largest = sizeHint();
        auto measure = [this] {
            // Hidden from the start, the page's nested layouts keep old hints until told.
            for (QLayout* l : findChildren<QLayout*>()) l->invalidate();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            layout()->activate();
            return sizeHint().expandedTo(layout()->totalMinimumSize());
        };
        for (int kind : CPageSWFOpt::kKindsWithOptions) {
            swf_->ShowOptionGroups(kind);
            largest = largest.expandedTo(measure());
        }
        swf_->RefreshOptionGroups();
        measure();
        // As large as the largest rows need, if the screen has the room; never larger.
        largest = largest.expandedTo(size());
        setMaximumSize(largest);
        resize(largest);
        FitToScreen(this);
    }
    QDialog::showEvent(event);
}

COptionsPage* CSheetOptions::PageAt(int index) const {
    switch (index) {
        case kSwfPage: return swf_;
        case kSoundPage: return sound_;
        default: return output_;
    }
}

int CSheetOptions::ActivePage() const { return tabs_->currentIndex(); }

void CSheetOptions::OnPageChanged(int index) {
    if (reverting_) return;
    // The tab has changed already; a page that refuses to be left is brought back.
    if (!PageAt(current_)->OnKillActive()) {
        reverting_ = true;
        tabs_->setCurrentIndex(current_);
        reverting_ = false;
        return;
    }
    current_ = index;
}

void CSheetOptions::accept() {
    if (!PageAt(current_)->OnKillActive()) return;
    for (int i = 0; i < kPageCount; ++i) {
        if (!PageAt(i)->OnOK()) {
            reverting_ = true;
            tabs_->setCurrentIndex(i);
            reverting_ = false;
            current_ = i;
            return;
        }
    }
    QDialog::accept();
}

void CSheetOptions::CopyBack(CConvertOptions& settings) const {
    swf_->CopyBack(settings);
    sound_->CopyBack(settings);
    output_->CopyBack(settings);
}

bool RunOptionsSheet(CConvertOptions& settings, CSettingsStore& store, int& lastPage, QWidget* parent) {
    const CConvertOptions opened = settings;
    // The wait cursor while the pages are built (the preview's player among them), not while
    // the user works in the sheet.
    const auto sheet = [&] {
        CWaitCursor wait;
        return std::make_unique<CSheetOptions>(settings, lastPage, parent);
    }();
    const bool ok = sheet->exec() == QDialog::Accepted;
    lastPage = sheet->ActivePage();
    if (!ok) return false;
    sheet->CopyBack(settings);
    // Only what the user changed in this sheet (the sliders act live, so against the settings
    // as the sheet opened): a value another program saved meanwhile stays, and OK without a
    // change writes nothing, leaving the store byte for byte as it was.
    const std::set<std::string> changed = CConvertOptions::ChangedNames(opened, settings);
    if (!changed.empty() && !settings.SaveNames(store, changed))
        ReportSettingsNotSaved(parent, QStringLiteral("Your options"), store.SaveError());
    return true;
}

}  // namespace tonvela
