// tonvela-convert: the batch conversion of the main window, for scripts and servers.
//
//   tonvela-convert [options] PATH...
//
// Exit status: 0 all converted, 1 some entry failed, 2 usage, settings or template error,
// 3 the report could not be written to standard output, 130/143 interrupted by SIGINT/SIGTERM
// (what was in hand removed).

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "audio/DecoderStartup.h"
#include "audio/FfmpegStream.h"
#include "convert/BatchUi.h"
#include "convert/ConvertBatch.h"
#include "convert/ConvertOptions.h"
#include "convert/FileList.h"
#include "convert/FileListColumns.h"
#include "convert/FilesFrom.h"
#include "convert/FolderSearch.h"
#include "convert/JsonText.h"
#include "convert/LibraryVersions.h"
#include "convert/OptionOverrides.h"
#include "convert/ProbeFailure.h"
#include "convert/ProgressLines.h"
#include "convert/ReportMerge.h"
#include "convert/ResumeCheck.h"
#include "convert/RunReport.h"
#include "convert/SettingsCatalog.h"
#include "convert/Shard.h"
#include "platform/DataFolder.h"
#include "platform/Interrupt.h"
#include "platform/ResolvedPath.h"
#include "platform/SettingsStore.h"
#include "platform/ShowItems.h"
#include "platform/StandardStreams.h"
#include "platform/TerminalText.h"

namespace tonvela {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitWriteError = 3;

constexpr const char* kStatusFailedToLoad = "Failed to load";
constexpr const char* kStatusAlreadyDone = "Already converted";

// The progress display on stderr, only on a terminal: the overall line, then one line per
// running file, redrawn in place.
class CTerminalProgress : public CConvertProgress {
public:
    explicit CTerminalProgress(bool enabled) : enabled_(enabled) {}
    ~CTerminalProgress() override { Clear(); }

    // The batch gives each file a display of its own; only the batch's view is drawn here.
    void SetFileText(const std::string&) override {}
    int FileBarWidth() const override { return 100; }
    void SetFileBarRange(int) override {}
    void SetFileBarPos(int) override {}
    void ShowBatch(const BatchProgressView& view) override { view_ = view; }
    void ProcessEvents() override {
        if (!enabled_) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - lastDraw_ < std::chrono::milliseconds(100)) return;
        lastDraw_ = now;
        Draw();
    }
    bool IsCancelled() const override { return Interrupted(); }

    void Clear() {
        if (enabled_ && drawnLines_ > 0) {
            std::fputs(Home().c_str(), stderr);
            std::fflush(stderr);
            drawnLines_ = 0;
        }
    }

private:
    // Back to the start of what was drawn, and that cleared.
    std::string Home() const {
        std::string s;
        if (drawnLines_ > 1) s = "\033[" + std::to_string(drawnLines_ - 1) + "A";
        return s + "\r\033[J";
    }

    void Draw() {
        winsize ws{};
        int columns = 80;
        if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 20) columns = ws.ws_col;
        const std::vector<std::string> lines = ProgressLines(view_, static_cast<std::size_t>(columns - 1));
        std::string out = Home();
        for (std::size_t i = 0; i < lines.size(); ++i) out += (i ? "\n" : "") + lines[i];
        std::fputs(out.c_str(), stderr);
        std::fflush(stderr);
        drawnLines_ = static_cast<int>(lines.size());
    }

    bool enabled_;
    int drawnLines_ = 0;
    std::chrono::steady_clock::time_point lastDraw_{};
    BatchProgressView view_;
};

class CCliBatchUi : public CBatchUi {
public:
    CCliBatchUi(std::size_t rows, bool showProgress, bool browse)
        : statuses_(rows), reasons_(rows), progress_(showProgress), browse_(browse) {}

    void ShowMessage(const std::string& text, MessageIcon) override {
        progress_.Clear();
        std::cerr << "tonvela-convert: " << text << "\n";
    }
    void SetStatus(std::size_t row, const std::string& text) override {
        if (row < statuses_.size()) statuses_[row] = text;
        if (row < reasons_.size()) reasons_[row].clear();
    }
    void SetFailureReason(std::size_t row, const std::string& reason) override {
        if (row < reasons_.size()) reasons_[row] = reason;
    }
    CConvertProgress& OpenProgress() override { return progress_; }
    void CloseProgress() override { progress_.Clear(); }
    void ShowFirstSwf(const std::string& swfPath) override {
        if (browse_ && !ShowItems(swfPath)) std::cerr << "tonvela-convert: cannot show " << swfPath << "\n";
    }
    const std::string& Status(std::size_t row) const { return statuses_[row]; }
    const std::string& Reason(std::size_t row) const { return reasons_[row]; }
    // The status with the reason of a failure, for the report of each input.
    std::string StatusWithReason(std::size_t row) const {
        return reasons_[row].empty() ? statuses_[row] : statuses_[row] + ": " + reasons_[row];
    }

private:
    std::vector<std::string> statuses_;
    std::vector<std::string> reasons_;
    CTerminalProgress progress_;
    bool browse_;
};

nlohmann::json ProbeJson(const CFileListEntry& e) {
    return {{"channels", e.channels},
            {"sampleRate", e.sampleRate},
            {"durationSeconds", e.durationSeconds},
            {"bitRate", e.bitRate},
            {"kind", static_cast<int>(e.kind)},
            {"length", ColumnText(e, kColumnLength)}};
}

// One object on one line. Strings go through JsonQuote, so a path that is not UTF-8 is written
// too (its stray bytes as \udcXX) where the library's own dump would throw.
std::string JsonLine(const nlohmann::json& j) {
    std::string line = "{";
    for (auto it = j.begin(); it != j.end(); ++it) {
        if (line.size() > 1) line += ',';
        line += JsonQuote(it.key());
        line += ':';
        line += it->is_string() ? JsonQuote(it->get_ref<const std::string&>()) : it->dump();
    }
    return line + "}";
}

// One input's object; every object has the same keys, so a file that could not be loaded
// (entry null) gets empty paths and null probe values.
// reason: why an entry failed beyond its status ("" when it did not or nothing more is known).
nlohmann::json EntryJson(const std::string& path, const CFileListEntry* e, bool ok, const std::string& status,
                         const std::string& reason, bool alreadyDone = false) {
    std::uintmax_t swfBytes = 0;
    for (const std::string* p : {e ? &e->swfPath : nullptr, e ? &e->playerSwfPath : nullptr}) {
        std::error_code ec;
        const std::uintmax_t size = p && !p->empty() ? std::filesystem::file_size(*p, ec) : 0;
        if (!ec) swfBytes += size;
    }
    nlohmann::json j = {{"path", path}, {"ok", ok}, {"status", status}, {"reason", reason}, {"swf", e ? e->swfPath : ""},
                        {"html", e ? e->htmlPath : ""}, {"player", e ? e->playerSwfPath : ""},
                        {"alreadyDone", alreadyDone}, {"swfBytes", ok ? swfBytes : 0}};
    if (e) {
        j.update(ProbeJson(*e));
    } else {
        // The keys of ProbeJson (the test compares the key sets).
        for (const char* key : {"channels", "sampleRate", "durationSeconds", "bitRate", "kind", "length"}) j[key] = nullptr;
    }
    return j;
}

// --list-settings: a table, or with --json an array of objects. A stored value that the rules
// refused is named: the table adds it to the setting's line, the objects' "stored" holds it
// (null for the others).
void PrintSettings(const CConvertOptions& current, const CConvertOptions& defaults,
                   const std::vector<SettingCorrection>& corrections, bool json) {
    auto correctionOf = [&](const SettingInfo& s) -> const SettingCorrection* {
        for (const SettingCorrection& c : corrections)
            if (c.name == s.name) return &c;
        return nullptr;
    };
    if (json) {
        // Quoted like the conversion's --json: a stored path that is not UTF-8 is written too.
        std::string out = "[";
        for (const SettingInfo& s : kSettingsCatalog) {
            const SettingCorrection* c = correctionOf(s);
            out += out.size() > 1 ? ",\n {" : "\n {";
            out += "\"name\":" + JsonQuote(s.name) + ",\"value\":" + JsonQuote(SettingValueText(current, s)) +
                   ",\"default\":" + JsonQuote(SettingValueText(defaults, s)) +
                   ",\"values\":" + JsonQuote(SettingValuesText(s)) + ",\"meaning\":" + JsonQuote(s.meaning) +
                   ",\"stored\":" + (c ? JsonQuote(c->stored) : std::string("null")) + "}";
        }
        std::cout << out << "\n]\n";
        return;
    }
    // Columns as wide as their values, but a long path only pushes its own line out.
    constexpr std::size_t kMaxColumn = 20;
    std::size_t nameWidth = 4, valueWidth = 5, defaultWidth = 7;
    for (const SettingInfo& s : kSettingsCatalog) {
        nameWidth = std::max(nameWidth, std::string_view(s.name).size());
        valueWidth = std::max(valueWidth, std::min(kMaxColumn, SettingValueText(current, s).size()));
        defaultWidth = std::max(defaultWidth, std::min(kMaxColumn, SettingValueText(defaults, s).size()));
    }
    auto pad = [](std::string t, std::size_t w) { return t.append(w + 2 - std::min(w, t.size()), ' '); };
    std::cout << pad("NAME", nameWidth) << pad("VALUE", valueWidth) << pad("DEFAULT", defaultWidth) << "VALUES; MEANING\n";
    for (const SettingInfo& s : kSettingsCatalog) {
        std::cout << pad(s.name, nameWidth) << pad(SettingValueText(current, s), valueWidth)
                  << pad(SettingValueText(defaults, s), defaultWidth) << SettingValuesText(s) << "; " << s.meaning;
        if (const SettingCorrection* c = correctionOf(s))
            std::cout << "; stored " << c->stored << " is not allowed, read as " << c->readAs;
        std::cout << "\n";
    }
}

void PrintClosestNames(const std::string& name) {
    const std::vector<std::string> close = ClosestSettingNames(name);
    if (close.empty()) {
        std::cerr << "tonvela-convert: --list-settings shows every setting\n";
        return;
    }
    std::cerr << "tonvela-convert: did you mean";
    for (std::size_t i = 0; i < close.size(); ++i) std::cerr << (i == 0 ? " " : ", ") << close[i];
    std::cerr << "? (--list-settings shows every setting)\n";
}

// --merge-reports: one summary of the shards' reports; 1 when anything failed or is missing.
int MergeReportFiles(const std::vector<std::string>& names, bool json) {
    const ReportSummary summary = MergeReports(ReadReports(names));
    std::cout << (json ? SummaryJson(summary) + "\n" : SummaryText(summary));
    return summary.Ok() ? kExitOk : kExitSomeFailed;
}

// An input in the order given: a list entry, or a file that no reader accepted.
struct InputRow {
    std::size_t entry = 0;
    std::string failedPath;
};

int RunCommand(int argc, char** argv) {
    // Names sort by the user's collation, as in the window; nothing else takes the locale.
    std::setlocale(LC_COLLATE, "");
    CLI::App app{"Converts audio files into SWF movies with HTML pages.", "tonvela-convert"};
    app.footer(
        "Web player of the HTML pages (--set HtmlWebPlayer=N):\n"
        "  0  the page embeds the movie for the Flash plug-in only\n"
        "  1  the page also loads the Ruffle web player from HtmlWebPlayerUrl\n"
        "     (default: " + std::string(kDefaultWebPlayerUrl) + ");\n"
        "     the default for settings that hold no choice yet\n"
        "  2  the page loads ruffle/ruffle.js, and Ruffle's files (about 30 MB) are copied\n"
        "     into a ruffle/ folder beside the pages\n"
        "Browsers do not let a page opened from disk (file://) load its movie: view it\n"
        "through a web server (for a quick look: python3 -m http.server in its folder,\n"
        "then http://localhost:8000/) or in Tonvela's preview.\n\n"
        "Whole archives on many machines (Slurm, GNU parallel, Kubernetes): each runs its share\n"
        "  --shard K/N --resume --json-out reports/K.json ARCHIVE\n"
        "then --merge-reports reports/*.json tells whether everything was converted. A failed\n"
        "share is run again with the same K/N. Examples: help/archive.html in the data folder,\n"
        "man tonvela-convert (ARCHIVES ON MANY MACHINES).");
    std::vector<std::string> inputs;
    std::vector<std::string> sets;
    std::string configDir, dataDir;
    bool save = false, probe = false, json = false, quiet = false, browse = false;
    int jobs = 1;
    bool listSettings = false, version = false;
    std::string shardText, filesFrom, baseDir, jsonOut;
    bool nulList = false, resume = false, mergeReports = false;
    app.add_option("PATH", inputs, "Audio files or folders (folders are searched recursively)");
    // One value per --set, so that the paths after it stay paths.
    app.add_option("--set", sets, "Override one setting for this run: NAME=VALUE")
        ->type_name("NAME=VALUE")
        ->allow_extra_args(false);
    app.add_option("--config-dir", configDir, "Settings store folder to read (default: the user's)");
    app.add_option("--data-dir", dataDir, "Data folder (templates, empty.swf, sample.jpg)");
    app.add_flag("--save", save, "Also save the overridden settings into the store");
    app.add_flag("--probe", probe, "Only probe: print the file list's columns for each file");
    app.add_flag("--json", json,
                 "One JSON object per entry. A byte of a path that is not UTF-8 is written as \\udcXX (XX its "
                 "value); Python's os.fsencode(value) gives the path's exact bytes back");
    app.add_option("-j,--jobs", jobs, "Convert N files at once")->check(CLI::Range(1, 256));
    app.add_flag("-q,--quiet", quiet, "No progress display");
    app.add_flag("--browse", browse, "Show the first SWF in the file manager afterwards");
    app.add_flag("--list-settings", listSettings,
                 "List every setting NAME for --set: its current value, default, values and meaning (with --json "
                 "as JSON)");
    app.add_option("--shard", shardText,
                   "Convert only shard K of N (0 <= K < N): the files whose path below the folder given hashes to "
                   "K; every machine computes the same split")
        ->type_name("K/N");
    auto* filesFromOption = app.add_option(
        "--files-from", filesFrom, "Read the inputs from FILE (- for standard input), one per line; relative lines "
                                   "are relative to FILE's folder (standard input: the current folder)")
                               ->type_name("FILE");
    app.add_flag("--null", nulList, "The --files-from list is NUL-separated (find -print0)")->needs(filesFromOption);
    app.add_option("--base", baseDir, "Folder that relative --files-from lines are relative to")
        ->type_name("DIR")
        ->needs(filesFromOption);
    app.add_flag("--resume", resume,
                 "Convert only the files whose outputs are not complete yet (missing, empty or older than the "
                 "source); the others are reported as already converted");
    app.add_option("--json-out", jsonOut,
                   "Write the run's JSON lines to FILE at the end, after a header line naming the shard and settings")
        ->type_name("FILE");
    app.add_flag("--merge-reports", mergeReports,
                 "The PATHs are --json-out reports: print one summary of them and exit, 1 when a file failed or a "
                 "shard's report is missing");
    app.add_flag("--version", version, "Print the program's version and those of the libraries it runs with");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return rc == 0 ? kExitOk : kExitUsage;
    }
    if (version) {
        std::cout << "tonvela-convert " << TONVELA_VERSION << "\n"
                  << "Licence GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>; NO WARRANTY.\n"
                  << LibraryVersionsText();
        return kExitOk;
    }
    if (mergeReports) {
        if (inputs.empty()) {
            std::cerr << "tonvela-convert: --merge-reports needs the report files\n";
            return kExitUsage;
        }
        return MergeReportFiles(inputs, json);
    }
    ShardChoice shard;
    if (!shardText.empty() && !ParseShardChoice(shardText, shard)) {
        std::cerr << "tonvela-convert: --shard needs K/N with 0 <= K < N, got \"" << shardText << "\"\n";
        return kExitUsage;
    }

    // Settings: defaults from the data folder, the store, then the overrides.
    CConvertOptions options(dataDir.empty() ? std::filesystem::path(DataFolder()) : std::filesystem::path(dataDir));
    const std::filesystem::path storeFolder = configDir.empty() ? CSettingsStore::DefaultFolder() : std::filesystem::path(configDir);
    if (storeFolder.empty()) {
        std::cerr << "tonvela-convert: cannot determine the settings folder; use --config-dir\n";
        return kExitUsage;
    }
    CSettingsStore store(storeFolder);
    if (!store.Load()) {
        if (store.SkippedLines().empty())
            std::cerr << "tonvela-convert: warning: the settings store could not be read; using defaults\n";
        for (const std::string& line : store.SkippedLines())
            std::cerr << "tonvela-convert: warning: " << store.FilePath().string() << ", " << line
                      << ": cannot be read, skipped\n";
    }
    std::vector<SettingCorrection> corrections;
    options.Load(store, &corrections);
    std::set<std::string> setNames;  // what --save writes: only these, so concurrent saves all keep theirs
    for (const std::string& s : sets) {
        const std::size_t eq = s.find('=');
        std::string error;
        if (eq == std::string::npos || eq == 0) {
            std::cerr << "tonvela-convert: --set needs NAME=VALUE, got \"" << s << "\"\n";
            return kExitUsage;
        }
        if (!SetOptionByName(options, s.substr(0, eq), s.substr(eq + 1), error)) {
            std::cerr << "tonvela-convert: --set: " << error << "\n";
            if (!FindSetting(s.substr(0, eq))) PrintClosestNames(s.substr(0, eq));
            return kExitUsage;
        }
        setNames.insert(s.substr(0, eq));
        // The value given replaces the stored one, corrected or not.
        std::erase_if(corrections, [&](const SettingCorrection& c) { return c.name == s.substr(0, eq); });
    }
    if (std::string error; !CheckSettingRules(options, error)) {
        std::cerr << "tonvela-convert: --set: " << error << "\n";
        return kExitUsage;
    }
    // Saving comes first: "--set X=Y --save" alone saves, and with --list-settings the list
    // shows what was saved.
    const bool nothingElse = inputs.empty() && filesFrom.empty() && !listSettings;
    if (save && !(nothingElse && setNames.empty())) {
        const bool saved = options.SaveNames(store, setNames);
        if (!store.DamagedCopy().empty())
            std::cerr << "tonvela-convert: the damaged settings store was kept as " << store.DamagedCopy() << "\n";
        if (!saved) {
            std::cerr << "tonvela-convert: the settings could not be saved in " << store.FilePath().string();
            if (!store.SaveError().empty()) std::cerr << ": " << store.SaveError();
            std::cerr << "\n";
            return kExitUsage;
        }
        if (nothingElse) {
            std::cerr << "tonvela-convert: saved";
            for (const std::string& name : setNames) std::cerr << " " << name;
            std::cerr << " in " << store.FilePath().string() << "\n";
            return kExitOk;
        }
    }
    if (listSettings) {
        PrintSettings(options, CConvertOptions(options.dataFolder), corrections, json);
        return kExitOk;
    }
    if (inputs.empty() && filesFrom.empty()) {
        std::cerr << "tonvela-convert: PATH is required\nRun with --help for more information.\n";
        return kExitUsage;
    }

    // Libraries other than the ones we were built against: leave without a word, status 1.
    const CDecoderSession decoder;
    if (decoder.result() == DecoderStartResult::WrongVersion) return 1;
    if (decoder.result() == DecoderStartResult::InitFailed) {
        std::cerr << "tonvela-convert: " << kDecoderInitFailedText << "\n";
        return kExitUsage;
    }

    SetDecoderInterruptFlag(&InterruptFlag());

    // Paths: files as given (like the Add Files dialog), folders searched like Add Folder.
    // Each input with the folder that its files' shard keys are relative to (empty: its own).
    std::vector<ListedInput> listed;
    for (const std::string& in : inputs) listed.push_back({in, {}});
    std::string listError;
    if (!filesFrom.empty() && !ReadFileList(filesFrom, nulList, baseDir, listed, listError)) {
        std::cerr << "tonvela-convert: --files-from: " << listError << "\n";
        return kExitUsage;
    }
    std::vector<std::string> paths;
    for (const ListedInput& in : listed) {
        const std::size_t first = paths.size();
        const std::string folder = ExpandCommandLinePath(in.path, paths);
        KeepShard(paths, first, in.root.empty() ? folder : ResolvedPath(in.root), shard);
    }

    CFileList list;
    std::vector<std::string> failedProbes;
    std::size_t probeFailures = 0;
    std::vector<InputRow> rows;
    for (const std::string& p : paths) {
        const std::size_t before = list.Size();
        const int r = list.AddFileEntry(p);
        if (r == -1) {
            ++probeFailures;
            failedProbes.push_back(p);
            rows.push_back({0, p});
        } else if (list.Size() > before) {
            rows.push_back({before, {}});
        }
        if (Interrupted()) break;
    }
    if (!failedProbes.empty()) {
        CAddFailures failures;
        for (const auto& p : failedProbes) failures.Add(p);
        std::cerr << "tonvela-convert: " << failures.Message() << "\n";
    }

    if (probe) {
        if (json) {
            for (const InputRow& row : rows) {
                const nlohmann::json j = row.failedPath.empty()
                                             ? EntryJson(list.At(row.entry).path, &list.At(row.entry), true, "", "")
                                             : EntryJson(row.failedPath, nullptr, false, kStatusFailedToLoad,
                                                         ProbeFailureReason(row.failedPath));
                std::cout << JsonLine(j) << "\n";
            }
            return probeFailures ? kExitSomeFailed : kExitOk;
        }
        std::cout << "Files\tLength\tBit Rate\tFreq.\tCh.\n";
        for (std::size_t i = 0; i < list.Size(); ++i) {
            const CFileListEntry& e = list.At(i);
            std::cout << TerminalText(ColumnText(e, 0)) << "\t" << ColumnText(e, 1) << "\t" << ColumnText(e, 2) << "\t"
                      << ColumnText(e, 3) << "\t" << ColumnText(e, 4) << "\n";
        }
        return probeFailures ? kExitSomeFailed : kExitOk;
    }

    if (Interrupted()) return kExitSomeFailed;  // nothing converted yet; main says why

    // The after-batch view belongs to the window; here only --browse asks for it.
    CConvertOptions runOptions = options;
    runOptions.BrowseOutFolder = browse ? 1 : 0;
    CCliBatchUi ui(list.Size(), !quiet && ::isatty(STDERR_FILENO), browse);
    std::vector<bool> alreadyDone(list.Size(), false);
    std::vector<BatchItem> items;
    for (std::size_t i = 0; i < list.Size(); ++i) {
        CFileListEntry& e = list.At(i);
        if (resume) {
            PlannedOutputs planned;
            if (OutputsComplete(e.path, runOptions, planned)) {
                e.swfPath = planned.swfPath;
                e.htmlPath = planned.htmlPath;
                e.playerSwfPath = planned.playerSwfPath;
                alreadyDone[i] = true;
                ui.SetStatus(i, kStatusAlreadyDone);
                continue;
            }
            ReleaseAbandonedClaims(planned);
        }
        items.push_back({&e, i});
    }
    const BatchOutcome outcome = items.empty() ? BatchOutcome{true, false, 0, 0}
                                               : ConvertBatch(items, runOptions, ui, jobs);
    if (!outcome.started) return kExitUsage;

    bool anyFailed = probeFailures > 0;
    // A converted entry whose page was asked for but could not be written has failed too.
    auto entryOk = [&](const CFileListEntry& e) {
        return !e.swfPath.empty() && !(runOptions.CreateHtmlFile && e.htmlPath.empty());
    };
    for (std::size_t i = 0; i < list.Size(); ++i) {
        const CFileListEntry& e = list.At(i);
        if (e.swfPath.empty()) continue;
        if (!entryOk(e)) std::cerr << "tonvela-convert: " << TerminalText(e.path) << ": " << ui.StatusWithReason(i) << "\n";
        if (e.outputInDocuments)
            std::cerr << "tonvela-convert: " << TerminalText(e.path)
                      << ": the files could not be created there; written to the documents folder instead: "
                      << TerminalText(e.swfPath) << "\n";
    }
    if (json || !jsonOut.empty()) {
        // One object per input, in the order given (with --jobs too).
        std::vector<std::string> lines;
        for (const InputRow& row : rows) {
            if (!row.failedPath.empty()) {
                lines.push_back(JsonLine(EntryJson(row.failedPath, nullptr, false, kStatusFailedToLoad,
                                                   ProbeFailureReason(row.failedPath))));
                continue;
            }
            const CFileListEntry& e = list.At(row.entry);
            const bool ok = entryOk(e);
            if (!ok) anyFailed = true;
            lines.push_back(
                JsonLine(EntryJson(e.path, &e, ok, ui.Status(row.entry), ui.Reason(row.entry), alreadyDone[row.entry])));
        }
        for (const std::string& line : lines)
            if (json) std::cout << line << "\n";
        std::string error;
        if (!jsonOut.empty() &&
            !WriteRunReport(jsonOut, ReportHeaderLine(shard, Interrupted(), options, TONVELA_VERSION), lines,
                            error)) {
            std::cerr << "tonvela-convert: --json-out: " << jsonOut << ": " << error << "\n";
            anyFailed = true;
        }
    }
    for (std::size_t i = 0; i < list.Size() && !json; ++i) {
        const CFileListEntry& e = list.At(i);
        const std::string status = ui.StatusWithReason(i);
        const bool ok = !e.swfPath.empty();  // a failed or untouched entry has no SWF
        if (!entryOk(e)) anyFailed = true;
        std::cout << TerminalText(e.path) << ": " << (status.empty() ? std::string("not converted") : status) << "\n";
        if (ok) {
            std::cout << "  SWF:    " << TerminalText(e.swfPath) << "\n";
            if (!e.playerSwfPath.empty()) std::cout << "  player: " << TerminalText(e.playerSwfPath) << "\n";
            if (!e.htmlPath.empty()) std::cout << "  HTML:   " << TerminalText(e.htmlPath) << "\n";
        }
    }
    // A shard of a small archive may hold no file at all; that is no failure.
    if (list.Size() == 0 && probeFailures == 0 && shard.count <= 1) {
        std::cerr << "tonvela-convert: no audio files found\n";
        return kExitSomeFailed;
    }
    return anyFailed ? kExitSomeFailed : kExitOk;
}

}  // namespace
}  // namespace tonvela

int main(int argc, char** argv) {
    using namespace tonvela;
    GuardStandardStreams();
    // Whatever a line holds (a file name, a settings value), no control character reaches the terminal.
    const CTerminalEscape escapedOut(std::cout), escapedErr(std::cerr);
    // From the start: a signal cancels the run wherever it is (the current entry is discarded,
    // nothing is left behind) and the run ends within a second.
    InstallInterruptHandling();
    int rc = RunCommand(argc, argv);
    std::string error;
    if (!CloseStdout(error)) {
        std::cerr << "tonvela-convert: write error" << (error.empty() ? "" : ": " + error) << "\n";
        rc = kExitWriteError;
    }
    if (Interrupted()) rc = InterruptExitStatus();
    return rc;
}
