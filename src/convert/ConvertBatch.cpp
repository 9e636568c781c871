#include "convert/ConvertBatch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

#include "convert/BatchProgress.h"
#include "convert/BatchTemplate.h"
#include "convert/ConvertFile.h"
#include "convert/ConvertOptions.h"
#include "convert/FileListColumns.h"
#include "convert/HtmlPage.h"
#include "convert/OutputNames.h"
#include "convert/archive/RecordedOutputs.h"
#include "convert/TempFile.h"
#include "convert/WebPlayerFiles.h"
#include "platform/NameClaim.h"
#include "platform/PathName.h"
#include "platform/PendingOutput.h"
#include "swf/SoundSwfLayouts.h"
#include "swf/SwfTemplate.h"

namespace tonvela {

namespace {

// The result of an entry whose output names could not be chosen.
EntryResult NamingFailure(const std::string& error) {
    EntryResult r;
    r.reasonText = error;
    if (error == kTargetSkipped) {
        r.outcome = EntryOutcome::Skipped;
        r.reasonCode = reason::kTargetExists;
    } else if (error == kTargetIsSource) {
        r.outcome = EntryOutcome::Refused;
        r.reasonCode = reason::kTargetIsSource;
    } else {
        const std::string folderError = kFolderCreateError;
        r.reasonCode = error.compare(0, folderError.find('%'), folderError, 0, folderError.find('%')) == 0
                           ? reason::kFolderNotCreated
                           : reason::kFileNotCreated;
    }
    return r;
}

EntryResult CancelledResult() {
    EntryResult r;
    r.outcome = EntryOutcome::Cancelled;
    r.reasonCode = reason::kCancelled;
    return r;
}

EntryResult InProgressElsewhere() {
    EntryResult r;
    r.outcome = EntryOutcome::Skipped;
    r.reasonCode = reason::kInProgressElsewhere;
    r.reasonText = kStatusInProgressElsewhere;
    return r;
}

// Chooses the item's output names: those an earlier run recorded for it when it has them,
// otherwise as the settings' policy says. named false: result says why not.
bool NameItem(const BatchItem& item, const CConvertOptions& settings, const OutputNameContext& context,
              EntryResult& result) {
    CFileListEntry& entry = *item.entry;
    std::string error;
    if (!item.recordedBase.empty()) {
        switch (NameAsRecorded(entry, settings, item.recordedBase, context.reservations, error)) {
            case RecordedNaming::Done:
                return true;
            case RecordedNaming::InProgressElsewhere:
                result = InProgressElsewhere();
                return false;
            case RecordedNaming::Failed:
                result = NamingFailure(error);
                return false;
            case RecordedNaming::Unavailable:
                break;
        }
    }
    if (MakeOutputNames(entry, settings, error, context)) return true;
    result = NamingFailure(error);
    return false;
}

// What the front end is told once the names are chosen.
EntryResult NamedOutputs(const CFileListEntry& entry) {
    EntryResult r;
    r.swfPath = entry.swfPath;
    r.playerSwfPath = entry.playerSwfPath;
    r.htmlPath = entry.htmlPath;
    for (const std::string* p : {&r.swfPath, &r.playerSwfPath, &r.htmlPath})
        if (!p->empty()) r.outputs.push_back({*p, 0});
    return r;
}

// The settings the SWF layouts use.
SoundSwfOptions SoundSwfOptionsOf(const CConvertOptions& settings) {
    SoundSwfOptions o;
    o.frameRate = settings.SWFFrameRate;
    o.blankFrames = settings.BlankFrames;
    o.initPlay = settings.SWFInitPlay != 0;
    o.loopPlay = settings.SWFLoopPlay != 0;
    o.copyControls = settings.CreateCtrlSWF != 0;
    o.backgroundColour = settings.SWFBkgColor;
    return o;
}

// Writes the entry's SWF file(s) from the MP3 under temporary names beside the targets and
// moves them into place only when complete.
bool WriteSwfFiles(CBatchTemplate& bt, const CFileListEntry& entry, const CConvertOptions& settings,
                   const std::string& mp3Path, const ConvertResult& result) {
    SoundSwfNumbers numbers;
    numbers.outputSamples = result.outputSamples;
    numbers.convertedSeconds = static_cast<int>(std::min<std::uint32_t>(result.convertedSeconds, 0x7FFFFFFF));
    numbers.seekSamples = result.encoderDelay + kMp3DecoderDelay;
    const SoundSwfOptions options = SoundSwfOptionsOf(settings);

    CPendingOutput swf, player;
    if (!swf.Create(entry.swfPath)) return false;
    const bool pair = bt.writer == BatchWriter::ShellPlayerPair;
    if (pair && !player.Create(entry.playerSwfPath)) return false;

    bool ok = false;
    switch (bt.writer) {
        case BatchWriter::StreamingWithControls:
        case BatchWriter::Streaming:
            ok = WriteStreamingSwf(options, numbers, mp3Path, swf.TempPath(), *bt.tmpl, bt.actions);
            break;
        case BatchWriter::ShellPlayerPair:
            ok = WriteShellPlayerPair(options, numbers, mp3Path, swf.TempPath(), player.TempPath(), *bt.tmpl);
            break;
        case BatchWriter::Event:
            ok = WriteEventSwf(options, numbers, mp3Path, swf.TempPath(), *bt.tmpl, bt.actions);
            break;
    }
    if (!ok) return false;
    // Without its player the sound SWF is of no use: both go in, or the old pair stays. The
    // sound SWF goes first: should the run be killed between the two, the sound SWF is there
    // (a later run takes the input as converted or numbers its own) and the player's claim is
    // abandoned, rather than a player without its sound.
    return pair ? CommitTogether(swf, player) : swf.Commit();
}

// Everything after the output names: the MP3, the SWF files and the HTML page.
EntryResult ConvertNamedEntry(CBatchTemplate& bt, CFileListEntry& entry, const CConvertOptions& settings,
                              CConvertProgress& progress, CWebPlayerCopies* webPlayer, CNameClaims& claims) {
    EntryResult out;
    CTempFile mp3;
    ConvertResult result;
    // The page's web player first: a page that cannot play is no success, so nothing is written.
    std::string webPlayerError;
    // Each step that fails leaves its reason for the list's tooltip and the command line.
    std::string reason;
    auto step = [&reason](bool ok, const std::string& why) {
        if (!ok && reason.empty()) reason = why;
        return ok;
    };
    const bool ok = CWebPlayerCopies::EnsureForPage(webPlayer, entry.htmlPath, webPlayerError) &&
                   step(mp3.Create(), "no temporary file could be made for the MP3") &&
                   step(ConvertFile(entry.kind, entry.path, mp3.Path(), progress, settings, result, bt.encodeThreads),
                        result.failure) &&
                   step(mp3.Size() > 0, "the MP3 encoder wrote nothing") &&
                   step(WriteSwfFiles(bt, entry, settings, mp3.Path(), result),
                        "the SWF file could not be written in " +
                            std::filesystem::path(entry.swfPath).parent_path().string());
    mp3.Close();
    if (!ok) {
        claims.ReleaseAll();
        entry.ForgetOutputs();
        out.outcome = EntryOutcome::Failed;
        if (!result.refusal.empty()) {
            out.outcome = EntryOutcome::Refused;
            out.reasonCode = result.refusal == kRefusalNoSound ? reason::kNoSound : reason::kRefusedBySettings;
            out.reasonText = result.refusal;
        } else if (!webPlayerError.empty()) {
            out.reasonCode = reason::kWebPlayerNotCopied;
            out.reasonText = kStatusWebPlayerNotCopied + webPlayerError;
        } else {
            out.reasonCode = reason::kConversionFailed;
            out.reasonText = reason;
        }
        return out;
    }
    entry.convertedSeconds = static_cast<int>(std::min<std::uint32_t>(result.convertedSeconds, 0x7FFFFFFF));
    out.outcome = EntryOutcome::Converted;
    out.secondsRead = result.sourceSeconds;
    // A source that ended well before the length it declared (here or when it was listed) was
    // cut while the run read it: the movie holds what there was, the entry says how long that is.
    std::uint32_t declared = result.declaredSeconds;
    if (result.wholeSource && entry.lengthDeclared && entry.durationSeconds > 0 &&
        result.sourceSeconds + 1 < static_cast<std::uint32_t>(entry.durationSeconds))
        declared = std::max(declared, static_cast<std::uint32_t>(entry.durationSeconds));
    // The length is what was read, not what the header or the file size promised (an MP3
    // padded with zeros is estimated from its size).
    if (result.wholeSource) entry.durationSeconds = static_cast<int>(std::min<std::uint32_t>(result.sourceSeconds, 0x7FFFFFFF));
    if (declared != 0) out.declaredSeconds = declared;
    out.renamedFrom = entry.clashedWithRun;
    if (settings.CreateHtmlFile && !entry.htmlPath.empty()) {
        // The SWF stands on its own and is kept, but the page the user asked for is missing:
        // the entry is not done (every front end counts it failed), and the page is not named
        // as written.
        if (!WriteHtmlPage(entry, settings, bt.stageWidth, bt.stageHeight, result)) {
            out.outcome = EntryOutcome::ConvertedWithoutPage;
            out.reasonCode = reason::kPageNotWritten;
            out.missingPage = entry.htmlPath;
            claims.Release(entry.htmlPath);
            entry.htmlPath.clear();
        }
    } else {
        entry.htmlPath.clear();
    }
    out.swfPath = entry.swfPath;
    out.playerSwfPath = entry.playerSwfPath;
    out.htmlPath = entry.htmlPath;
    MeasureOutputs(out);
    return out;
}

EntryResult ConvertOneEntry(CBatchTemplate& bt, const BatchItem& item, const CConvertOptions& settings,
                            CConvertProgress& progress, CWebPlayerCopies* webPlayer, CSweptFolders& swept,
                            COutputReservations& written, CBatchUi& ui) {
    CFileListEntry& entry = *item.entry;
    CNameClaims claims;
    OutputNameContext context;
    context.claims = &claims;
    context.swept = &swept;
    context.reservations = &written;
    EntryResult out;
    if (!NameItem(item, settings, context, out)) {
        entry.ForgetOutputs();
        return out;
    }
    ui.OutputsNamed(item.row, NamedOutputs(entry));
    const std::string swfPath = entry.swfPath;
    out = ConvertNamedEntry(bt, entry, settings, progress, webPlayer, claims);
    written.Release(swfPath, out.HasOutputs());
    return out;
}

// The display of one file of the batch: what its conversion reports goes into the batch's
// model. One file at a time (front set), the front end is shown the model whenever the
// conversion lets it breathe; several at once, the batch's own thread shows it.
class CFileSlot : public CConvertProgress {
public:
    CFileSlot(CBatchProgress& model, std::size_t index, int width, CConvertProgress* front,
              const std::atomic<bool>* cancel)
        : model_(model), index_(index), width_(width), front_(front), cancel_(cancel) {}
    void SetFileText(const std::string& text) override { model_.SetText(index_, text); }
    int FileBarWidth() const override { return width_; }
    void SetFileBarRange(int max) override {
        max_ = max;
        model_.SetBar(index_, pos_, max_);
    }
    void SetFileBarPos(int pos) override {
        pos_ = pos;
        model_.SetBar(index_, pos_, max_);
    }
    void ShowBatch(const BatchProgressView&) override {}
    void ProcessEvents() override {
        if (front_ == nullptr) return;
        ShowModel(model_, *front_, shown_);
        front_->ProcessEvents();
    }
    bool IsCancelled() const override { return front_ ? front_->IsCancelled() : cancel_->load(); }

    // Shows the model when it changed since `shown`.
    static void ShowModel(const CBatchProgress& model, CConvertProgress& front, std::uint64_t& shown) {
        const std::uint64_t v = model.Version();
        if (v == shown) return;
        shown = v;
        front.ShowBatch(model.View());
    }

private:
    CBatchProgress& model_;
    std::size_t index_;
    int width_;
    CConvertProgress* front_;
    const std::atomic<bool>* cancel_;
    int pos_ = 0;
    int max_ = 1;
    std::uint64_t shown_ = ~std::uint64_t{0};
};

void MarkConverting(CBatchUi& ui, const BatchItem& item) {
    ui.ScrollIntoView(item.row);
    ui.SetStatus(item.row, kStatusConverting);
}

// The entries before `end` are looked at; the first with an existing SWF is shown.
void ShowFirstSwf(const std::vector<BatchItem>& items, std::size_t end, CBatchUi& ui) {
    for (std::size_t i = 0; i < end && i < items.size(); ++i) {
        const std::string& p = items[i].entry->swfPath;
        std::error_code ec;
        if (!p.empty() && std::filesystem::exists(p, ec)) {
            ui.ShowFirstSwf(p);
            return;
        }
    }
}

std::size_t RunSequential(const std::vector<BatchItem>& items, const CConvertOptions& settings, CBatchUi& ui,
                          CConvertProgress& progress, CBatchTemplate& bt, BatchOutcome& outcome,
                          CWebPlayerCopies* webPlayer) {
    const std::size_t n = items.size();
    CBatchProgress model(n);
    std::uint64_t shown = ~std::uint64_t{0};
    CSweptFolders swept;
    COutputReservations written;  // one entry at a time: only the names written so far
    for (std::size_t i = 0; i < n; ++i) {
        const BatchItem& item = items[i];
        MarkConverting(ui, item);
        model.Begin(i, NameOf(item.entry->path));
        CFileSlot::ShowModel(model, progress, shown);
        CFileSlot slot(model, i, progress.FileBarWidth(), &progress, nullptr);
        EntryResult r = ConvertOneEntry(bt, item, settings, slot, webPlayer, swept, written, ui);
        model.Finish(i);
        CFileSlot::ShowModel(model, progress, shown);
        // An entry whose outputs were committed is reported as it is, even when Cancel came meanwhile.
        if (!r.HasOutputs() && progress.IsCancelled()) r = CancelledResult();
        ++(r.outcome == EntryOutcome::Converted ? outcome.converted : outcome.failed);
        ui.EntryDone(item.row, r);
        ui.EntryFinished(item.row, r);
        if (r.HasOutputs()) progress.ProcessEvents();
        if (progress.IsCancelled()) {
            outcome.cancelled = true;
            return i;  // the browse step does not look at this one
        }
    }
    return n;
}

// --- several entries at once -------------------------------------------------------------

struct SharedBatch {
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t nextToTake = 0;
    std::size_t nextToName = 0;  // output names are made strictly in input order
    std::vector<std::optional<EntryResult>> done;
    std::atomic<bool> cancel{false};
    COutputReservations reservations;
    CSweptFolders swept;
    CWebPlayerCopies* webPlayer = nullptr;
    int encodeThreads = 1;
    CBatchProgress* model = nullptr;
    int barWidth = 100;
};

// Makes the names of item i in its turn, so that names are given in input order exactly as
// when converting one by one; the reservations keep a name taken until its entry is done.
bool NameInTurn(SharedBatch& shared, std::size_t i, const BatchItem& item, const CConvertOptions& settings,
                CNameClaims& claims, EntryResult& result) {
    {
        std::unique_lock<std::mutex> lock(shared.mutex);
        shared.changed.wait(lock, [&] { return shared.nextToName == i; });
    }
    // Without the batch lock: with "Overwrite" this may wait for an earlier entry to finish.
    OutputNameContext context;
    context.reservations = &shared.reservations;
    context.claims = &claims;
    context.swept = &shared.swept;
    const bool ok = NameItem(item, settings, context, result);
    std::lock_guard<std::mutex> lock(shared.mutex);
    ++shared.nextToName;
    shared.changed.notify_all();
    return ok;
}

void Worker(const std::vector<BatchItem>& items, const CConvertOptions& settings, SharedBatch& shared, CBatchUi& ui) {
    CBatchTemplate bt;
    const bool prepared = PrepareBatchTemplate(settings, bt) == TemplateError::None;
    bt.encodeThreads = shared.encodeThreads;
    for (;;) {
        std::size_t i;
        {
            std::lock_guard<std::mutex> lock(shared.mutex);
            // Every entry taken goes through its naming turn, so the turns never stall.
            if (shared.nextToTake >= items.size() || shared.cancel.load()) return;
            i = shared.nextToTake++;
        }
        CFileListEntry& entry = *items[i].entry;
        shared.model->Begin(i, NameOf(entry.path));
        CFileSlot progress(*shared.model, i, shared.barWidth, nullptr, &shared.cancel);
        EntryResult r;
        CNameClaims claims;
        if (!NameInTurn(shared, i, items[i], settings, claims, r)) {
            entry.ForgetOutputs();
        } else {
            const std::string swfPath = entry.swfPath;
            if (prepared) {
                ui.OutputsNamed(items[i].row, NamedOutputs(entry));
                r = ConvertNamedEntry(bt, entry, settings, progress, shared.webPlayer, claims);
            } else {
                claims.ReleaseAll();
                entry.ForgetOutputs();
                r.outcome = EntryOutcome::Failed;
                r.reasonCode = reason::kConversionFailed;
                r.reasonText = "the template could not be prepared for this worker";
            }
            shared.reservations.Release(swfPath, r.HasOutputs());
        }
        if (!r.HasOutputs() && shared.cancel.load()) r = CancelledResult();
        shared.model->Finish(i);
        std::lock_guard<std::mutex> lock(shared.mutex);
        shared.done[i] = std::move(r);
        shared.changed.notify_all();
    }
}

// Nothing when not one worker thread could be started (nothing was done then).
std::optional<std::size_t> RunParallel(const std::vector<BatchItem>& items, const CConvertOptions& settings,
                                       CBatchUi& ui, CConvertProgress& progress, int jobs, BatchOutcome& outcome,
                                       CWebPlayerCopies* webPlayer, const ThreadStarter& start) {
    const std::size_t n = items.size();
    SharedBatch shared;
    shared.webPlayer = webPlayer;
    shared.done.resize(n);
    const std::size_t workers = std::min<std::size_t>(static_cast<std::size_t>(jobs), n);
    // Files converted side by side share the cores: none of them starts more encoders than its share.
    shared.encodeThreads = static_cast<int>(std::max<std::size_t>(1, std::max(1u, std::thread::hardware_concurrency()) / workers));
    CBatchProgress model(n);
    shared.model = &model;
    shared.barWidth = progress.FileBarWidth();
    std::uint64_t shown = ~std::uint64_t{0};
    std::size_t marked = 0;  // rows before this one say "Converting..." or their outcome
    // A worker the system refuses to start leaves the others to share the list.
    std::vector<std::jthread> threads = StartThreads(
        workers, [&](std::size_t) { Worker(items, settings, shared, ui); }, start);
    if (threads.empty()) return std::nullopt;

    std::size_t reported = 0;
    std::size_t stoppedAt = n;
    std::vector<bool> doneShown(n, false);  // EntryDone was called for the entry
    for (;;) {
        // Entries reported in the round in which Cancel is seen are not looked at afterwards.
        const std::size_t reportedBefore = reported;
        std::vector<std::pair<std::size_t, EntryResult>> ready;
        std::vector<std::pair<std::size_t, EntryResult>> doneNow;  // in any order, shown at once
        bool allDone = false;
        {
            std::unique_lock<std::mutex> lock(shared.mutex);
            shared.changed.wait_for(lock, std::chrono::milliseconds(100));
            for (std::size_t i = reported; i < shared.nextToTake && i < n; ++i)
                if (shared.done[i] && !doneShown[i]) {
                    doneNow.emplace_back(i, *shared.done[i]);
                    doneShown[i] = true;
                }
            while (reported < n && shared.done[reported]) {
                ready.emplace_back(reported, *shared.done[reported]);
                ++reported;
            }
            // Finished: everything reported, or cancelled and every taken entry reported.
            allDone = reported == n || (shared.cancel.load() && reported >= shared.nextToTake);
        }
        // Rows say "Converting..." from when their file is taken, in input order.
        const BatchProgressView view = model.View();
        auto mark = [&](std::size_t i) {
            for (; marked <= i; ++marked) MarkConverting(ui, items[marked]);
        };
        for (const RunningFileView& f : view.running) mark(f.index);
        for (const auto& [i, r] : doneNow) {
            mark(i);
            ui.EntryDone(items[i].row, r);
        }
        for (auto& [i, r] : ready) {
            const BatchItem& item = items[i];
            mark(i);
            ui.EntryFinished(item.row, r);
            if (r.outcome == EntryOutcome::Converted) {
                ++outcome.converted;
            } else {
                ++outcome.failed;
                if (r.outcome == EntryOutcome::Cancelled && stoppedAt == n) stoppedAt = i;
            }
        }
        CFileSlot::ShowModel(model, progress, shown);
        progress.ProcessEvents();
        if (progress.IsCancelled() && !shared.cancel.load()) {
            shared.cancel.store(true);
            stoppedAt = std::min(stoppedAt, reportedBefore);
        }
        if (allDone) break;
    }
    threads.clear();  // joins
    if (shared.cancel.load()) {
        outcome.cancelled = true;
        stoppedAt = std::min(stoppedAt, reported);
    }
    return stoppedAt;
}

}  // namespace

BatchOutcome ConvertBatch(const std::vector<BatchItem>& items, const CConvertOptions& settings, CBatchUi& ui,
                          int jobs, const ThreadStarter& start) {
    BatchOutcome outcome;
    ui.BeginWait();
    CBatchTemplate bt;
    const TemplateError error = PrepareBatchTemplate(settings, bt);
    if (error != TemplateError::None) {
        ui.ShowMessage(TemplateErrorText(error, bt.path, bt.loadError),
                       error == TemplateError::NotAvailable ? MessageIcon::Exclamation : MessageIcon::Stop);
        ui.EndWait();
        return outcome;
    }
    outcome.started = true;
    // The batch goes on, but not quite as the settings asked: say so before it starts.
    if (!bt.notice.empty()) ui.ShowMessage(bt.notice, MessageIcon::Exclamation);

    // Every file needs a temporary file: a folder that refuses one is said once, not as a bare
    // failure of every entry.
    if (const std::string problem = TemporaryFolderProblem(); !problem.empty())
        ui.ShowMessage(problem, MessageIcon::Exclamation);

    CConvertProgress& progress = ui.OpenProgress();
    progress.ShowBatch(CBatchProgress(items.size()).View());
    progress.ProcessEvents();

    const std::unique_ptr<CWebPlayerCopies> webPlayer = CWebPlayerCopies::ForBatch(settings);
    std::optional<std::size_t> stoppedAt;
    if (jobs > 1 && items.size() > 1)
        stoppedAt = RunParallel(items, settings, ui, progress, jobs, outcome, webPlayer.get(), start);
    if (!stoppedAt) stoppedAt = RunSequential(items, settings, ui, progress, bt, outcome, webPlayer.get());
    ui.CloseProgress();
    if (settings.BrowseOutFolder) ShowFirstSwf(items, *stoppedAt, ui);
    ui.EndWait();
    return outcome;
}

}  // namespace tonvela
