// Runs one conversion batch on a thread of its own and reports to the window through queued
// signals: the batch's front-end interfaces (CBatchUi, CConvertProgress) are implemented here
// on the batch's thread. Message boxes the batch asks for block the batch until answered;
// Cancel is a flag the batch polls after every block of samples, and the decoding library's
// interrupt while the batch runs, so a read blocked inside the library gives up too.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "convert/BatchUi.h"
#include "convert/ConvertBatch.h"
#include "convert/ConvertOptions.h"

class QWidget;

namespace tonvela {

class CDesktopServices;

class CBatchWorker : public QObject, private CBatchUi, private CConvertProgress {
    Q_OBJECT
public:
    // settings are copied; the entries must outlive the batch and are not touched by anyone
    // else meanwhile except for reading their probed fields. desktop shows the first SWF and
    // must outlive the batch too. Message boxes are owned by messageParent.
    CBatchWorker(std::vector<BatchItem> items, const CConvertOptions& settings, int jobs, int fileBarWidth,
                 CDesktopServices& desktop, QWidget* messageParent);
    // Waits for the batch (asking it to stop first).
    ~CBatchWorker() override;

    void Start();
    void RequestCancel() { cancel_.store(true); }
    // Valid once Finished was emitted.
    const BatchOutcome& Outcome() const { return outcome_; }
    // The entries that could not be converted (not those cancelled or skipped by choice), in
    // input order; valid once Finished was emitted.
    struct Failure {
        int row = 0;
        std::string path;
        std::string status;  // the list's status and its detail
    };
    const std::vector<Failure>& Failures() const { return failures_; }
    std::size_t Total() const { return items_.size(); }

signals:
    void StatusChanged(int row, const QString& text);
    void ReasonChanged(int row, const QString& reason);
    void ScrollRequested(int row);
    void WaitChanged(bool on);
    void ProgressOpened();
    void ProgressClosed();
    void BatchShown(const tonvela::BatchProgressView& view);
    void Finished();

private:
    // CBatchUi, called on the batch's thread.
    void ShowMessage(const std::string& text, MessageIcon icon) override;
    void SetStatus(std::size_t row, const std::string& text) override;
    void SetFailureReason(std::size_t row, const std::string& reason) override {
        emit ReasonChanged(static_cast<int>(row), QString::fromStdString(reason));
    }
    // A row shows its outcome as soon as its file is done, whatever the rows ahead of it do.
    void EntryDone(std::size_t row, const EntryResult& result) override { CBatchUi::EntryFinished(row, result); }
    void EntryFinished(std::size_t row, const EntryResult& result) override;
    void ScrollIntoView(std::size_t row) override;
    void BeginWait() override { emit WaitChanged(true); }
    void EndWait() override { emit WaitChanged(false); }
    CConvertProgress& OpenProgress() override;
    void CloseProgress() override { emit ProgressClosed(); }
    void ShowFirstSwf(const std::string& swfPath) override;

    // CConvertProgress, called on the batch's thread: the batch gives each file a display of its
    // own and shows the whole here; only changes are sent on.
    void SetFileText(const std::string&) override {}
    int FileBarWidth() const override { return fileBarWidth_; }
    void SetFileBarRange(int) override {}
    void SetFileBarPos(int) override {}
    void ShowBatch(const BatchProgressView& view) override;
    void ProcessEvents() override {}
    bool IsCancelled() const override { return cancel_.load(); }

    std::vector<BatchItem> items_;
    CConvertOptions settings_;
    int jobs_;
    int fileBarWidth_;
    CDesktopServices& desktop_;
    QPointer<QWidget> messageParent_;
    std::atomic<bool> cancel_{false};
    // A message box the batch waits for: answered by the window's thread, or given up when the
    // worker goes.
    struct MessageWait {
        std::mutex mutex;
        std::condition_variable answered;
        std::uint64_t asked = 0;
        std::uint64_t answeredUpTo = 0;
        bool closing = false;
    };
    std::shared_ptr<MessageWait> message_ = std::make_shared<MessageWait>();
    BatchOutcome outcome_;
    std::vector<Failure> failures_;
    std::thread thread_;

    // Last view sent, so an unchanged one costs no signal (the batch thread's own).
    BatchProgressView shown_;
    bool anyShown_ = false;
};

}  // namespace tonvela

Q_DECLARE_METATYPE(tonvela::BatchProgressView)
