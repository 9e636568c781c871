// The options sheet as the main window runs it: the Sound and Output pages' rules and messages,
// validation when a page is left, what OK saves into the store and what Cancel leaves alone.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QLayout>
#include <QtTest>
#include <iterator>
#include <span>
#include <vector>

#include "OptionsTestSupport.h"
#include "convert/ConvertOptions.h"
#include "convert/SettingsCatalog.h"
#include "platform/SettingsStore.h"
#include "ui/NumberEdit.h"
#include "ui/PageMP3Opt.h"
#include "ui/PageOutputOpt.h"
#include "ui/SheetOptions.h"
#include "ui/Skin.h"

using namespace tonvela;
using namespace tonvela::test;

namespace {

template <class T>
T* Child(QWidget* root, const char* name) {
    T* w = root->findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no child %s", name);
    return w;
}

// Picks the combo item carrying value as a user would (the page reacts to "activated").
void Choose(QComboBox* box, int value) {
    const int i = box->findData(value);
    QVERIFY2(i >= 0, qPrintable(QStringLiteral("no item %1").arg(value)));
    box->setCurrentIndex(i);
    emit box->activated(i);
}

void SetNumber(QWidget* root, const char* name, const QString& text) {
    Child<CNumberEdit>(root, name)->Edit()->setText(text);
}

void SetChecked(QAbstractButton* b, bool on) {
    if (b->isChecked() != on) b->click();
}

void Click(QWidget* sheet, QDialogButtonBox::StandardButton which) {
    sheet->findChild<QDialogButtonBox*>()->button(which)->click();
}

// The record as a fresh program start would load it from the store's folder.
CConvertOptions Reload(const QString& folder) {
    CSettingsStore store(folder.toStdString());
    store.Load();
    CConvertOptions back(DataDir());
    back.Load(store);
    return back;
}

std::vector<int> ItemData(const QComboBox* box) {
    std::vector<int> out;
    for (int i = 0; i < box->count(); ++i) out.push_back(box->itemData(i).toInt());
    return out;
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class CSheetOptionsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { HideWebPlayer(); }
    void soundPageOpens_data();
    void soundPageOpens();
    void rateRules();
    void leavingSoundPage_data();
    void leavingSoundPage();
    void okSavesWhatWasShown();
    void autoKeepsManualValues();
    void okWithoutChangeKeepsTheStore();
    void pagesOfferTheCoreChoices();
    void cancelKeepsStoreButNotSliders();
    void outputFolderRules();
    void exampleText_data();
    void exampleText();
    void sizeStaysPut();
    void screenshots();
};

void CSheetOptionsTest::soundPageOpens_data() {
    QTest::addColumn<int>("automatic");
    QTest::addColumn<int>("bitRate");
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<QString>("item");
    QTest::newRow("defaults") << 1 << 24 << 22050 << 1 << "Auto";
    QTest::newRow("first preset") << 0 << 16 << 11025 << 1 << "11025 Hz, 16 kbps, Mono (OK quality, smaller file size)";
    QTest::newRow("third preset") << 0 << 64 << 22050 << 1 << "22050 Hz, 64 kbps, Mono (good quality, normal file size)";
    QTest::newRow("fourth preset") << 0 << 128 << 44100 << 2
                                   << "44100 Hz, 128 kbps, Stereo (close to CD-quality, large size)";
    QTest::newRow("mono 128 kbps") << 0 << 128 << 44100 << 1 << "Custom";
    QTest::newRow("not listed") << 0 << 8 << 8000 << 1 << "Custom";
}

void CSheetOptionsTest::soundPageOpens() {
    QFETCH(int, automatic);
    QFETCH(int, bitRate);
    QFETCH(int, sampleRate);
    QFETCH(int, channels);
    QFETCH(QString, item);
    CConvertOptions s(DataDir());
    s.AutoDestMP3EncodingParam = automatic;
    s.MP3BitRate = bitRate;
    s.MP3SampleRate = sampleRate;
    s.MP3ChannelNum = channels;
    CPageMP3Opt page(s);
    QCOMPARE(Child<QComboBox>(&page, "encoding")->currentText(), item);
    auto* rates = Child<QComboBox>(&page, "bitRate");
    auto* freqs = Child<QComboBox>(&page, "sampleRate");
    for (QWidget* w : {static_cast<QWidget*>(rates), static_cast<QWidget*>(freqs), Child<QWidget>(&page, "mono"),
                       Child<QWidget>(&page, "stereo")})
        QCOMPARE(w->isEnabled(), automatic == 0);
    // Values not in the lists show the first items.
    QCOMPARE(rates->currentText(), bitRate == 8 ? QStringLiteral("16 kbps") : QStringLiteral("%1 kbps").arg(bitRate));
    QCOMPARE(freqs->currentText(), sampleRate == 8000 ? QStringLiteral("11025 Hz") : QStringLiteral("%1 Hz").arg(sampleRate));

    if (automatic) {
        // "Custom" enables the controls with the values kept while automatic.
        Choose(Child<QComboBox>(&page, "encoding"), kEncodingCustom);
        QVERIFY(rates->isEnabled());
        QCOMPARE(rates->currentText(), QStringLiteral("24 kbps"));
        QCOMPARE(freqs->currentText(), QStringLiteral("22050 Hz"));
        QVERIFY(Child<QRadioButton>(&page, "mono")->isChecked());
    }
}

// The page offers the core's choices and pairs them as the core does: every bit rate chosen at
// every sample rate, and every sample rate at every bit rate, ends in the pair the catalog gives.
void CSheetOptionsTest::rateRules() {
    for (int startRate : kMp3SampleRates) {
        for (int startBitRate : {Mp3BitRatesAt(startRate).front(), Mp3BitRatesAt(startRate).back()}) {
            for (const char* combo : {"bitRate", "sampleRate"}) {
                const bool byBitRate = combo[0] == 'b';
                for (int chosen : byBitRate ? std::span<const int>(kMp3BitRates) : std::span<const int>(kMp3SampleRates)) {
                    CConvertOptions s(DataDir());
                    s.AutoDestMP3EncodingParam = 0;
                    s.MP3BitRate = startBitRate;
                    s.MP3SampleRate = startRate;
                    s.MP3ChannelNum = 1;
                    CPageMP3Opt page(s);
                    auto* rates = Child<QComboBox>(&page, "bitRate");
                    auto* freqs = Child<QComboBox>(&page, "sampleRate");
                    QCOMPARE(ItemData(rates), std::vector<int>(std::begin(kMp3BitRates), std::end(kMp3BitRates)));
                    QCOMPARE(ItemData(freqs), std::vector<int>(std::begin(kMp3SampleRates), std::end(kMp3SampleRates)));
                    Choose(Child<QComboBox>(&page, combo), chosen);
                    const int wantBitRate = byBitRate ? chosen : Mp3BitRateFor(chosen, startBitRate);
                    const int wantSampleRate = byBitRate ? Mp3SampleRateFor(startRate, chosen) : chosen;
                    QVERIFY(Mp3PairAllowed(wantSampleRate, wantBitRate));
                    QCOMPARE(rates->currentData().toInt(), wantBitRate);
                    QCOMPARE(freqs->currentData().toInt(), wantSampleRate);
                    QVERIFY(page.OnKillActive() && page.OnOK());
                    CConvertOptions out = s;
                    page.CopyBack(out);
                    QCOMPARE(out.MP3BitRate, wantBitRate);
                    QCOMPARE(out.MP3SampleRate, wantSampleRate);
                }
            }
        }
    }
}

void CSheetOptionsTest::leavingSoundPage_data() {
    QTest::addColumn<bool>("changeVolume");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("stored");
    const QString range = QStringLiteral("Invalid coefficient. It must be between 10 and 3000.");
    const QString integer = QStringLiteral("Please enter an integer.");
    QTest::newRow("5 % with volume change") << true << "coefficient" << "5" << range << 0;
    QTest::newRow("3001 % with volume change") << true << "coefficient" << "3001" << range << 0;
    QTest::newRow("10 % with volume change") << true << "coefficient" << "10" << "" << 10;
    QTest::newRow("3000 % with volume change") << true << "coefficient" << "3000" << "" << 3000;
    // Unused while the volume stays, a coefficient the core refuses goes back to the one shown.
    QTest::newRow("5 % without volume change") << false << "coefficient" << "5" << "" << 100;
    QTest::newRow("empty coefficient") << false << "coefficient" << "" << integer << 0;
    QTest::newRow("empty skip first") << false << "skipFirst" << "" << integer << 0;
    QTest::newRow("empty skip last") << false << "skipLast" << "" << integer << 0;
    QTest::newRow("empty duration") << true << "duration" << "" << integer << 0;
    QTest::newRow("largest duration") << false << "duration" << "2147483647" << "" << 2147483647;
}

void CSheetOptionsTest::leavingSoundPage() {
    QFETCH(bool, changeVolume);
    QFETCH(QString, edit);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(int, stored);
    CConvertOptions s(DataDir());
    CSheetOptions sheet(s, CSheetOptions::kSoundPage);
    sheet.show();
    CModalDriver driver;
    SetChecked(Child<QCheckBox>(&sheet, "changeVolume"), changeVolume);
    SetNumber(&sheet, qPrintable(edit), text);
    auto* tabs = sheet.findChild<QTabWidget*>();
    tabs->setCurrentIndex(CSheetOptions::kOutputPage);
    if (!message.isEmpty()) {
        QCOMPARE(driver.messages, QStringList{message});
        QCOMPARE(sheet.ActivePage(), int(CSheetOptions::kSoundPage));
        return;
    }
    QVERIFY(driver.messages.isEmpty());
    QCOMPARE(sheet.ActivePage(), int(CSheetOptions::kOutputPage));
    Click(&sheet, QDialogButtonBox::Ok);
    QCOMPARE(sheet.result(), int(QDialog::Accepted));
    CConvertOptions out = s;
    sheet.CopyBack(out);
    const int kept = edit == QLatin1String("coefficient") ? out.VolumeCoef
                     : edit == QLatin1String("duration")  ? out.ConvertDuration
                                                          : -1;
    QCOMPARE(kept, stored);
    QCOMPARE(out.ChangeVolume, changeVolume ? 1 : 0);
}

void CSheetOptionsTest::okSavesWhatWasShown() {
    QTemporaryDir dir;
    CSettingsStore store(dir.path().toStdString());
    CConvertOptions settings(DataDir());
    int lastPage = CSheetOptions::kOutputPage;
    int maxJobs = 0;
    CModalDriver driver;
    driver.onDialog = [&](QWidget* w) {
        auto* sheet = qobject_cast<CSheetOptions*>(w);
        QVERIFY(sheet);
        QCOMPARE(sheet->ActivePage(), int(CSheetOptions::kOutputPage));
        // The wait cursor was for the opening only.
        QVERIFY(!QApplication::overrideCursor());
        // SWF page
        Child<QRadioButton>(sheet, "withoutControls")->click();
        Child<QRadioButton>(sheet, "event")->click();
        SetChecked(Child<QCheckBox>(sheet, "initPlay"), false);
        SetChecked(Child<QCheckBox>(sheet, "loopPlay"), true);
        SetChecked(Child<QCheckBox>(sheet, "createHtml"), false);
        Child<QComboBox>(sheet, "frameRate")->setCurrentIndex(23);
        Child<QLineEdit>(sheet, "buttonColour")->setText(QStringLiteral("0000FF"));
        Child<QLineEdit>(sheet, "backgroundColour")->setText(QStringLiteral("123456"));
        // Sound page
        Choose(Child<QComboBox>(sheet, "encoding"), 1416);
        SetChecked(Child<QCheckBox>(sheet, "changeVolume"), true);
        SetNumber(sheet, "coefficient", QStringLiteral("250"));
        SetNumber(sheet, "skipFirst", QStringLiteral("1500"));
        Child<QRadioButton>(sheet, "onlyConvert")->click();
        SetNumber(sheet, "duration", QStringLiteral("4000"));
        // Output page
        Child<QComboBox>(sheet, "folderOption")->setCurrentIndex(2);
        Child<QLineEdit>(sheet, "customFolder")->setText(QStringLiteral("/srv/out/"));
        SetChecked(Child<QCheckBox>(sheet, "createDirs"), true);
        Child<QComboBox>(sheet, "existsOption")->setCurrentIndex(2);
        SetChecked(Child<QCheckBox>(sheet, "myDocuments"), false);
        SetChecked(Child<QCheckBox>(sheet, "browseOutFolder"), false);
        auto* jobs = Child<QSpinBox>(sheet, "convertJobs");
        maxJobs = jobs->maximum();
        jobs->setValue(maxJobs);
        Child<QComboBox>(sheet, "webPlayer")->setCurrentIndex(1);
        Child<QLineEdit>(sheet, "webPlayerUrl")->setText(QStringLiteral("https://example.org/r/ruffle.js"));
        sheet->findChild<QTabWidget*>()->setCurrentIndex(CSheetOptions::kSoundPage);
        Click(sheet, QDialogButtonBox::Ok);
    };
    QVERIFY(RunOptionsSheet(settings, store, lastPage, nullptr));
    QVERIFY(driver.messages.isEmpty());
    QCOMPARE(lastPage, int(CSheetOptions::kSoundPage));

    // The stored words, worked out by hand: colours are red in the low byte.
    CSettingsStore raw(dir.path().toStdString());
    QVERIFY(raw.Load());
    QCOMPARE(raw.GetDword(kOptionsKey, "SWFBtnColor").value_or(0), 0x00FF0000u);
    QCOMPARE(raw.GetDword(kOptionsKey, "SWFBkgColor").value_or(0), 0x00563412u);

    const CConvertOptions back = Reload(dir.path());
    const CConvertOptions* both[] = {&settings, &back};
    for (const CConvertOptions* o : both) {
        QCOMPARE(o->CreateCtrlSWF, 0);
        QCOMPARE(o->SWFSoundType, int(kSoundEvent));
        QCOMPARE(o->ButtonSWFType, int(kButtonSingleSwf));
        QCOMPARE(o->SWFInitPlay, 0);
        QCOMPARE(o->SWFLoopPlay, 1);
        QCOMPARE(o->CreateHtmlFile, 0);
        QCOMPARE(o->AddFileNameOnHtml, 1);
        QCOMPARE(o->SWFFrameRate, 24);
        QCOMPARE(o->SWFBtnColor, 0xFF0000);
        QCOMPARE(o->SWFBkgColor, 0x563412);
        QCOMPARE(o->AutoDestMP3EncodingParam, 0);
        QCOMPARE(o->MP3BitRate, 128);
        QCOMPARE(o->MP3SampleRate, 44100);
        QCOMPARE(o->MP3ChannelNum, 2);
        QCOMPARE(o->ChangeVolume, 1);
        QCOMPARE(o->VolumeCoef, 250);
        QCOMPARE(o->SkipFirstMs, 1500);
        QCOMPARE(o->TrimLastType, 1);
        QCOMPARE(o->ConvertDuration, 4000);
        QCOMPARE(o->SWFOutputFolderOpt, int(kOutputCustomFolder));
        QCOMPARE(o->SWFSpecifiedFolder, std::string("/srv/out/"));
        QCOMPARE(o->CreateDirs, 1);
        QCOMPARE(o->TargetExistsOpt, int(kTargetSkip));
        QCOMPARE(o->OutputFiles2MyDocuments, 0);
        QCOMPARE(o->BrowseOutFolder, 0);
        QCOMPARE(o->ConvertJobs, maxJobs);
        QCOMPARE(o->HtmlWebPlayer, int(kWebPlayerFromUrl));
        QCOMPARE(o->HtmlWebPlayerUrl, std::string("https://example.org/r/ruffle.js"));
        QCOMPARE(o->ControlSWF, settings.DefaultControlSWF());
    }
}

// OK without a change leaves the store byte for byte, also when it holds what a page could not
// show as it is: a rate the rules read as another, a frame rate beyond the list, a template
// outside the template folder, more jobs than cores, an empty web player address.
void CSheetOptionsTest::okWithoutChangeKeepsTheStore() {
    QTemporaryDir dir;
    const QString own = dir.filePath(QStringLiteral("My Player.swf"));
    QVERIFY(QFile::copy(QString::fromStdString(CConvertOptions(DataDir()).DefaultControlSWF()), own));
    {
        CSettingsStore store(dir.path().toStdString());
        CConvertOptions s(DataDir());
        s.AutoDestMP3EncodingParam = 0;
        s.MP3BitRate = 128;
        s.MP3SampleRate = 44100;
        s.MP3ChannelNum = 2;
        s.SWFFrameRate = 200;
        s.BlankFrames = 40000;
        s.JPEGWidth = 32767;
        s.ConvertJobs = 64;
        s.HtmlWebPlayerUrl.clear();
        s.ControlSWF = own.toStdString();
        s.SWFOutputFolderOpt = kOutputFolderPerSwf;
        s.TargetExistsOpt = kTargetSkip;
        s.Save(store, kSaveOptions);
        // 8000 Hz, as an older --set could store it: read as 11025 Hz, with 64 kbit/s.
        store.SetDword(kOptionsKey, "MP3SampleRate", 8000);
        QVERIFY(store.Save());
    }
    const QString file = dir.filePath(QString::fromLatin1(CSettingsStore::kFileName));
    const QByteArray before = FileBytes(file);
    for (int page = 0; page < CSheetOptions::kPageCount; ++page) {
        CSettingsStore store(dir.path().toStdString());
        QVERIFY(store.Load());
        CConvertOptions settings(DataDir());
        settings.Load(store);
        QCOMPARE(settings.MP3SampleRate, 11025);
        const CConvertOptions loaded = settings;
        int lastPage = page;
        CModalDriver driver;
        driver.onDialog = [&](QWidget* sheet) { Click(sheet, QDialogButtonBox::Ok); };
        QVERIFY(RunOptionsSheet(settings, store, lastPage, nullptr));
        QVERIFY(driver.messages.isEmpty());
        QVERIFY(settings == loaded);
        QCOMPARE(FileBytes(file), before);
    }
}

// The pages offer what the settings catalog allows, taken from it.
void CSheetOptionsTest::pagesOfferTheCoreChoices() {
    CConvertOptions s(DataDir());
    s.ConvertJobs = FindSetting("ConvertJobs")->rule.high;
    CSheetOptions sheet(s, CSheetOptions::kSwfPage);
    auto choices = [](const char* name) {
        const SettingRule& rule = FindSetting(name)->rule;
        return std::vector<int>(rule.choices.begin(), rule.choices.end());
    };
    QCOMPARE(ItemData(Child<QComboBox>(&sheet, "folderOption")), choices("SWFOutputFolderOpt"));
    QCOMPARE(ItemData(Child<QComboBox>(&sheet, "existsOption")), choices("TargetExistsOpt"));
    QCOMPARE(ItemData(Child<QComboBox>(&sheet, "webPlayer")), choices("HtmlWebPlayer"));
    QCOMPARE(ItemData(Child<QComboBox>(&sheet, "bitRate")), choices("MP3BitRate"));
    QCOMPARE(ItemData(Child<QComboBox>(&sheet, "sampleRate")), choices("MP3SampleRate"));
    // Jobs up to the cores, or as many as stored when more: never beyond the rule.
    auto* jobs = Child<QSpinBox>(&sheet, "convertJobs");
    QCOMPARE(jobs->value(), s.ConvertJobs);
    QCOMPARE(jobs->maximum(), FindSetting("ConvertJobs")->rule.high);
    // A number past its rule cannot leave the page, whatever the edit lets through.
    CModalDriver driver;
    SetNumber(&sheet, "blankFrames", QString::number(FindSetting("BlankFrames")->rule.high + 1));
    sheet.findChild<QTabWidget*>()->setCurrentIndex(CSheetOptions::kOutputPage);
    QCOMPARE(sheet.ActivePage(), int(CSheetOptions::kSwfPage));
    QCOMPARE(driver.messages.size(), 1);
    QVERIFY(driver.messages[0].contains(QString::number(FindSetting("BlankFrames")->rule.high)));
}

void CSheetOptionsTest::autoKeepsManualValues() {
    QTemporaryDir dir;
    CSettingsStore store(dir.path().toStdString());
    CConvertOptions settings(DataDir());
    settings.AutoDestMP3EncodingParam = 0;
    settings.MP3BitRate = 128;
    settings.MP3SampleRate = 44100;
    settings.MP3ChannelNum = 2;
    settings.Save(store, kSaveOptions);  // as stored: OK writes only what the sheet changed
    // Another program (tonvela-convert --save) stores a value while the sheet is open.
    CSettingsStore other(dir.path().toStdString());
    other.Load();
    other.SetDword(kOptionsKey, "SWFFrameRate", 30);
    QVERIFY(other.Save());
    int lastPage = CSheetOptions::kSoundPage;
    CModalDriver driver;
    driver.onDialog = [&](QWidget* sheet) {
        Choose(Child<QComboBox>(sheet, "bitRate"), 320);
        Child<QRadioButton>(sheet, "mono")->click();
        Choose(Child<QComboBox>(sheet, "encoding"), kEncodingAuto);
        QVERIFY(!Child<QComboBox>(sheet, "bitRate")->isEnabled());
        Click(sheet, QDialogButtonBox::Ok);
    };
    QVERIFY(RunOptionsSheet(settings, store, lastPage, nullptr));
    const CConvertOptions back = Reload(dir.path());
    QCOMPARE(back.AutoDestMP3EncodingParam, 1);
    QCOMPARE(back.MP3BitRate, 128);
    QCOMPARE(back.MP3SampleRate, 44100);
    QCOMPARE(back.MP3ChannelNum, 2);
    QCOMPARE(back.SWFFrameRate, 30);
}

void CSheetOptionsTest::cancelKeepsStoreButNotSliders() {
    QTemporaryDir dir;
    CSettingsStore store(dir.path().toStdString());
    CConvertOptions settings(DataDir());
    settings.Save(store, kSaveOptions);
    const QString file = QString::fromStdString(store.FilePath().string());
    const QByteArray before = FileBytes(file);
    QVERIFY(!before.isEmpty());
    const CConvertOptions original = settings;

    int lastPage = CSheetOptions::kSwfPage;
    CModalDriver driver;
    driver.onDialog = [&](QWidget* sheet) {
        Child<QComboBox>(sheet, "frameRate")->setCurrentIndex(0);
        Child<QLineEdit>(sheet, "buttonColour")->setText(QStringLiteral("FF0000"));
        Child<QSlider>(sheet, "slider1")->setValue(55);
        Child<QSlider>(sheet, "slider4")->setValue(250);
        Child<QRadioButton>(sheet, "withoutControls")->click();
        sheet->findChild<QTabWidget*>()->setCurrentIndex(CSheetOptions::kOutputPage);
        Child<QComboBox>(sheet, "folderOption")->setCurrentIndex(1);
        Click(sheet, QDialogButtonBox::Cancel);
    };
    QVERIFY(!RunOptionsSheet(settings, store, lastPage, nullptr));
    QCOMPARE(lastPage, int(CSheetOptions::kOutputPage));
    QCOMPARE(FileBytes(file), before);
    // The sliders act on the running settings at once; everything else is as it was.
    QCOMPARE(settings.GC[0], 0.55f);
    QCOMPARE(settings.TBC, 2.5f);
    QCOMPARE(settings.GC[1], original.GC[1]);
    QCOMPARE(settings.GC[2], original.GC[2]);
    QCOMPARE(settings.GC[3], original.GC[3]);
    QCOMPARE(settings.SWFFrameRate, original.SWFFrameRate);
    QCOMPARE(settings.SWFBtnColor, original.SWFBtnColor);
    QCOMPARE(settings.CreateCtrlSWF, original.CreateCtrlSWF);
    QCOMPARE(settings.SWFOutputFolderOpt, original.SWFOutputFolderOpt);
}

void CSheetOptionsTest::outputFolderRules() {
    CConvertOptions s(DataDir());
    s.SWFOutputFolderOpt = 5;
    s.TargetExistsOpt = 7;
    {
        // Unknown codes open as the first items and are stored as their codes.
        CSheetOptions sheet(s, CSheetOptions::kOutputPage);
        sheet.show();
        QCOMPARE(Child<QComboBox>(&sheet, "folderOption")->currentText(), QStringLiteral("Same as original file"));
        QVERIFY(!Child<QLineEdit>(&sheet, "customFolder")->isEnabled());
        QVERIFY(!Child<QPushButton>(&sheet, "browse")->isEnabled());
        QVERIFY(!Child<QCheckBox>(&sheet, "createDirs")->isEnabled());
        Click(&sheet, QDialogButtonBox::Ok);
        CConvertOptions out = s;
        sheet.CopyBack(out);
        QCOMPARE(out.SWFOutputFolderOpt, int(kOutputSameFolder));
        QCOMPARE(out.TargetExistsOpt, int(kTargetRename));
    }
    CSheetOptions sheet(s, CSheetOptions::kOutputPage);
    sheet.show();
    CModalDriver driver;
    auto* folders = Child<QComboBox>(&sheet, "folderOption");
    folders->setCurrentIndex(2);
    QVERIFY(Child<QLineEdit>(&sheet, "customFolder")->isEnabled());
    // A custom folder that is empty keeps the sheet open, also when another page is chosen.
    Click(&sheet, QDialogButtonBox::Ok);
    QVERIFY(sheet.isVisible());
    sheet.findChild<QTabWidget*>()->setCurrentIndex(CSheetOptions::kSoundPage);
    QCOMPARE(sheet.ActivePage(), int(CSheetOptions::kOutputPage));
    QCOMPARE(driver.messages, QStringList(2, QStringLiteral("Please specify an output folder.")));
    Child<QLineEdit>(&sheet, "customFolder")->setText(QStringLiteral("/srv/music"));
    // Back to "Same as original file": the typed folder is kept and stored anyway.
    folders->setCurrentIndex(0);
    Click(&sheet, QDialogButtonBox::Ok);
    QCOMPARE(sheet.result(), int(QDialog::Accepted));
    CConvertOptions out = s;
    sheet.CopyBack(out);
    QCOMPARE(out.SWFOutputFolderOpt, int(kOutputSameFolder));
    QCOMPARE(out.SWFSpecifiedFolder, std::string("/srv/music"));
}

void CSheetOptionsTest::exampleText_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("createDirs");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("warning");
    QTest::newRow("same folder") << 0 << true << "/data/out" << "/home/user/Music/pop/1.swf" << false;
    QTest::newRow("folder per SWF") << 1 << false << "" << "/home/user/Music/pop/1/1.swf" << true;
    QTest::newRow("custom folder") << 2 << false << "/data/out" << "/data/out/1.swf" << false;
    QTest::newRow("custom folder with its path") << 2 << true << "/data/out/" << "/data/out/home/user/Music/pop/1.swf"
                                                 << false;
    QTest::newRow("custom folder not chosen yet") << 2 << true << "" << "/srv/Output/home/user/Music/pop/1.swf" << false;
}

void CSheetOptionsTest::exampleText() {
    QFETCH(int, index);
    QFETCH(bool, createDirs);
    QFETCH(QString, folder);
    QFETCH(QString, target);
    QFETCH(bool, warning);
    CConvertOptions s(DataDir());
    s.SWFOutputFolderOpt = kOutputCustomFolder;
    s.HtmlWebPlayer = kWebPlayerBesidePage;
    CPageOutputOpt page(s);
    page.show();
    Child<QLineEdit>(&page, "customFolder")->setText(folder);
    SetChecked(Child<QCheckBox>(&page, "createDirs"), createDirs);
    Child<QComboBox>(&page, "folderOption")->setCurrentIndex(index);
    QCOMPARE(Child<QLabel>(&page, "example")->text(),
             QStringLiteral("For example, /home/user/Music/pop/1.mp3 becomes ") + target);
    // Copying the web player beside every page is worth a word with a folder per SWF.
    QCOMPARE(Child<QLabel>(&page, "webPlayerWarning")->isVisible(), warning);
}

// The sheet opens at one size whatever the settings show, and keeps it while each template
// kind's rows come and go; every row still fits in it. Without interfaces the Appearance rows
// sit at the top, not spread over the height.
void CSheetOptionsTest::sizeStaysPut() {
    ApplySkin(*qApp);
    CConvertOptions withControls(DataDir());
    withControls.CreateCtrlSWF = 1;
    CConvertOptions without(DataDir());
    without.CreateCtrlSWF = 0;
    QSize first;
    for (CConvertOptions* s : {&withControls, &without}) {
        CSheetOptions sheet(*s, CSheetOptions::kSwfPage);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        if (first.isEmpty()) first = sheet.size();
        QCOMPARE(sheet.size(), first);
        for (int kind : {300, 600, 100, 0}) {
            sheet.SwfPage()->ShowOptionGroups(kind);
            QApplication::processEvents();
            QCOMPARE(sheet.size(), first);
            QVERIFY2(sheet.layout()->minimumSize().height() <= sheet.height() &&
                         sheet.layout()->minimumSize().width() <= sheet.width(),
                     qPrintable(QStringLiteral("kind %1 in %4 x %5 needs %2 x %3").arg(kind).arg(
                         sheet.layout()->minimumSize().width()).arg(sheet.layout()->minimumSize().height()).arg(sheet.width()).arg(sheet.height())));
        }
        sheet.SwfPage()->RefreshOptionGroups();
        QApplication::processEvents();
        if (s == &without) {
            QVERIFY(sheet.grab().save(ScreenshotDir() + QStringLiteral("/options-no-interfaces.png")));
            // The background colour row right under the list, with room to spare below it.
            auto* box = Child<QWidget>(&sheet, "backgroundColour");
            auto* appearance = box->parentWidget();
            const int rowBottom = box->mapTo(appearance, QPoint(0, box->height())).y();
            QVERIFY2(rowBottom < appearance->height() / 2, qPrintable(QString::number(rowBottom)));
        }
    }
}

void CSheetOptionsTest::screenshots() {
    // In the program's own look (the last test: the style sheet stays on the application).
    ApplySkin(*qApp);
    CConvertOptions s(DataDir());
    CSheetOptions sheet(s, CSheetOptions::kSwfPage);
    sheet.show();
    auto* tabs = sheet.findChild<QTabWidget*>();
    const char* names[] = {"options-swf.png", "options-sound.png", "options-output.png"};
    for (int i = 0; i < CSheetOptions::kPageCount; ++i) {
        tabs->setCurrentIndex(i);
        QCOMPARE(sheet.ActivePage(), i);
        QVERIFY(sheet.grab().save(ScreenshotDir() + QLatin1Char('/') + QLatin1String(names[i])));
    }
}

QTEST_MAIN(CSheetOptionsTest)
#include "SheetOptionsTest.moc"
