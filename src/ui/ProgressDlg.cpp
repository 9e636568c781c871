#include "ui/ProgressDlg.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <system_error>

#include "audio/FfmpegStream.h"

namespace tonvela {

CProgressDlg::CProgressDlg(QWidget* parent)
    : CProgressWindow(parent, "addProgress"), text_(MakeLine("progressText")), bar_(MakeBar(tr("Progress"))) {
    setWindowModality(Qt::NonModal);
    bar_->setRange(0, 0);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(8);
    layout->addWidget(text_);
    layout->addWidget(bar_);
    layout->addLayout(CancelRow());
    setFixedSize(420, 112);
}

void CProgressDlg::SetText(const std::string& text) { text_->setText(QString::fromStdString(text)); }

void CProgressDlg::SetRange(int max) {
    bar_->setRange(0, max > 0 ? max : 1);
    bar_->setValue(0);
}

void CProgressDlg::Step() { bar_->setValue(std::min(bar_->value() + 1, bar_->maximum())); }

void CProgressDlg::ProcessEvents() { QCoreApplication::processEvents(); }

namespace {

// A look that takes longer than this lets the window answer while it goes on.
constexpr std::chrono::milliseconds kQuickLook{20};

// The decoding library hears the flag while the scope lasts.
class CDecoderInterruptScope {
public:
    explicit CDecoderInterruptScope(const std::atomic<bool>& flag) { SetDecoderInterruptFlag(&flag); }
    ~CDecoderInterruptScope() { SetDecoderInterruptFlag(nullptr); }
    CDecoderInterruptScope(const CDecoderInterruptScope&) = delete;
    CDecoderInterruptScope& operator=(const CDecoderInterruptScope&) = delete;
};

}  // namespace

void CProgressDlg::RunAside(const std::function<void()>& work) {
    std::atomic<bool> stop{IsCancelled()};
    const CDecoderInterruptScope interrupt(stop);
    std::future<void> done;
    try {
        done = std::async(std::launch::async, work);
    } catch (const std::system_error&) {
        work();  // no thread to be had: the look runs here, as it always could
        return;
    }
    while (done.wait_for(kQuickLook) != std::future_status::ready) {
        QCoreApplication::processEvents();
        if (IsCancelled()) stop.store(true);
    }
    done.get();  // what the work threw comes out here
}

void CProgressDlg::Open() {
    ShowCentred();
    QCoreApplication::processEvents();
}

QString CProgressDlg::Text() const { return text_->text(); }
int CProgressDlg::Position() const { return bar_->value(); }
int CProgressDlg::Maximum() const { return bar_->maximum(); }

}  // namespace tonvela
