// tonvela-convert: the batch conversion of the main window, for scripts and servers.
//
//   tonvela-convert [options] PATH...
//
// Exit status: 0 all converted, 1 some entry failed, 2 usage, settings or template error,
// 3 the report could not be written to standard output, 130/143 interrupted by SIGINT/SIGTERM
// (what was in hand removed).

#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
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
#include "convert/EntryResult.h"
#include "convert/FileList.h"
#include "convert/FileListColumns.h"
#include "convert/archive/FilesFrom.h"
#include "convert/FolderSearch.h"
#include "convert/JsonText.h"
#include "convert/LibraryVersions.h"
#include "convert/OptionOverrides.h"
#include "convert/ProbeFailure.h"
#include "convert/ProgressLines.h"
#include "convert/archive/ReportMerge.h"
#include "convert/archive/ResumeCheck.h"
#include "convert/archive/ReportReader.h"
#include "convert/archive/ResumeRecord.h"
#include "convert/archive/RunJournal.h"
#include "convert/SettingsCatalog.h"
#include "convert/archive/Shard.h"
#include "platform/AtomicFile.h"
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

// One input of the run, in the order given: its source as the journal records it, its list
// entry (none when no reader accepted the file) and, once finished, its result.
struct InputRow {
    JournalSource source;
    std::optional<std::size_t> entry;
    std::optional<EntryResult> result;
    // A file found done by the record is not opened: its columns are the recorded ones.
    std::optional<CFileListEntry> recorded;
    CResumeRecord::Plan plan;  // with --resume
};

class CCliBatchUi : public CBatchUi {
public:
    // rowOfEntry: the input row of each list entry; journal null without --json-out.
    CCliBatchUi(std::vector<InputRow>& rows, const std::vector<std::size_t>& rowOfEntry, CRunJournal* journal,
                const std::string& fingerprint, bool showProgress, bool browse)
        : rows_(rows), rowOfEntry_(rowOfEntry), journal_(journal), fingerprint_(fingerprint),
          progress_(showProgress), browse_(browse) {}

    void ShowMessage(const std::string& text, MessageIcon) override {
        progress_.Clear();
        std::cerr << "tonvela-convert: " << text << "\n";
    }
    void SetStatus(std::size_t, const std::string&) override {}
    void OutputsNamed(std::size_t entry, const EntryResult& named) override {
        // Only written, not flushed: it is there for a run killed before the entry's own line.
        if (journal_) journal_->Append(JournalNamedLine(rows_[rowOfEntry_[entry]].source, fingerprint_, named),
                                      CRunJournal::Flush::None);
    }
    void EntryFinished(std::size_t entry, const EntryResult& result) override {
        InputRow& row = rows_[rowOfEntry_[entry]];
        row.result = result;
        if (journal_)
            journal_->Append(JournalEntryLine(row.source, fingerprint_, result, probe_(entry)), CRunJournal::Flush::Soon);
    }
    CConvertProgress& OpenProgress() override { return progress_; }
    void CloseProgress() override { progress_.Clear(); }
    void ShowFirstSwf(const std::string& swfPath) override {
        if (browse_ && !ShowItems(swfPath)) std::cerr << "tonvela-convert: cannot show " << swfPath << "\n";
    }
    // The probed entry of a list index, for the journal's columns.
    void SetProbeLookup(std::function<const CFileListEntry*(std::size_t)> lookup) { probe_ = std::move(lookup); }

private:
    std::vector<InputRow>& rows_;
    const std::vector<std::size_t>& rowOfEntry_;
    CRunJournal* journal_;
    const std::string& fingerprint_;
    CTerminalProgress progress_;
    bool browse_;
    std::function<const CFileListEntry*(std::size_t)> probe_ = [](std::size_t) { return nullptr; };
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

// Every object has the same keys, so a file that could not be loaded (entry null) gets null
// probe values. reason: why an entry failed beyond its status.
// --probe --json: the probed columns of one input.
nlohmann::json EntryJson(const std::string& path, const CFileListEntry* e, bool ok, const std::string& status,
                         const std::string& reason) {
    nlohmann::json j = {{"path", path}, {"ok", ok}, {"status", status}, {"reason", reason}};
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

std::string Quoted(const std::string& path) { return "\"" + EscapedBytes(path) + "\""; }

// Reads the reports a resumed run goes on from. continued: the run's own journal (of shard
// `shard`); it stays continued only when it is a journal of this shard (a report of version 1,
// written whole, is read and then replaced). False with a message printed when one cannot be
// read or is another shard's journal.
bool ReadRecord(const std::string& name, const ShardChoice& shard, bool* continued, CResumeRecord& record) {
    constexpr std::size_t kMaxReportBytes = std::size_t{1} << 30;
    std::string text, why;
    if (!ReadWholeFile(name, kMaxReportBytes, text, &why)) {
        std::cerr << "tonvela-convert: --resume-from: " << name << " cannot be read" << (why.empty() ? "" : ": " + why)
                  << "\n";
        return false;
    }
    ParsedReport report;
    std::string error;
    if (!ParseReport(text, report, error)) {
        std::cerr << "tonvela-convert: " << (continued ? "--json-out: " : "--resume-from: ") << name
                  << ": not a tonvela-convert report: " << error << "\n";
        return false;
    }
    if (continued && (report.shard.index != shard.index || report.shard.count != shard.count)) {
        std::cerr << "tonvela-convert: --json-out: " << name << ": the journal of shard " << report.shard.index << "/"
                  << report.shard.count << ", not of this run's " << shard.index << "/" << shard.count << "\n";
        return false;
    }
    if (continued && report.version < kReportVersion) *continued = false;
    if (continued && report.cutLine) {
        // The line a killed run was writing is no entry: it is cut away before lines are added.
        std::error_code ec;
        std::filesystem::resize_file(name, text.rfind('\n') + 1, ec);
        if (ec) {
            std::cerr << "tonvela-convert: --json-out: " << name << ": " << ec.message() << "\n";
            return false;
        }
    }
    record.Add(report, continued && *continued);
    return true;
}

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
    std::vector<std::string> resumeFrom;
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
                   "Convert only shard K of N (0 <= K < N). Every file is in exactly one shard: its key is its path "
                   "below the first folder given that holds it (its name when none does); a file found under "
                   "several names (hard links, overlapping folders, symlinks) counts once, with its smallest key. "
                   "The key's hash picks the shard, so every machine computes the same split")
        ->type_name("K/N");
    auto* filesFromOption = app.add_option(
        "--files-from", filesFrom, "Read the inputs from FILE (- or /dev/stdin for standard input; a FIFO or "
                                   "<(find ...) too), one per line (CRLF lines and a UTF-8 byte-order mark are "
                                   "read too); relative lines are relative to FILE's folder (standard input and "
                                   "<(...): the current folder)")
                               ->type_name("FILE");
    app.add_flag("--null", nulList, "The --files-from list is NUL-separated (find -print0)")->needs(filesFromOption);
    app.add_option("--base", baseDir, "Folder that relative --files-from lines are relative to")
        ->type_name("DIR")
        ->needs(filesFromOption);
    app.add_flag("--resume", resume,
                 "Convert only the files that are not done yet. With a journal (the --json-out FILE of earlier "
                 "runs, continued, and any --resume-from REPORT) a file is done when its line says it was "
                 "converted from a source of the same size and time with the same settings and its outputs still "
                 "have their sizes; the others are converted again into the outputs recorded for them. That is "
                 "the reliable way. A file without a line is done when its outputs in their first-choice place "
                 "are all there, not empty and newer than the source, and no other input of the run has the "
                 "same first-choice name");
    app.add_option("--resume-from", resumeFrom,
                   "With --resume (implied): also read this report of an earlier run (written elsewhere); may be "
                   "given more than once")
        ->type_name("REPORT")
        ->allow_extra_args(false);
    app.add_option("--json-out", jsonOut,
                   "Keep the run's journal in FILE: a header line, one JSON line per file as soon as its outputs "
                   "are on disk (flushed), a closing line with the counts. A regular or new file (continued by "
                   "--resume, replaced otherwise; a symlink is followed); a FIFO, a pipe or /dev/stdout gets the "
                   "lines as a stream. A folder, another special file or an input or output of the run is refused")
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
    if (app.count("--json-out") && jsonOut.empty()) {
        std::cerr << "tonvela-convert: --json-out needs a file name\n";
        return kExitUsage;
    }
    if (!resumeFrom.empty()) resume = true;
    ShardChoice shard;
    if ((app.count("--shard") || !shardText.empty()) && !ParseShardChoice(shardText, shard)) {
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
    for (const std::string& in : inputs) listed.push_back({in, {}, 0});
    std::string listError;
    if (!filesFrom.empty() && !ReadFileList(filesFrom, nulList, baseDir, listed, listError)) {
        std::cerr << "tonvela-convert: --files-from: " << listError << "\n";
        return kExitUsage;
    }
    std::vector<FoundFile> found;
    std::vector<std::string> roots;
    for (const ListedInput& in : listed) {
        std::vector<std::string> expanded;
        const std::string folder = ExpandCommandLinePath(in.path, expanded);
        const std::string root = in.root.empty() ? folder : ResolvedPath(in.root);
        if (!root.empty() && std::find(roots.begin(), roots.end(), root) == roots.end()) roots.push_back(root);
        if (in.line != 0 && folder.empty() && !std::filesystem::exists(std::filesystem::symlink_status(in.path)))
            std::cerr << "tonvela-convert: --files-from: line " << in.line << ": " << Quoted(in.path)
                      << ": no such file\n";
        for (std::string& p : expanded) found.push_back({std::move(p), root});
    }
    const std::vector<ShardFile> files = PartitionFiles(found, roots, shard);

    // What an earlier run recorded, and the journal of this one: both settled before any work.
    const std::string fingerprint = SettingsFingerprint(options);
    CResumeRecord record;
    struct stat journalStat {};
    bool continueJournal = resume;
    const bool journalIsFile = !jsonOut.empty() && ::stat(jsonOut.c_str(), &journalStat) == 0 &&
                               S_ISREG(journalStat.st_mode) && journalStat.st_size > 0;
    if (resume) {
        for (const std::string& r : resumeFrom)
            if (!ReadRecord(r, shard, nullptr, record)) return kExitUsage;
        if (journalIsFile && !ReadRecord(jsonOut, shard, &continueJournal, record)) return kExitUsage;
    }
    CRunJournal journal;
    if (!jsonOut.empty()) {
        JournalForbidden forbidden;
        auto addFile = [&](const std::string& p) {
            struct stat st {};
            if (::stat(p.c_str(), &st) == 0) forbidden.files.insert({st.st_dev, st.st_ino});
        };
        auto addOutput = [&](const std::string& p) {
            if (p.empty()) return;
            std::error_code ec;
            forbidden.paths.insert(std::filesystem::absolute(p, ec).lexically_normal().string());
            // An output not made yet is the same file by another spelling through a linked folder.
            if (std::string canonical = std::filesystem::weakly_canonical(p, ec).string(); !ec && !canonical.empty())
                forbidden.paths.insert(std::move(canonical));
            addFile(p);
        };
        for (const FoundFile& f : found) addFile(f.path);
        if (!filesFrom.empty() && filesFrom != "-") addFile(filesFrom);
        for (const std::string& r : resumeFrom) addFile(r);
        for (const ShardFile& f : files) {
            const PlannedOutputs planned = PlannedOutputPaths(f.path, options);
            for (const std::string* p : {&planned.swfPath, &planned.htmlPath, &planned.playerSwfPath}) addOutput(*p);
        }
        for (const std::string& p : record.RecordedOutputs()) addOutput(p);
        std::string error;
        if (!journal.Open(jsonOut, continueJournal, forbidden, error)) {
            std::cerr << "tonvela-convert: --json-out: " << jsonOut << ": " << error << "\n";
            return kExitUsage;
        }
        if (!journal.Append(ReportHeaderLine(shard, options, TONVELA_VERSION), CRunJournal::Flush::Now)) {
            std::cerr << "tonvela-convert: --json-out: " << jsonOut << ": " << journal.Error() << "\n";
            return kExitUsage;
        }
    }
    CRunJournal* journalOut = journal.IsOpen() ? &journal : nullptr;

    CFileList list;
    std::vector<std::string> failedProbes;
    std::size_t probeFailures = 0;
    std::vector<InputRow> rows;
    std::vector<std::size_t> rowOfEntry;
    std::size_t alreadyDone = 0;
    for (const ShardFile& f : files) {
        const std::size_t before = list.Size();
        JournalSource source = StampSource(f.path, f.key);
        CResumeRecord::Plan plan;
        if (resume && !probe) {
            plan = record.PlanFor(source, fingerprint, options);
            if (plan.state == CResumeRecord::State::Done) {
                // Done by the record: not opened, nothing decoded.
                if (journalOut && !plan.recordedHere)
                    journalOut->Append(JournalEntryLine(source, fingerprint, plan.done, &plan.probe),
                                       CRunJournal::Flush::None);
                ++alreadyDone;
                InputRow row{std::move(source), std::nullopt, plan.done, plan.probe, {}};
                rows.push_back(std::move(row));
                continue;
            }
        }
        const int r = list.AddFileEntry(f.path);
        if (r == -1) {
            ++probeFailures;
            failedProbes.push_back(f.path);
            EntryResult failed;
            failed.reasonCode = reason::kLoadFailed;
            failed.reasonText = ProbeFailureReason(f.path);
            rows.push_back({std::move(source), std::nullopt, std::move(failed), std::nullopt, {}});
        } else if (list.Size() > before) {
            rowOfEntry.push_back(rows.size());
            rows.push_back({std::move(source), before, std::nullopt, std::nullopt, std::move(plan)});
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
                const nlohmann::json j = row.entry ? EntryJson(row.source.path, &list.At(*row.entry), true, "", "")
                                                   : EntryJson(row.source.path, nullptr, false, kStatusFailedToLoad,
                                                               row.result->reasonText);
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
    auto probeOf = [&](std::size_t i) -> const CFileListEntry* { return i < list.Size() ? &list.At(i) : nullptr; };
    auto probeOfRow = [&](const InputRow& row) -> const CFileListEntry* {
        return row.entry ? &list.At(*row.entry) : row.recorded ? &*row.recorded : nullptr;
    };
    if (journalOut) {
        for (const InputRow& row : rows)
            if (!row.entry && !row.recorded)
                journalOut->Append(JournalEntryLine(row.source, fingerprint, *row.result, nullptr), CRunJournal::Flush::None);
    }

    if (Interrupted()) return kExitSomeFailed;  // nothing converted yet; main says why

    // The after-batch view belongs to the window; here only --browse asks for it.
    CConvertOptions runOptions = options;
    runOptions.BrowseOutFolder = browse ? 1 : 0;
    CCliBatchUi ui(rows, rowOfEntry, journalOut, fingerprint, !quiet && ::isatty(STDERR_FILENO), browse);
    ui.SetProbeLookup(probeOf);
    // Without a record: a first-choice name that two inputs share proves neither done.
    std::map<std::string, int> firstChoiceUsers;
    if (resume)
        for (const ShardFile& f : files) ++firstChoiceUsers[PlannedOutputPaths(f.path, runOptions).swfPath];
    std::vector<BatchItem> items;
    for (std::size_t i = 0; i < list.Size(); ++i) {
        CFileListEntry& e = list.At(i);
        InputRow& row = rows[rowOfEntry[i]];
        BatchItem item{&e, i, {}};
        if (resume) {
            const CResumeRecord::Plan& plan = row.plan;
            std::optional<EntryResult> done;
            if (plan.state == CResumeRecord::State::NoRecord) {
                PlannedOutputs planned;
                if (OutputsComplete(e.path, runOptions, planned) && firstChoiceUsers[planned.swfPath] == 1) {
                    done.emplace();
                    done->outcome = EntryOutcome::AlreadyDone;
                    done->swfPath = planned.swfPath;
                    done->htmlPath = planned.htmlPath;
                    done->playerSwfPath = planned.playerSwfPath;
                    MeasureOutputs(*done);
                } else if (ClaimedByLiveRun(planned)) {
                    // Another run holds its names: converting it here too would number a copy.
                    done.emplace();
                    done->outcome = EntryOutcome::Skipped;
                    done->reasonCode = reason::kInProgressElsewhere;
                    done->reasonText = kStatusInProgressElsewhere;
                } else {
                    ReleaseAbandonedClaims(planned);
                }
            }
            if (done) {
                e.swfPath = done->swfPath;
                e.htmlPath = done->htmlPath;
                e.playerSwfPath = done->playerSwfPath;
                row.result = *done;
                if (done->outcome == EntryOutcome::AlreadyDone) ++alreadyDone;
                if (journalOut)
                    journalOut->Append(JournalEntryLine(row.source, fingerprint, *done, &e), CRunJournal::Flush::None);
                continue;
            }
            item.recordedBase = plan.recordedBase;
        }
        items.push_back(std::move(item));
    }
    const BatchOutcome outcome = items.empty() ? BatchOutcome{true, false, 0, 0}
                                               : ConvertBatch(items, runOptions, ui, jobs);
    if (!outcome.started) {
        if (journalOut)
            journalOut->Append(ReportClosingLine(true, 0, alreadyDone, rows.size() - alreadyDone), CRunJournal::Flush::Now);
        return kExitUsage;
    }

    bool anyFailed = false;
    std::size_t converted = 0, failedCount = 0;
    for (InputRow& row : rows) {
        if (!row.result) {
            // Never started: the run was cancelled first.
            row.result.emplace();
            row.result->outcome = EntryOutcome::Cancelled;
            row.result->reasonCode = reason::kCancelled;
        }
        const EntryResult& r = *row.result;
        if (r.outcome == EntryOutcome::Converted) ++converted;
        if (!r.Ok()) {
            anyFailed = true;
            ++failedCount;
        }
        if (!row.entry) continue;
        if (r.outcome == EntryOutcome::ConvertedWithoutPage)
            std::cerr << "tonvela-convert: " << TerminalText(row.source.path) << ": " << StatusText(r) << ": " << TerminalText(StatusDetail(r))
                      << "\n";
        if (r.HasOutputs() && list.At(*row.entry).outputInDocuments)
            std::cerr << "tonvela-convert: " << TerminalText(row.source.path)
                      << ": the files could not be created there; written to the documents folder instead: " << TerminalText(r.swfPath)
                      << "\n";
    }
    if (journalOut) {
        journalOut->Append(
            ReportClosingLine(Interrupted() || outcome.cancelled, converted, alreadyDone, failedCount),
            CRunJournal::Flush::Now);
        if (!journalOut->Error().empty()) {
            std::cerr << "tonvela-convert: --json-out: " << jsonOut << ": " << journalOut->Error() << "\n";
            anyFailed = true;
        }
    }
    for (const InputRow& row : rows) {
        const EntryResult& r = *row.result;
        if (json) {
            std::cout << JournalEntryLine(row.source, fingerprint, r, probeOfRow(row)) << "\n";
            continue;
        }
        if (!row.entry && !row.recorded) continue;
        const std::string detail = StatusDetail(r);
        std::cout << TerminalText(row.source.path) << ": " << StatusText(r) << (detail.empty() ? "" : ": " + TerminalText(detail)) << "\n";
        if (r.HasOutputs()) {
            std::cout << "  SWF:    " << TerminalText(r.swfPath) << "\n";
            if (!r.playerSwfPath.empty()) std::cout << "  player: " << TerminalText(r.playerSwfPath) << "\n";
            if (!r.htmlPath.empty()) std::cout << "  HTML:   " << TerminalText(r.htmlPath) << "\n";
        }
    }
    // A shard of a small archive may hold no file at all; that is no failure.
    if (rows.empty() && shard.count <= 1) {
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
