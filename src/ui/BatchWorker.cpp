#include "ui/BatchWorker.h"

#include <QMetaObject>
#include <QWidget>

#include "audio/FfmpegStream.h"
#include "ui/DesktopServices.h"
#include "ui/MessageBox.h"

namespace tonvela {

CBatchWorker::CBatchWorker(std::vector<BatchItem> items, const CConvertOptions& settings, int jobs, int fileBarWidth,
                           CDesktopServices& desktop, QWidget* messageParent)
    : items_(std::move(items)),
      settings_(settings),
      jobs_(jobs < 1 ? 1 : jobs),
      fileBarWidth_(fileBarWidth > 0 ? fileBarWidth : 100),
      desktop_(desktop),
      messageParent_(messageParent) {
    qRegisterMetaType<BatchProgressView>();
}

CBatchWorker::~CBatchWorker() {
    {
        // A batch waiting for a message box is let go: the window's thread joins it next and
        // could not show the box meanwhile.
        const std::lock_guard<std::mutex> lock(message_->mutex);
        message_->closing = true;
    }
    message_->answered.notify_all();
    cancel_.store(true);
    if (thread_.joinable()) thread_.join();
}

void CBatchWorker::Start() {
    thread_ = std::thread([this] {
        // One batch at a time (the window is busy meanwhile): Cancel also reaches a read or
        // probe that waits inside the decoding library.
        SetDecoderInterruptFlag(&cancel_);
        outcome_ = ConvertBatch(items_, settings_, *this, jobs_);
        SetDecoderInterruptFlag(nullptr);
        // Queued to the window's thread: it sees outcome_ after the batch wrote it.
        emit Finished();
    });
}

void CBatchWorker::ShowMessage(const std::string& text, MessageIcon icon) {
    const QString qtext = QString::fromStdString(text);
    // The batch waits for the answer, as it would for a modal box on its own thread, unless the
    // worker is being destroyed (checked and waited on under one lock, so no message slips in
    // between). The box gets the shared state, not the worker, which may be gone by its end.
    std::unique_lock<std::mutex> lock(message_->mutex);
    if (message_->closing) return;
    const std::uint64_t asked = ++message_->asked;
    QMetaObject::invokeMethod(
        this,
        [message = message_, parent = messageParent_, qtext, icon, asked] {
            ShowMessageBox(parent, qtext, icon);
            {
                const std::lock_guard<std::mutex> done(message->mutex);
                message->answeredUpTo = asked;
            }
            message->answered.notify_all();
        },
        Qt::QueuedConnection);
    message_->answered.wait(lock, [&] { return message_->closing || message_->answeredUpTo >= asked; });
}

void CBatchWorker::SetStatus(std::size_t row, const std::string& text) {
    emit StatusChanged(static_cast<int>(row), QString::fromStdString(text));
}

void CBatchWorker::EntryFinished(std::size_t row, const EntryResult& result) {
    // The row shows it already (EntryDone); here the batch's failures are collected.
    switch (result.outcome) {
        case EntryOutcome::ConvertedWithoutPage:
        case EntryOutcome::Refused:
        case EntryOutcome::Failed:
            break;
        default:
            return;
    }
    Failure f;
    f.row = static_cast<int>(row);
    for (const BatchItem& item : items_)
        if (item.row == row && item.entry) f.path = item.entry->path;
    f.status = StatusText(result);
    if (const std::string detail = StatusDetail(result); !detail.empty()) f.status += ": " + detail;
    failures_.push_back(std::move(f));
}

void CBatchWorker::ScrollIntoView(std::size_t row) { emit ScrollRequested(static_cast<int>(row)); }

CConvertProgress& CBatchWorker::OpenProgress() {
    emit ProgressOpened();
    return *this;
}

void CBatchWorker::ShowFirstSwf(const std::string& swfPath) {
    // Runs here, not on the window's thread: the file manager may take a while to answer.
    desktop_.ShowItem(swfPath);
}

void CBatchWorker::ShowBatch(const BatchProgressView& view) {
    if (anyShown_ && view == shown_) return;
    shown_ = view;
    anyShown_ = true;
    emit BatchShown(view);
}

}  // namespace tonvela
