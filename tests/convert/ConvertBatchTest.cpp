// Batch conversion: template errors, statuses of good and bad entries, every layout decoded
// back by ffmpeg, overwrite safety, cancel, the after-batch view, and parallel jobs.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <memory>
#include <system_error>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "audio/BassTestFiles.h"
#include "convert/ConvertBatch.h"
#include "convert/ConvertOptions.h"
#include "convert/ConvertResult.h"
#include "convert/ConvertTestUtil.h"
#include "convert/FileList.h"
#include "convert/FileListColumns.h"
#include "convert/OutputNames.h"
#include "platform/PathName.h"
#include "swf/MemoryTagSource.h"

namespace tonvela {
namespace {

namespace fs = std::filesystem;
using test::RunCommand;
using test::TempDir;

class CFakeUi : public CBatchUi {
public:
    void ShowMessage(const std::string& text, MessageIcon icon) override {
        messages.push_back(text);
        icons.push_back(icon);
    }
    void SetStatus(std::size_t row, const std::string& text) override {
        if (row >= statuses.size()) statuses.resize(row + 1);
        statuses[row] = text;
        if (text == kStatusConverting) ++converting;
        if (!cancelOnStatus.empty() && text == cancelOnStatus) progress.cancelled = true;
    }
    void SetFailureReason(std::size_t row, const std::string& reason) override {
        if (row >= reasons.size()) reasons.resize(row + 1);
        reasons[row] = reason;
    }
    void EntryFinished(std::size_t row, const EntryResult& result) override {
        CBatchUi::EntryFinished(row, result);  // the list's column and tooltip, as the window shows them
        if (row >= results.size()) results.resize(row + 1);
        results[row] = result;
    }
    void OutputsNamed(std::size_t row, const EntryResult& named) override {
        if (onNamed) onNamed(row, named);
    }
    void EntryDone(std::size_t row, const EntryResult& result) override {
        {
            const std::lock_guard<std::mutex> lock(doneMutex);
            done.emplace_back(row, results.size() > row ? std::string("after finished") : StatusText(result));
        }
        doneChanged.notify_all();
    }
    CConvertProgress& OpenProgress() override {
        ++opened;
        return progress;
    }
    void CloseProgress() override { ++closed; }
    void ShowFirstSwf(const std::string& p) override { shown.push_back(p); }

    // Cancels while the entry of this row converts (-1: never).
    class CProgress : public CNullConvertProgress {
    public:
        // Every new overall line, and every overall bar shown.
        void ShowBatch(const BatchProgressView& v) override {
            if (!v.overallText.empty() && (overall.empty() || overall.back() != v.overallText))
                overall.push_back(v.overallText);
            bars.push_back(v.overallBar);
        }
        void ProcessEvents() override {
            if (cancelAtOverall > 0 && static_cast<int>(overall.size()) >= cancelAtOverall) cancelled = true;
        }
        bool IsCancelled() const override { return cancelled; }
        std::vector<std::string> overall;
        std::vector<int> bars;
        int cancelAtOverall = 0;
        bool cancelled = false;
    } progress;

    std::vector<std::string> messages, statuses, reasons, shown;
    std::vector<EntryResult> results;
    // EntryDone's rows in the order they came, each with its status then (or "after finished").
    std::vector<std::pair<std::size_t, std::string>> done;
    std::mutex doneMutex;
    std::condition_variable doneChanged;
    std::function<void(std::size_t, const EntryResult&)> onNamed;
    std::string cancelOnStatus;  // Cancel arrives as this status is shown
    std::vector<MessageIcon> icons;
    int opened = 0, closed = 0, converting = 0;
};

class ConvertBatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveTool("sox") || !test::HaveTool("ffmpeg")) GTEST_SKIP() << "needs sox and ffmpeg";
        // A data folder of our own: a control template and an empty.swf with the four actions.
        fs::create_directories(data.Path() / "ControlSWF" / "ShellPlayer");
        TemplateActions actions;
        CMemoryTagSource control = MakeDemoControlTemplate(120, 40, 0x00AA00, actions);
        ASSERT_TRUE(control.SaveAs(data.Path() / "ControlSWF" / "square_gradient_3.swf"));
        ASSERT_TRUE(control.SaveAs(data.Path() / "ControlSWF" / "ShellPlayer" / "square_gradient_3.swf"));
        ASSERT_TRUE(control.SaveAs(data.Path() / "empty.swf"));
        options = std::make_unique<CConvertOptions>(data.Path());
        options->BrowseOutFolder = 0;
        options->OutputFiles2MyDocuments = 0;
    }

    std::string Sine(const std::string& name, int rate, int channels, double seconds, int freq = 440) {
        const std::string path = dir.File(name);
        EXPECT_EQ(RunCommand({"sox", "-n", "-r", std::to_string(rate), "-c", std::to_string(channels), "-b", "16",
                              path, "synth", std::to_string(seconds), "sine", std::to_string(freq), "gain", "-6"}),
                  0);
        return path;
    }
    std::string Encoded(const std::string& name, double seconds, const std::vector<std::string>& args) {
        const std::string path = dir.File(name);
        std::vector<std::string> cmd = {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                                        "sine=frequency=440:sample_rate=44100:duration=" + std::to_string(seconds)};
        cmd.insert(cmd.end(), args.begin(), args.end());
        cmd.push_back(path);
        EXPECT_EQ(RunCommand(cmd), 0) << name;
        return path;
    }
    std::string Bytes(const std::string& name, const std::string& content) {
        const std::string path = dir.File(name);
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    // Adds every path (as the Add Files dialog does) and converts the list.
    BatchOutcome Run(const std::vector<std::string>& paths, int jobs = 1) {
        for (const auto& p : paths) list.AddFileEntry(p);
        items.clear();
        for (std::size_t i = 0; i < list.Size(); ++i) items.push_back({&list.At(i), i});
        return ConvertBatch(items, *options, ui, jobs);
    }

    // Files in the output folder whose names start with "." (pending outputs left behind).
    std::vector<std::string> HiddenFiles() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir.Path()))
            if (e.path().filename().string()[0] == '.') out.push_back(e.path().string());
        return out;
    }

    TempDir data, dir;
    std::unique_ptr<CConvertOptions> options;
    CFileList list;
    std::vector<BatchItem> items;
    CFakeUi ui;
};

// ffmpeg's decode of a SWF's sound: its length matches the source within the encoder delay and
// padding, and its pitch is the source's.
void ExpectSwfSound(const std::string& swf, std::size_t sourceSamples, int rate, const std::string& raw) {
    const auto decoded = test::DecodeWithFfmpeg(swf, raw, rate);
    ASSERT_FALSE(decoded.empty()) << swf;
    EXPECT_GE(decoded.size() + 1152, sourceSamples) << swf;
    EXPECT_LE(decoded.size(), sourceSamples + 576 + 529 + 2 * 1152) << swf;
    EXPECT_NEAR(test::DominantFrequency(decoded, rate), 440.0, 3.0) << swf;
}

// SoundSampleCount and SeekSamples of the first DefineSound tag of an uncompressed SWF, read by
// the file format's rules; false when there is none.
bool DefineSoundNumbers(const std::string& swf, std::uint32_t& sampleCount, int& seek) {
    const std::vector<std::uint8_t> b = test::ReadFileBytes(swf);
    if (b.size() < 9 || b[0] != 'F') return false;
    const std::size_t rectBits = 5 + 4 * static_cast<std::size_t>(b[8] >> 3);
    std::size_t pos = 8 + (rectBits + 7) / 8 + 4;
    while (pos + 2 <= b.size()) {
        const unsigned word = b[pos] | b[pos + 1] << 8;
        std::size_t length = word & 0x3F, header = 2;
        if (length == 0x3F) {
            if (pos + 6 > b.size()) return false;
            length = b[pos + 2] | b[pos + 3] << 8 | b[pos + 4] << 16 | static_cast<std::size_t>(b[pos + 5]) << 24;
            header = 6;
        }
        const std::size_t body = pos + header;
        if ((word >> 6) == 14 && body + 9 <= b.size()) {
            sampleCount = b[body + 3] | b[body + 4] << 8 | b[body + 5] << 16 | static_cast<std::uint32_t>(b[body + 6]) << 24;
            seek = static_cast<std::int16_t>(b[body + 7] | b[body + 8] << 8);
            return true;
        }
        if ((word >> 6) == 0) return false;
        pos = body + length;
    }
    return false;
}

// A missing template, or a FIFO or folder in its place (refused without blocking, and said so).
TEST_F(ConvertBatchTest, MissingTemplateStopsBeforeAnything) {
    const std::string wav = Sine("a.wav", 44100, 1, 0.5);
    ASSERT_EQ(::mkfifo(dir.File("fifo.swf").c_str(), 0600), 0);
    fs::create_directory(dir.File("folder.swf"));
    const struct {
        std::string name, reason;
    } cases[] = {{"gone.swf", ""}, {"fifo.swf", " (it is not a regular file)"}, {"folder.swf", " (it is a folder)"}};
    ::alarm(60);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        options->ControlSWF = dir.File(c.name);
        CFakeUi fake;
        list.AddFileEntry(wav);
        items = {{&list.At(0), 0}};
        EXPECT_FALSE(ConvertBatch(items, *options, fake, 1).started);
        ASSERT_EQ(fake.messages.size(), 1u);
        EXPECT_EQ(fake.messages[0], "Error: the template SWF file \"" + dir.File(c.name) + "\" is not available" +
                                        c.reason + ".\n\nPlease re-install the software and try again.");
        EXPECT_EQ(fake.icons[0], MessageIcon::Exclamation);
        EXPECT_EQ(fake.opened, 0);
        EXPECT_FALSE(fs::exists(dir.File("a.swf")));
    }
    ::alarm(0);
}

TEST_F(ConvertBatchTest, TemplateWithoutActionsIsNotValid) {
    const std::string wav = Sine("a.wav", 44100, 1, 0.5);
    CMemoryTagSource bare(6, 10, 10);
    bare.AddTag(1, {});
    bare.AddTag(0, {});
    const std::string path = dir.File("bare.swf");
    ASSERT_TRUE(bare.SaveAs(path));
    options->ControlSWF = path;
    EXPECT_FALSE(Run({wav}).started);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "Error: the template SWF file \"" + path +
                                  "\" is not a valid template file.\n\nPlease re-install the software and try again.");
    EXPECT_EQ(ui.icons[0], MessageIcon::Stop);
    EXPECT_EQ(ui.opened, 0);
}

TEST_F(ConvertBatchTest, EveryFormatInTheDefaultLayout) {
    std::vector<std::string> paths = {
        Sine("w.wav", 44100, 2, 1.5),
        Sine("a.aiff", 44100, 2, 1.5),
        Sine("s.au", 22050, 1, 1.5),
        Encoded("m.mp3", 1.5, {"-c:a", "libmp3lame", "-b:a", "128k"}),
        Encoded("o.ogg", 1.5, {"-c:a", "libvorbis"}),
        Encoded("f.flac", 1.5, {"-c:a", "flac"}),
    };
    const BatchOutcome o = Run(paths);
    ASSERT_TRUE(o.started);
    EXPECT_EQ(o.converted, paths.size());
    EXPECT_EQ(ui.converting, static_cast<int>(paths.size()));
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const CFileListEntry& e = list.At(i);
        const std::string base = paths[i].substr(0, paths[i].rfind('.'));
        EXPECT_EQ(e.swfPath, base + ".swf");
        EXPECT_EQ(e.htmlPath, base + ".htm");
        EXPECT_TRUE(e.playerSwfPath.empty());
        EXPECT_EQ(ui.statuses[i], NameOf(e.swfPath));
        EXPECT_TRUE(fs::exists(e.htmlPath));
        // MP3 sources carry their own encoder's delay; the others are exact.
        const std::size_t sourceSamples = static_cast<std::size_t>(1.5 * (i == 2 ? 22050 : 44100));
        ExpectSwfSound(e.swfPath, sourceSamples + (i == 3 ? 1105 : 0), i == 2 ? 22050 : 44100, dir.File("x.raw"));
    }
    EXPECT_TRUE(HiddenFiles().empty());
}

TEST_F(ConvertBatchTest, ModuleMusic) {
    const std::vector<std::uint8_t> mod = test::MakeProTrackerModule();
    const std::string path = dir.File("tune.mod");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(mod.data()),
                                                static_cast<std::streamsize>(mod.size()));
    ASSERT_TRUE(Run({path}).started);
    ASSERT_EQ(ui.statuses.size(), 1u);
    EXPECT_EQ(ui.statuses[0], "tune.swf");
    const auto decoded = test::DecodeWithFfmpeg(dir.File("tune.swf"), dir.File("x.raw"), 44100);
    // About 1.92 s of music.
    EXPECT_NEAR(static_cast<double>(decoded.size()) / 44100.0, 1.92, 0.15);
    EXPECT_GT(test::Rms(decoded), 100.0);
}

TEST_F(ConvertBatchTest, EachLayoutKeepsTheSound) {
    const std::string wav = Sine("s.wav", 44100, 1, 2.0);
    struct Layout {
        int ctrl, button, sound;
        bool player;
    };
    for (Layout l : {Layout{1, 11, 10, false}, Layout{1, 22, 10, true}, Layout{0, 11, 10, false},
                     Layout{0, 11, 20, false}}) {
        SCOPED_TRACE(std::to_string(l.ctrl) + "/" + std::to_string(l.button) + "/" + std::to_string(l.sound));
        options->CreateCtrlSWF = l.ctrl;
        options->ButtonSWFType = l.button;
        options->SWFSoundType = l.sound;
        options->TargetExistsOpt = kTargetOverwrite;
        list.Clear();
        ui.statuses.clear();
        ASSERT_TRUE(Run({wav}).started);
        const CFileListEntry& e = list.At(0);
        ASSERT_EQ(ui.statuses[0], "s.swf");
        EXPECT_EQ(e.playerSwfPath.empty(), !l.player);
        if (l.player) {
            EXPECT_TRUE(fs::exists(dir.File("s.player.swf")));
        }
        ExpectSwfSound(e.swfPath, 88200, 44100, dir.File("x.raw"));
        if (l.sound == kSoundEvent && !l.ctrl) {
            // A loop skips LAME's 576 samples of delay and the decoder's 529, and ends with the sound.
            std::uint32_t count = 0;
            int seek = -1;
            ASSERT_TRUE(DefineSoundNumbers(e.swfPath, count, seek));
            EXPECT_EQ(count, 88200u);
            EXPECT_EQ(seek, 576 + 529);
        }
    }
    EXPECT_TRUE(HiddenFiles().empty());
}

// Files with a header and no samples (made by sox) are refused as holding no sound, with no SWF.
TEST_F(ConvertBatchTest, HeaderWithoutSamplesHoldsNoSound) {
    for (const char* name : {"h.wav", "h.aiff"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(RunCommand({"sox", "-n", "-r", "22050", "-c", "2", "-b", "16", dir.File(name), "trim", "0", "0"}), 0);
        CFileListEntry e;
        e.path = dir.File(name);
        e.kind = AudioKindFromPath(e.path);
        items = {{&e, 0}};
        CFakeUi fake;
        const BatchOutcome o = ConvertBatch(items, *options, fake, 1);
        EXPECT_EQ(o.converted, 0u);
        ASSERT_EQ(fake.statuses.size(), 1u);
        EXPECT_EQ(fake.statuses[0], kRefusalNoSound);
        EXPECT_FALSE(fs::exists(dir.File(std::string(name).substr(0, 1) + ".swf")));
    }
}

// A source cut after it was listed converts to what is left: the SWF holds that, the entry's
// length is that, and its status warns of the shortfall.
TEST_F(ConvertBatchTest, SourceCutAfterListingConvertsWhatIsLeftAndSaysSo) {
    const std::vector<std::string> paths = {Sine("cut.wav", 22050, 1, 10), Sine("cut.aiff", 22050, 1, 10)};
    for (const auto& p : paths) list.AddFileEntry(p);
    ASSERT_EQ(list.Size(), 2u);
    // 3 s of 16-bit mono and a little of the headers' 44 and 54 bytes.
    for (const auto& p : paths) ASSERT_EQ(::truncate(p.c_str(), 3 * 22050 * 2 + 100), 0);
    for (std::size_t i = 0; i < list.Size(); ++i) {
        EXPECT_EQ(list.At(i).durationSeconds, 10);
        items.push_back({&list.At(i), i});
    }
    const BatchOutcome o = ConvertBatch(items, *options, ui, 1);
    EXPECT_EQ(o.converted, 2u);
    ASSERT_EQ(ui.statuses.size(), 2u);
    for (std::size_t i = 0; i < list.Size(); ++i) {
        SCOPED_TRACE(paths[i]);
        EXPECT_NE(ui.statuses[i].find("warning: the source ends after 3 s of the 10 s"), std::string::npos)
            << ui.statuses[i];
        EXPECT_EQ(list.At(i).durationSeconds, 3);
        ExpectSwfSound(list.At(i).swfPath, 3 * 22050 + 25, 22050, dir.File("cut.raw"));
    }
}

TEST_F(ConvertBatchTest, BadInputsFailAloneAndLeaveNothing) {
    const std::string good1 = Sine("good1.wav", 22050, 1, 0.5);
    // A WAV cut short inside its data still decodes what is there; cut inside its header it cannot.
    const std::string whole = Sine("whole.wav", 22050, 1, 0.5);
    auto bytes = test::ReadFileBytes(whole);
    fs::remove(whole);
    const std::string truncated = Bytes("truncated.wav", std::string(bytes.begin(), bytes.begin() + 30));
    std::mt19937 rng(7);
    std::string noise(4096, '\0');
    for (char& c : noise) c = static_cast<char>(rng());
    const std::string random = Bytes("random.wav", noise);
    const std::string empty = Bytes("empty.wav", "");
    const std::string text = Bytes("text.mp3", "Just a line of text, not an MP3 at all.\n");
    const std::string good2 = Sine("good2.wav", 22050, 1, 0.5);
    // The probe refuses these files; the batch must cope when they slip through anyway (a file
    // changed after it was added), so the entries are made by hand.
    for (const auto& p : {empty, random, truncated, text}) EXPECT_EQ(list.AddFileEntry(p), -1) << p;
    std::vector<CFileListEntry> bad(4);
    const std::vector<std::string> badPaths = {empty, random, truncated, text};
    items.clear();
    std::size_t row = 0;
    CFileListEntry e1;
    e1.path = good1;
    e1.kind = AudioKindWav;
    items.push_back({&e1, row++});
    for (std::size_t i = 0; i < bad.size(); ++i) {
        bad[i].path = badPaths[i];
        bad[i].kind = AudioKindFromPath(badPaths[i]);
        items.push_back({&bad[i], row++});
    }
    CFileListEntry e2;
    e2.path = good2;
    e2.kind = AudioKindWav;
    items.push_back({&e2, row++});
    const BatchOutcome o = ConvertBatch(items, *options, ui, 1);
    ASSERT_TRUE(o.started);
    EXPECT_EQ(o.converted, 2u);
    EXPECT_EQ(o.failed, 4u);
    ASSERT_EQ(ui.statuses.size(), 6u);
    EXPECT_EQ(ui.statuses[0], "good1.swf");
    for (std::size_t i = 1; i <= 4; ++i) {
        EXPECT_EQ(ui.statuses[i], "Conversion Failure") << badPaths[i - 1];
        EXPECT_TRUE(items[i].entry->swfPath.empty());
        EXPECT_TRUE(items[i].entry->htmlPath.empty());
        const std::string base = badPaths[i - 1].substr(0, badPaths[i - 1].rfind('.'));
        EXPECT_FALSE(fs::exists(base + ".swf")) << base;
        EXPECT_FALSE(fs::exists(base + ".htm")) << base;
    }
    EXPECT_EQ(ui.statuses[5], "good2.swf");
    EXPECT_TRUE(HiddenFiles().empty());
}

TEST_F(ConvertBatchTest, FailedOverwriteKeepsTheOldSwf) {
    const std::string bad = Bytes("x.wav", std::string(2000, 'z'));
    Bytes("x.swf", "OLD SWF");
    options->TargetExistsOpt = kTargetOverwrite;
    CFileListEntry e;
    e.path = bad;
    e.kind = AudioKindWav;
    items = {{&e, 0}};
    ASSERT_TRUE(ConvertBatch(items, *options, ui, 1).started);
    EXPECT_EQ(ui.statuses[0], "Conversion Failure");
    std::ifstream in(dir.File("x.swf"));
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "OLD SWF");
    EXPECT_TRUE(HiddenFiles().empty());

    // A good conversion replaces it.
    Sine("x.wav", 22050, 1, 0.5);
    ASSERT_TRUE(ConvertBatch(items, *options, ui, 1).started);
    EXPECT_EQ(ui.statuses[0], "x.swf");
    EXPECT_EQ(test::ReadFileBytes(dir.File("x.swf"))[0], 'F');
}

// A page that cannot be written (here: a folder takes its name once the names are chosen) keeps
// the SWF, and the entry is no success anywhere: not counted converted, its row says the page
// is missing with a reason (the list's tooltip shows it as a failure). Converted again into
// the names recorded for it, both are written there, with no numbered copy.
TEST_F(ConvertBatchTest, PageNotWrittenKeepsTheSwfAndIsNoSuccess) {
    const std::string wav = Sine("p.wav", 22050, 1, 0.5);
    options->CreateHtmlFile = 1;
    std::vector<std::string> named;
    ui.onNamed = [&](std::size_t, const EntryResult& n) {
        for (const EntryOutputFile& o : n.outputs) named.push_back(o.path);
        std::error_code ec;
        fs::remove(dir.File("p.htm"), ec);  // the claim
        fs::create_directory(dir.File("p.htm"));
    };
    const BatchOutcome outcome = Run({wav});
    ASSERT_TRUE(outcome.started);
    EXPECT_EQ(named, (std::vector<std::string>{dir.File("p.swf"), dir.File("p.htm")}));
    EXPECT_EQ(outcome.converted, 0u);
    EXPECT_EQ(outcome.failed, 1u);
    const EntryResult& r = ui.results.at(0);
    EXPECT_EQ(r.outcome, EntryOutcome::ConvertedWithoutPage);
    EXPECT_FALSE(r.Ok());
    EXPECT_EQ(r.reasonCode, "page-not-written");
    EXPECT_EQ(r.swfPath, dir.File("p.swf"));
    EXPECT_TRUE(r.htmlPath.empty());
    ASSERT_EQ(r.outputs.size(), 1u);
    EXPECT_EQ(r.outputs[0].size, fs::file_size(dir.File("p.swf")));
    EXPECT_EQ(ui.statuses[0], "Failed to create file \"" + dir.File("p.htm") + "\"");
    EXPECT_EQ(ui.reasons.at(0), "the SWF was written, its page is missing");

    fs::remove(dir.File("p.htm"));
    ui.onNamed = nullptr;
    items[0].recordedBase = dir.File("p");
    ASSERT_TRUE(ConvertBatch(items, *options, ui, 1).started);
    EXPECT_EQ(ui.results.at(0).outcome, EntryOutcome::Converted);
    EXPECT_EQ(ui.statuses[0], "p.swf");
    EXPECT_TRUE(fs::is_regular_file(dir.File("p.htm")));
    EXPECT_FALSE(fs::exists(dir.File("p_1.swf")));
}

// The status and the reason code of each outcome, as every front end shows them.
TEST(EntryResultText, StatusOfEachOutcome) {
    auto result = [](EntryOutcome o, const char* code, const char* text) {
        EntryResult r;
        r.outcome = o;
        r.reasonCode = code;
        r.reasonText = text;
        r.swfPath = "/o/a.swf";
        return r;
    };
    EntryResult early = result(EntryOutcome::Converted, "", "");
    early.secondsRead = 3;
    early.declaredSeconds = 10;
    early.renamedFrom = "/o/b.swf";
    const struct {
        EntryResult r;
        const char* status;
        const char* detail;
        const char* name;
    } rows[] = {
        {result(EntryOutcome::Converted, "", ""), "a.swf", "", "converted"},
        {result(EntryOutcome::AlreadyDone, "", ""), "Already converted", "", "alreadyDone"},
        {result(EntryOutcome::Skipped, reason::kTargetExists, kTargetSkipped), kTargetSkipped, "", "skipped"},
        {result(EntryOutcome::Skipped, reason::kInProgressElsewhere, kStatusInProgressElsewhere),
         "Being converted by another run", "", "skipped"},
        {result(EntryOutcome::Refused, reason::kNoSound, kRefusalNoSound), kRefusalNoSound, "", "refused"},
        {result(EntryOutcome::Failed, reason::kConversionFailed, "the MP3 encoder wrote nothing"), "Conversion Failure",
         "the MP3 encoder wrote nothing", "failed"},
        {result(EntryOutcome::Failed, reason::kLoadFailed, "not an audio file"), "Failed to load", "not an audio file",
         "failed"},
        {result(EntryOutcome::Failed, reason::kFolderNotCreated, "Failed to create folder \"/x\""),
         "Failed to create folder \"/x\"", "", "failed"},
        {result(EntryOutcome::Cancelled, reason::kCancelled, ""), "Cancelled", "", "cancelled"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(StatusText(row.r), row.status) << row.status;
        EXPECT_EQ(StatusDetail(row.r), row.detail) << row.status;
        EXPECT_STREQ(OutcomeName(row.r.outcome), row.name);
        EntryOutcome back{};
        EXPECT_TRUE(ParseOutcomeName(row.name, back));
        EXPECT_EQ(back, row.r.outcome);
    }
    EXPECT_EQ(StatusText(early), "a.swf" + SourceEndedEarlyNote(3, 10) +
                                     " (renamed: b.swf was written by an earlier file of this batch)");
    EntryOutcome unknown = EntryOutcome::Converted;
    EXPECT_FALSE(ParseOutcomeName("done", unknown));
}

TEST_F(ConvertBatchTest, RenameAndSkip) {
    const std::string wav = Sine("r.wav", 22050, 1, 0.5);
    Bytes("r.swf", "OLD");
    ASSERT_TRUE(Run({wav}).started);
    EXPECT_EQ(ui.statuses[0], "r_1.swf");
    EXPECT_EQ(list.At(0).htmlPath, dir.File("r_1.htm"));
    options->TargetExistsOpt = kTargetSkip;
    ASSERT_TRUE(ConvertBatch(items, *options, ui, 1).started);
    EXPECT_EQ(ui.statuses[0], "Target exists and skipped");
    EXPECT_TRUE(list.At(0).swfPath.empty());
}

// A trim that cuts away the whole sound is the setting's doing: the status names the setting
// and the sound's length (1.5 s made by sox), not a bare "Conversion Failure".
TEST_F(ConvertBatchTest, TrimThatLeavesNoSoundNamesTheSetting) {
    const std::string wav = Sine("short.wav", 22050, 1, 1.5);
    const struct {
        int first, last;
        const char* status;
    } cases[] = {
        {1500, 0, "SkipFirstMs 1500 leaves no sound: the file is 1.5 s long"},
        {0, 2000, "SkipLastMs 2000 leaves no sound: the file is 1.5 s long"},
        {1000, 500, "SkipFirstMs 1000 with SkipLastMs 500 leaves no sound: the file is 1.5 s long"},
        {1000, 400, "short.swf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        options->SkipFirstMs = c.first;
        options->SkipLastMs = c.last;
        options->TrimLastType = 0;
        options->TargetExistsOpt = kTargetOverwrite;
        list.Clear();
        ASSERT_TRUE(Run({wav}).started);
        EXPECT_EQ(ui.statuses[0], c.status);
    }
}

TEST_F(ConvertBatchTest, CancelDuringSecondEntry) {
    const std::vector<std::string> paths = {Sine("c1.wav", 22050, 1, 0.5), Sine("c2.wav", 22050, 1, 0.5),
                                            Sine("c3.wav", 22050, 1, 0.5)};
    options->BrowseOutFolder = 1;
    ui.progress.cancelAtOverall = 2;
    ui.statuses = {"", "", "untouched"};
    const BatchOutcome o = Run(paths);
    EXPECT_TRUE(o.cancelled);
    EXPECT_EQ(ui.statuses[0], "c1.swf");
    EXPECT_EQ(ui.statuses[1], "Cancelled");
    EXPECT_EQ(ui.statuses[2], "untouched");
    EXPECT_FALSE(fs::exists(dir.File("c2.swf")));
    EXPECT_FALSE(fs::exists(dir.File("c3.swf")));
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0], dir.File("c1.swf"));
    EXPECT_EQ(ui.opened, 1);
    EXPECT_EQ(ui.closed, 1);
}

// Cancel pressed while an entry completes: the entry keeps its SWF and name, the batch stops
// after it, and the browse step does not look at it (one by one and with several jobs).
TEST_F(ConvertBatchTest, CancelAsAnEntryCompletesSkipsItWhenBrowsing) {
    const std::vector<std::string> paths = {Sine("k1.wav", 22050, 1, 0.3), Sine("k2.wav", 22050, 1, 0.3)};
    for (std::size_t i = 0; i < paths.size(); ++i) list.AddFileEntry(paths[i]);
    for (std::size_t i = 0; i < list.Size(); ++i) items.push_back({&list.At(i), i});
    options->BrowseOutFolder = 1;
    for (const int jobs : {1, 2}) {
        SCOPED_TRACE(jobs);
        CFakeUi fake;
        fake.cancelOnStatus = "k1.swf";
        const BatchOutcome o = ConvertBatch(items, *options, fake, jobs);
        EXPECT_TRUE(o.cancelled);
        EXPECT_EQ(fake.statuses[0], "k1.swf");
        EXPECT_TRUE(fs::exists(dir.File("k1.swf")));
        EXPECT_TRUE(fake.shown.empty());
        options->TargetExistsOpt = kTargetOverwrite;
    }
}

// Each entry is said to be done as soon as it is, before the slower entries ahead of it
// (several at once) and once only; the in-order report still follows for every entry. The
// first entry waits to be converted until the window heard that the second is done.
TEST_F(ConvertBatchTest, EntriesAreDoneAsSoonAsTheyEnd) {
    const std::vector<std::string> paths = {Sine("d1.wav", 22050, 1, 0.3), Sine("d2.wav", 22050, 1, 0.3),
                                            dir.File("d3-missing.wav")};
    std::vector<CFileListEntry> entries(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        entries[i].path = paths[i];
        entries[i].kind = AudioKindFromPath(paths[i]);
        items.push_back({&entries[i], i});
    }
    struct Case {
        int jobs;
        std::vector<std::size_t> doneOrder;
    };
    for (const Case& c : {Case{1, {0, 1}}, Case{2, {1, 0}}, Case{3, {1, 0}}}) {
        SCOPED_TRACE(c.jobs);
        options->TargetExistsOpt = kTargetOverwrite;
        CFakeUi fake;
        bool waited = true;
        if (c.jobs > 1)
            fake.onNamed = [&](std::size_t row, const EntryResult&) {
                if (row != 0) return;
                std::unique_lock<std::mutex> lock(fake.doneMutex);
                waited = fake.doneChanged.wait_for(lock, std::chrono::seconds(20), [&] {
                    return std::any_of(fake.done.begin(), fake.done.end(), [](const auto& d) { return d.first == 1; });
                });
            };
        const BatchOutcome o = ConvertBatch(items, *options, fake, c.jobs);
        EXPECT_TRUE(waited);
        EXPECT_EQ(o.converted, 2u);
        EXPECT_EQ(o.failed, 1u);
        std::vector<std::size_t> order;
        for (const auto& [row, status] : fake.done) order.push_back(row);
        // Each entry once; the missing file may be done anywhere among the others.
        std::vector<std::size_t> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, (std::vector<std::size_t>{0, 1, 2}));
        order.erase(std::remove(order.begin(), order.end(), std::size_t{2}), order.end());
        EXPECT_EQ(order, c.doneOrder);
        for (const auto& [row, status] : fake.done)
            EXPECT_EQ(status, (std::vector<std::string>{"d1.swf", "d2.swf", "Conversion Failure"}[row]));
        EXPECT_EQ(fake.statuses, (std::vector<std::string>{"d1.swf", "d2.swf", "Conversion Failure"}));
        EXPECT_EQ(fake.results.size(), 3u);
    }
}

// The frame RECT of an uncompressed SWF, in pixels, read by the file format's rules.
std::pair<int, int> SwfFrameSize(const std::string& swf) {
    const std::vector<std::uint8_t> b = test::ReadFileBytes(swf);
    if (b.size() < 20 || b[0] != 'F') return {-1, -1};
    const int n = b[8] >> 3;
    auto field = [&](int index) {
        std::int64_t v = 0;
        for (int i = 0; i < n; ++i) {
            const std::size_t bit = 5 + static_cast<std::size_t>(index * n + i);
            v = v << 1 | ((b[8 + bit / 8] >> (7 - bit % 8)) & 1);
        }
        return v >> (n - 1) ? v - (std::int64_t{1} << n) : v;
    };
    return {static_cast<int>((field(1) - field(0)) / 20), static_cast<int>((field(3) - field(2)) / 20)};
}

// A JPEG-background movie takes the chosen size, from a picture beyond one straight edge's
// reach too; a picture that cannot be used (missing, empty, cut, a PNG) is reported and the
// size is still kept.
TEST_F(ConvertBatchTest, JpegBackgroundKeepsTheChosenSize) {
    const std::string jpeg = dir.File("pic.jpg");
    ASSERT_EQ(RunCommand({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "color=c=red:s=64x48", "-frames:v", "1", jpeg}), 0);
    const std::vector<std::uint8_t> jpegBytes = test::ReadFileBytes(jpeg);
    const std::string whole(jpegBytes.begin(), jpegBytes.end());
    const std::string png = dir.File("pic.png");
    ASSERT_EQ(RunCommand({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "color=c=red:s=64x48", "-frames:v", "1", png}), 0);
    options->CreateCtrlSWF = 1;
    options->ButtonSWFType = kButtonSingleSwf;
    options->ControlSWF = std::string(TONVELA_DATA_DIR) + "/ControlSWF/use_a_jpeg_1.swf";
    options->TargetExistsOpt = kTargetOverwrite;
    const std::string wav = Sine("j.wav", 22050, 1, 0.3);
    list.AddFileEntry(wav);
    items = {{&list.At(0), 0}};
    const struct {
        std::string picture;
        int width, height;
        bool refused;
    } cases[] = {{jpeg, 400, 300, false},
                 {jpeg, 4000, 300, false},
                 {dir.File("missing.jpg"), 400, 300, true},
                 {Bytes("empty.jpg", ""), 400, 300, true},
                 {Bytes("cut.jpg", whole.substr(0, whole.size() / 2)), 400, 300, true},
                 {png, 400, 300, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.picture + " " + std::to_string(c.width));
        options->JPEGFile = c.picture;
        options->JPEGWidth = c.width;
        options->JPEGHeight = c.height;
        CFakeUi fake;
        const BatchOutcome o = ConvertBatch(items, *options, fake, 1);
        ASSERT_EQ(o.converted, 1u);
        EXPECT_EQ(SwfFrameSize(dir.File("j.swf")), std::make_pair(c.width, c.height));
        ASSERT_EQ(fake.messages.size(), c.refused ? 1u : 0u);
        if (c.refused) {
            EXPECT_NE(fake.messages[0].find(c.picture), std::string::npos) << fake.messages[0];
        }
    }
}

TEST_F(ConvertBatchTest, BrowseShowsFirstWrittenSwfOnly) {
    const std::string bad = Bytes("b.wav", std::string(100, 'q'));
    const std::string good = Sine("g.wav", 22050, 1, 0.5);
    CFileListEntry e1, e2;
    e1.path = bad;
    e2.path = good;
    e1.kind = e2.kind = AudioKindWav;
    items = {{&e1, 0}, {&e2, 1}};
    options->BrowseOutFolder = 1;
    ConvertBatch(items, *options, ui, 1);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0], dir.File("g.swf"));
    ui.shown.clear();
    options->BrowseOutFolder = 0;
    ConvertBatch(items, *options, ui, 1);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(ConvertBatchTest, ParallelJobsNameInInputOrder) {
    // Four sources with the same base in one folder, of different lengths so that they finish
    // out of order, and a failing one at the end.
    std::vector<std::string> paths = {Sine("same.wav", 22050, 1, 1.0), Sine("same.aiff", 22050, 1, 0.3),
                                      Sine("same.flac", 22050, 1, 0.6), Encoded("same.ogg", 0.2, {"-c:a", "libvorbis"}),
                                      Bytes("same.au", std::string(64, 'x'))};
    std::vector<CFileListEntry> entries(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        entries[i].path = paths[i];
        entries[i].kind = AudioKindFromPath(paths[i]);
        items.push_back({&entries[i], i});
    }
    // The same with workers the system refuses to start: fewer share the list, none runs it here.
    auto refusingAfter = [](int allowed) {
        return ThreadStarter([n = std::make_shared<std::atomic<int>>(0), allowed](std::function<void()> body) {
            if ((*n)++ >= allowed) throw std::system_error(EAGAIN, std::generic_category());
            return std::jthread(std::move(body));
        });
    };
    const double lengths[] = {1.0, 0.3, 0.6, 0.2};
    for (const int allowed : {3, 1, 0}) {
        SCOPED_TRACE(allowed);
        for (const auto& f : fs::directory_iterator(dir.File("")))
            if (f.path().extension() == ".swf" || f.path().extension().string().rfind(".htm", 0) == 0) fs::remove(f.path());
        CFakeUi fake;
        const BatchOutcome o = ConvertBatch(items, *options, fake, 3, refusingAfter(allowed));
        ASSERT_TRUE(o.started);
        EXPECT_EQ(o.converted, 4u);
        EXPECT_EQ(o.failed, 1u);
        EXPECT_EQ(fake.statuses, (std::vector<std::string>{"same.swf", "same_1.swf", "same_2.swf", "same_3.swf",
                                                           "Conversion Failure"}));
        // One file at a time, the overall line counts through the files; with several, it names
        // the running ones. The overall bar never goes back and ends full.
        if (allowed == 0) {
            EXPECT_EQ(fake.progress.overall.front(), "Converting 1 of 5 file(s) into SWF...");
            EXPECT_EQ(fake.progress.overall.back(), "Converting 5 of 5 file(s) into SWF...");
        }
        EXPECT_TRUE(std::is_sorted(fake.progress.bars.begin(), fake.progress.bars.end()));
        ASSERT_FALSE(fake.progress.bars.empty());
        EXPECT_EQ(fake.progress.bars.back(), kBatchBarMax);
        // Each SWF holds its own source's sound.
        for (std::size_t i = 0; i < 4; ++i) {
            const auto decoded = test::DecodeWithFfmpeg(entries[i].swfPath, dir.File("x.raw"), 22050);
            EXPECT_NEAR(static_cast<double>(decoded.size()) / 22050.0, lengths[i], 0.12) << entries[i].swfPath;
        }
        EXPECT_TRUE(HiddenFiles().empty());
    }

    // With "Overwrite" every entry targets same.swf, but none replaces what an earlier one of
    // the batch wrote: they get the numbered names again (the old files there replaced).
    options->TargetExistsOpt = kTargetOverwrite;
    const BatchOutcome o2 = ConvertBatch(items, *options, ui, 3);
    EXPECT_EQ(o2.converted, 4u);
    EXPECT_EQ(ui.statuses[0], "same.swf");
    EXPECT_EQ(ui.statuses[3], "same_3.swf (renamed: same.swf was written by an earlier file of this batch)");
    for (std::size_t i = 0; i < 4; ++i) {
        const auto decoded = test::DecodeWithFfmpeg(entries[i].swfPath, dir.File("x.raw"), 22050);
        EXPECT_NEAR(static_cast<double>(decoded.size()) / 22050.0, lengths[i], 0.12) << entries[i].swfPath;
    }
    EXPECT_EQ(entries[3].swfPath, dir.File("same_3.swf"));
    EXPECT_TRUE(HiddenFiles().empty());
}

}  // namespace
}  // namespace tonvela
