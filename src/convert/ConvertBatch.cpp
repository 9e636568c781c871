#include "convert/ConvertBatch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

#include "convert/BatchTemplate.h"
#include "convert/ConvertFile.h"
#include "convert/ConvertOptions.h"
#include "convert/FileListColumns.h"
#include "convert/HtmlPage.h"
#include "convert/OutputNames.h"
#include "convert/TempFile.h"
#include "convert/WebPlayerFiles.h"
#include "platform/NameClaim.h"
#include "platform/PathName.h"
#include "platform/PendingOutput.h"
#include "swf/SoundSwfLayouts.h"
#include "swf/SwfTemplate.h"

namespace tonvela {

namespace {

struct EntryOutcome {
    bool ok = false;
    std::string status;
};

void ClearOutputs(CFileListEntry& entry) {
    entry.swfPath.clear();
    entry.playerSwfPath.clear();
    entry.htmlPath.clear();
    entry.convertedSeconds = 0;
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
EntryOutcome ConvertNamedEntry(CBatchTemplate& bt, CFileListEntry& entry, const CConvertOptions& settings,
                               CConvertProgress& progress, CWebPlayerCopies* webPlayer, CNameClaims& claims) {
    EntryOutcome out;
    CTempFile mp3;
    ConvertResult result;
    // The page's web player first: a page that cannot play is no success, so nothing is written.
    std::string webPlayerError;
    out.ok = CWebPlayerCopies::EnsureForPage(webPlayer, entry.htmlPath, webPlayerError) && mp3.Create() &&
             ConvertFile(entry.kind, entry.path, mp3.Path(), progress, settings, result, bt.encodeThreads) &&
             mp3.Size() > 0 && WriteSwfFiles(bt, entry, settings, mp3.Path(), result);
    mp3.Close();
    if (!out.ok) {
        claims.ReleaseAll();
        ClearOutputs(entry);
        if (!result.refusal.empty())
            out.status = result.refusal;
        else
            out.status = webPlayerError.empty() ? kStatusFailure : kStatusWebPlayerNotCopied + webPlayerError;
        return out;
    }
    entry.convertedSeconds = static_cast<int>(std::min<std::uint32_t>(result.convertedSeconds, 0x7FFFFFFF));
    out.status = NameOf(entry.swfPath);
    // A source that ended well before the length it declared (here or when it was listed) was
    // cut while the run read it: the movie holds what there was, the entry says how long that is.
    std::uint32_t declared = result.declaredSeconds;
    if (result.wholeSource && entry.lengthDeclared && entry.durationSeconds > 0 &&
        result.sourceSeconds + 1 < static_cast<std::uint32_t>(entry.durationSeconds))
        declared = std::max(declared, static_cast<std::uint32_t>(entry.durationSeconds));
    if (declared != 0) {
        entry.durationSeconds = static_cast<int>(std::min<std::uint32_t>(result.sourceSeconds, 0x7FFFFFFF));
        out.status += SourceEndedEarlyNote(result.sourceSeconds, declared);
    }
    if (!entry.clashedWithRun.empty())
        out.status += " (renamed: " + NameOf(entry.clashedWithRun) + " was written by an earlier file of this batch)";
    if (settings.CreateHtmlFile && !entry.htmlPath.empty()) {
        // The SWF stands on its own and counts as converted, but the page the user asked for is
        // missing: the status says so, and the page is not named as written.
        if (!WriteHtmlPage(entry, settings, bt.stageWidth, bt.stageHeight, result)) {
            std::string message = kFileCreateError;
            message.replace(message.find("%s"), 2, entry.htmlPath);
            out.status = message;
            claims.Release(entry.htmlPath);
            entry.htmlPath.clear();
        }
    } else {
        entry.htmlPath.clear();
    }
    return out;
}

EntryOutcome ConvertOneEntry(CBatchTemplate& bt, CFileListEntry& entry, const CConvertOptions& settings,
                             CConvertProgress& progress, CWebPlayerCopies* webPlayer, CSweptFolders& swept,
                             COutputReservations& written) {
    std::string error;
    CNameClaims claims;
    OutputNameContext context;
    context.claims = &claims;
    context.swept = &swept;
    context.reservations = &written;
    if (!MakeOutputNames(entry, settings, error, context)) {
        ClearOutputs(entry);
        return {false, error};
    }
    const std::string swfPath = entry.swfPath;
    EntryOutcome out = ConvertNamedEntry(bt, entry, settings, progress, webPlayer, claims);
    written.Release(swfPath, out.ok);
    return out;
}

void StartEntryDisplay(CBatchUi& ui, CConvertProgress& progress, const BatchItem& item, std::size_t i, std::size_t n) {
    ui.ScrollIntoView(item.row);
    ui.SetStatus(item.row, kStatusConverting);
    progress.SetOverallText("Converting " + std::to_string(i + 1) + " of " + std::to_string(n) +
                            " file(s) into SWF...");
    progress.StepOverall();
    progress.SetFileText("Converting " + NameOf(item.entry->path) + "...0%");
    progress.SetFileBarPos(0);
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
    CSweptFolders swept;
    COutputReservations written;  // one entry at a time: only the names written so far
    for (std::size_t i = 0; i < n; ++i) {
        const BatchItem& item = items[i];
        StartEntryDisplay(ui, progress, item, i, n);
        EntryOutcome r = ConvertOneEntry(bt, *item.entry, settings, progress, webPlayer, swept, written);
        if (r.ok) {
            ++outcome.converted;
            ui.SetStatus(item.row, r.status);
            progress.ProcessEvents();
            if (progress.IsCancelled()) {
                outcome.cancelled = true;
                return i;  // converted, but the browse step does not look at it
            }
            continue;
        }
        ++outcome.failed;
        if (progress.IsCancelled()) {
            ui.SetStatus(item.row, kStatusCancelled);
            outcome.cancelled = true;
            return i;
        }
        ui.SetStatus(item.row, r.status);
    }
    return n;
}

// --- several entries at once -------------------------------------------------------------

// The per-file display of one worker: kept here, shown by the batch's own thread.
class CJobProgress : public CConvertProgress {
public:
    CJobProgress(int width, const std::atomic<bool>& cancel) : width_(width), cancel_(cancel) {}
    void SetFileText(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        text_ = text;
    }
    int FileBarWidth() const override { return width_; }
    void SetFileBarRange(int) override {}
    void SetFileBarPos(int pos) override { pos_.store(pos); }
    void SetOverallText(const std::string&) override {}
    void SetOverallRange(int) override {}
    void StepOverall() override {}
    void ProcessEvents() override {}
    bool IsCancelled() const override { return cancel_.load(); }

    std::string Text() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }
    int Pos() const { return pos_.load(); }

private:
    int width_;
    const std::atomic<bool>& cancel_;
    mutable std::mutex mutex_;
    std::string text_;
    std::atomic<int> pos_{0};
};

struct SharedBatch {
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t nextToTake = 0;
    std::size_t nextToName = 0;  // output names are made strictly in input order
    std::vector<std::optional<EntryOutcome>> done;
    std::atomic<bool> cancel{false};
    COutputReservations reservations;
    CSweptFolders swept;
    CWebPlayerCopies* webPlayer = nullptr;
    int encodeThreads = 1;
};

// Makes the names of item i in its turn, so that names are given in input order exactly as
// when converting one by one; the reservations keep a name taken until its entry is done.
bool NameInTurn(SharedBatch& shared, std::size_t i, CFileListEntry& entry, const CConvertOptions& settings,
                CNameClaims& claims, std::string& error) {
    {
        std::unique_lock<std::mutex> lock(shared.mutex);
        shared.changed.wait(lock, [&] { return shared.nextToName == i; });
    }
    // Without the batch lock: with "Overwrite" this may wait for an earlier entry to finish.
    OutputNameContext context;
    context.reservations = &shared.reservations;
    context.claims = &claims;
    context.swept = &shared.swept;
    const bool ok = MakeOutputNames(entry, settings, error, context);
    std::lock_guard<std::mutex> lock(shared.mutex);
    ++shared.nextToName;
    shared.changed.notify_all();
    return ok;
}

void Worker(const std::vector<BatchItem>& items, const CConvertOptions& settings, SharedBatch& shared,
            CJobProgress& progress) {
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
        progress.SetFileText("Converting " + NameOf(entry.path) + "...0%");
        progress.SetFileBarPos(0);
        EntryOutcome r;
        std::string error;
        CNameClaims claims;
        if (!NameInTurn(shared, i, entry, settings, claims, error)) {
            ClearOutputs(entry);
            r = {false, error};
        } else {
            const std::string swfPath = entry.swfPath;
            if (prepared) {
                r = ConvertNamedEntry(bt, entry, settings, progress, shared.webPlayer, claims);
            } else {
                claims.ReleaseAll();
                ClearOutputs(entry);
                r = {false, kStatusFailure};
            }
            shared.reservations.Release(swfPath, r.ok);
        }
        if (!r.ok && shared.cancel.load()) r.status = kStatusCancelled;
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
    std::vector<std::unique_ptr<CJobProgress>> progresses;
    for (std::size_t w = 0; w < workers; ++w)
        progresses.push_back(std::make_unique<CJobProgress>(progress.FileBarWidth(), shared.cancel));
    // A worker the system refuses to start leaves the others to share the list.
    std::vector<std::jthread> threads = StartThreads(
        workers, [&](std::size_t w) { Worker(items, settings, shared, *progresses[w]); }, start);
    if (threads.empty()) return std::nullopt;

    std::size_t reported = 0;
    std::size_t stoppedAt = n;
    for (;;) {
        // Entries reported in the round in which Cancel is seen are not looked at afterwards.
        const std::size_t reportedBefore = reported;
        std::vector<std::pair<std::size_t, EntryOutcome>> ready;
        bool allDone = false;
        {
            std::unique_lock<std::mutex> lock(shared.mutex);
            shared.changed.wait_for(lock, std::chrono::milliseconds(100));
            while (reported < n && shared.done[reported]) {
                ready.emplace_back(reported, *shared.done[reported]);
                ++reported;
            }
            // Finished: everything reported, or cancelled and every taken entry reported.
            allDone = reported == n || (shared.cancel.load() && reported >= shared.nextToTake);
        }
        for (auto& [i, r] : ready) {
            const BatchItem& item = items[i];
            StartEntryDisplay(ui, progress, item, i, n);
            ui.SetStatus(item.row, r.status);
            if (r.ok) {
                ++outcome.converted;
            } else {
                ++outcome.failed;
                if (r.status == kStatusCancelled && stoppedAt == n) stoppedAt = i;
            }
        }
        std::string line;
        int pos = 0;
        for (const auto& p : progresses) {
            const std::string t = p->Text();
            if (t.empty()) continue;
            if (!line.empty()) line += "  ";
            line += t;
            pos = std::max(pos, p->Pos());
        }
        if (!line.empty()) {
            progress.SetFileText(line);
            progress.SetFileBarPos(pos);
        }
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
    progress.SetOverallRange(static_cast<int>(items.size()));
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
