// tonvela-convert: the batch conversion of the main window, for scripts and servers.
//
//   tonvela-convert [options] PATH...
//
// Exit status: 0 all converted, 1 some entry failed, 2 usage, settings or template error.

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
#include "convert/FolderSearch.h"
#include "convert/JsonText.h"
#include "convert/LibraryVersions.h"
#include "convert/OptionOverrides.h"
#include "convert/SettingsCatalog.h"
#include "platform/DataFolder.h"
#include "platform/ResolvedPath.h"
#include "platform/SettingsStore.h"
#include "platform/ShowItems.h"

namespace tonvela {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUsage = 2;

constexpr const char* kStatusFailedToLoad = "Failed to load";

std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int) { gInterrupted.store(true); }

// The progress display on stderr: one line redrawn in place, only on a terminal.
class CTerminalProgress : public CConvertProgress {
public:
    explicit CTerminalProgress(bool enabled) : enabled_(enabled) {}
    ~CTerminalProgress() override { Clear(); }

    void SetFileText(const std::string& text) override { fileText_ = text; }
    int FileBarWidth() const override { return 100; }
    void SetFileBarRange(int max) override { fileMax_ = max > 0 ? max : 1; }
    void SetFileBarPos(int pos) override { filePos_ = pos; }
    void SetOverallText(const std::string& text) override { overallText_ = text; }
    void SetOverallRange(int max) override {
        overallMax_ = max;
        overallPos_ = 0;
    }
    void StepOverall() override { ++overallPos_; }
    void ProcessEvents() override {
        if (!enabled_) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - lastDraw_ < std::chrono::milliseconds(100)) return;
        lastDraw_ = now;
        Draw();
    }
    bool IsCancelled() const override { return gInterrupted.load(); }

    void Clear() {
        if (enabled_ && drawn_) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
            drawn_ = false;
        }
    }

private:
    void Draw() {
        winsize ws{};
        int columns = 80;
        if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 20) columns = ws.ws_col;
        constexpr int kBar = 20;
        const int filled = std::min(kBar, filePos_ * kBar / std::max(fileMax_, 1));
        std::string line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                           std::string(static_cast<std::size_t>(kBar - filled), ' ') + "] " +
                           std::to_string(std::min(overallPos_, overallMax_)) + "/" + std::to_string(overallMax_) +
                           " " + fileText_;
        if (line.size() > static_cast<std::size_t>(columns - 1)) {
            // Never cut inside a UTF-8 sequence.
            std::size_t cut = static_cast<std::size_t>(columns - 1);
            while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
            line.resize(cut);
        }
        std::fprintf(stderr, "\r\033[K%s", line.c_str());
        std::fflush(stderr);
        drawn_ = true;
    }

    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
    std::string fileText_, overallText_;
    int fileMax_ = 1, filePos_ = 0, overallMax_ = 0, overallPos_ = 0;
};

class CCliBatchUi : public CBatchUi {
public:
    CCliBatchUi(std::size_t rows, bool showProgress, bool browse)
        : statuses_(rows), progress_(showProgress), browse_(browse) {}

    void ShowMessage(const std::string& text, MessageIcon) override {
        progress_.Clear();
        std::cerr << "tonvela-convert: " << text << "\n";
    }
    void SetStatus(std::size_t row, const std::string& text) override {
        if (row < statuses_.size()) statuses_[row] = text;
    }
    CConvertProgress& OpenProgress() override { return progress_; }
    void CloseProgress() override { progress_.Clear(); }
    void ShowFirstSwf(const std::string& swfPath) override {
        if (browse_ && !ShowItems(swfPath)) std::cerr << "tonvela-convert: cannot show " << swfPath << "\n";
    }
    const std::string& Status(std::size_t row) const { return statuses_[row]; }

private:
    std::vector<std::string> statuses_;
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
nlohmann::json EntryJson(const std::string& path, const CFileListEntry* e, bool ok, const std::string& status) {
    nlohmann::json j = {{"path", path}, {"ok", ok}, {"status", status}, {"swf", e ? e->swfPath : ""},
                        {"html", e ? e->htmlPath : ""}, {"player", e ? e->playerSwfPath : ""}};
    if (e) {
        j.update(ProbeJson(*e));
    } else {
        // The keys of ProbeJson (the test compares the key sets).
        for (const char* key : {"channels", "sampleRate", "durationSeconds", "bitRate", "kind", "length"}) j[key] = nullptr;
    }
    return j;
}

// --list-settings: a table, or with --json an array of objects.
void PrintSettings(const CConvertOptions& current, const CConvertOptions& defaults, bool json) {
    if (json) {
        nlohmann::json rows = nlohmann::json::array();
        for (const SettingInfo& s : kSettingsCatalog)
            rows.push_back({{"name", s.name},
                            {"value", SettingValueText(current, s)},
                            {"default", SettingValueText(defaults, s)},
                            {"values", s.values},
                            {"meaning", s.meaning}});
        std::cout << rows.dump(1) << "\n";
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
    for (const SettingInfo& s : kSettingsCatalog)
        std::cout << pad(s.name, nameWidth) << pad(SettingValueText(current, s), valueWidth)
                  << pad(SettingValueText(defaults, s), defaultWidth) << s.values << "; " << s.meaning << "\n";
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

// An input in the order given: a list entry, or a file that no reader accepted.
struct InputRow {
    std::size_t entry = 0;
    std::string failedPath;
};

int Run(int argc, char** argv) {
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
        "then http://localhost:8000/) or in Tonvela's preview.");
    std::vector<std::string> inputs;
    std::vector<std::string> sets;
    std::string configDir, dataDir;
    bool save = false, probe = false, json = false, quiet = false, browse = false;
    int jobs = 1;
    bool listSettings = false, version = false;
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
    app.add_flag("--version", version, "Print the program's version and those of the libraries it runs with");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return rc == 0 ? kExitOk : kExitUsage;
    }
    if (version) {
        std::cout << "tonvela-convert " << TONVELA_VERSION << "\n" << LibraryVersionsText();
        return kExitOk;
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
    options.Load(store);
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
    }
    if (listSettings) {
        PrintSettings(options, CConvertOptions(options.dataFolder), json);
        return kExitOk;
    }
    if (inputs.empty()) {
        std::cerr << "tonvela-convert: PATH is required\nRun with --help for more information.\n";
        return kExitUsage;
    }
    if (save) {
        bool saved = false;
        options.Save(store, kSaveOptions, &saved);
        if (!store.DamagedCopy().empty())
            std::cerr << "tonvela-convert: the damaged settings store was kept as " << store.DamagedCopy() << "\n";
        if (!saved) {
            std::cerr << "tonvela-convert: the settings could not be saved in " << store.FilePath().string();
            if (!store.SaveError().empty()) std::cerr << ": " << store.SaveError();
            std::cerr << "\n";
            return kExitUsage;
        }
    }

    // Libraries other than the ones we were built against: leave without a word, status 1.
    const CDecoderSession decoder;
    if (decoder.result() == DecoderStartResult::WrongVersion) return 1;
    if (decoder.result() == DecoderStartResult::InitFailed) {
        std::cerr << "tonvela-convert: " << kDecoderInitFailedText << "\n";
        return kExitUsage;
    }

    // The first signal cancels (the current entry is discarded, nothing is left behind); a
    // second one ends the program at once.
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sa.sa_flags = SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    SetDecoderInterruptFlag(&gInterrupted);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);

    // Paths: files as given (like the Add Files dialog), folders searched like Add Folder.
    std::vector<std::string> paths;
    for (const std::string& in : inputs) {
        std::error_code ec;
        // Resolved through the file system: "link/../x.wav" is the file the kernel opens.
        const std::string abs = ResolvedPath(in);
        if (std::filesystem::is_directory(abs, ec))
            CollectFiles(CollectFolders(abs), paths);
        else
            paths.push_back(abs);
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
        if (gInterrupted.load()) break;
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
                                             ? EntryJson(list.At(row.entry).path, &list.At(row.entry), true, "")
                                             : EntryJson(row.failedPath, nullptr, false, kStatusFailedToLoad);
                std::cout << JsonLine(j) << "\n";
            }
            return probeFailures ? kExitSomeFailed : kExitOk;
        }
        std::cout << "Files\tLength\tBit Rate\tFreq.\tCh.\n";
        for (std::size_t i = 0; i < list.Size(); ++i) {
            const CFileListEntry& e = list.At(i);
            std::cout << ColumnText(e, 0) << "\t" << ColumnText(e, 1) << "\t" << ColumnText(e, 2) << "\t"
                      << ColumnText(e, 3) << "\t" << ColumnText(e, 4) << "\n";
        }
        return probeFailures ? kExitSomeFailed : kExitOk;
    }

    std::vector<BatchItem> items;
    for (std::size_t i = 0; i < list.Size(); ++i) items.push_back({&list.At(i), i});
    // The after-batch view belongs to the window; here only --browse asks for it.
    CConvertOptions runOptions = options;
    runOptions.BrowseOutFolder = browse ? 1 : 0;
    CCliBatchUi ui(list.Size(), !quiet && ::isatty(STDERR_FILENO), browse);
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
        if (!entryOk(e)) std::cerr << "tonvela-convert: " << e.path << ": " << ui.Status(i) << "\n";
        if (e.outputInDocuments)
            std::cerr << "tonvela-convert: " << e.path
                      << ": the files could not be created there; written to the documents folder instead: " << e.swfPath
                      << "\n";
    }
    if (json) {
        // One object per input, in the order given (with --jobs too).
        for (const InputRow& row : rows) {
            if (!row.failedPath.empty()) {
                std::cout << JsonLine(EntryJson(row.failedPath, nullptr, false, kStatusFailedToLoad)) << "\n";
                continue;
            }
            const CFileListEntry& e = list.At(row.entry);
            const bool ok = entryOk(e);
            if (!ok) anyFailed = true;
            std::cout << JsonLine(EntryJson(e.path, &e, ok, ui.Status(row.entry))) << "\n";
        }
    }
    for (std::size_t i = 0; i < list.Size() && !json; ++i) {
        const CFileListEntry& e = list.At(i);
        const std::string& status = ui.Status(i);
        const bool ok = !e.swfPath.empty();  // a failed or untouched entry has no SWF
        if (!entryOk(e)) anyFailed = true;
        std::cout << e.path << ": " << (status.empty() ? std::string("not converted") : status) << "\n";
        if (ok) {
            std::cout << "  SWF:    " << e.swfPath << "\n";
            if (!e.playerSwfPath.empty()) std::cout << "  player: " << e.playerSwfPath << "\n";
            if (!e.htmlPath.empty()) std::cout << "  HTML:   " << e.htmlPath << "\n";
        }
    }
    if (list.Size() == 0 && probeFailures == 0) {
        std::cerr << "tonvela-convert: no audio files found\n";
        return kExitSomeFailed;
    }
    return anyFailed ? kExitSomeFailed : kExitOk;
}

}  // namespace
}  // namespace tonvela

int main(int argc, char** argv) { return tonvela::Run(argc, argv); }
