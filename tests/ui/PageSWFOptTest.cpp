// The SWF page: colour texts, shading sliders, the option groups of each template kind, the
// SWF type's rules, the layout swap, the JPEG check, and the live preview: each preview is what
// the batch would build from the same settings, old previews are deleted, none outlives the sheet.
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>
#include <ctime>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "OptionsTestSupport.h"
#include "convert/BatchTemplate.h"
#include "convert/ConvertOptions.h"
#include "convert/SettingsCatalog.h"
#include "swf/SwfTemplate.h"
#include "ui/ColorSwatch.h"
#include "ui/NumberEdit.h"
#include "ui/PageSWFOpt.h"
#include "ui/PreviewFolder.h"
#include "ui/SheetOptions.h"
#include "ui/TemplatePreview.h"

using namespace tonvela;
using namespace tonvela::test;
namespace fs = std::filesystem;

namespace {

template <class T>
T* Child(QWidget* root, const char* name) {
    T* w = root->findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no child %s", name);
    return w;
}

std::string Template(const char* name) { return DataDir() + "ControlSWF/" + name; }

// What the batch builds from these settings: the oracle for the preview's bytes.
QByteArray BatchBytes(const CConvertOptions& s) {
    CBatchTemplate prepared;
    if (PrepareBatchTemplate(s, prepared) != TemplateError::None) return {};
    const auto& b = prepared.tmpl->Bytes();
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

// The page's values copied into s, as OK would.
CConvertOptions Confirmed(CPageSWFOpt& page, const CConvertOptions& s) {
    CConvertOptions out = s;
    if (page.OnOK()) page.CopyBack(out);
    return out;
}

QStringList PreviewFolders() {
    return QDir(QString::fromStdString(fs::temp_directory_path().string()))
        .entryList({QStringLiteral("tonvela-preview.*")}, QDir::AllEntries | QDir::Hidden | QDir::System);
}

}  // namespace

class CPageSWFOptTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void colourText_data();
    void colourText();
    void sliderPositions();
    void optionGroups_data();
    void optionGroups();
    void editsRebuildPreview();
    void typeRules_data();
    void typeRules();
    void layoutSwap();
    void jpegCheck_data();
    void jpegCheck();
    void frameRates_data();
    void frameRates();
    void noPreviewFileRemains();

private:
    QTemporaryDir tmp_;
};

void CPageSWFOptTest::initTestCase() {
    // Previews go to the system's temporary folder: make it one this test can see whole.
    QVERIFY(tmp_.isValid());
    HideWebPlayer();
    qputenv("TMPDIR", tmp_.path().toLocal8Bit());
    QCOMPARE(QString::fromStdString(fs::temp_directory_path().string()), tmp_.path());
}

void CPageSWFOptTest::colourText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("colour");
    QTest::newRow("blue") << "0000FF" << 0xFF0000u;
    QTest::newRow("mixed case") << "aBcDeF" << 0xEFCDABu;
    QTest::newRow("red only") << "FF" << 0x0000FFu;
    QTest::newRow("single digit is the high one") << "F" << 0x0000F0u;
    QTest::newRow("five digits") << "12345" << 0x503412u;
    QTest::newRow("empty is black") << "" << 0u;
    QTest::newRow("bad first pair") << "G12233" << 0u;
    QTest::newRow("bad second pair") << "12G233" << 0x000012u;
    QTest::newRow("bad low digit") << "1G2233" << 0x000001u;
}

void CPageSWFOptTest::colourText() {
    QFETCH(QString, text);
    QFETCH(uint, colour);
    QCOMPARE(ParseColourText(text), colour);
    if (QRegularExpression(QStringLiteral("^[0-9A-Fa-f]{6}$")).match(text).hasMatch())
        QCOMPARE(ColourText(colour), text.toUpper());
}

void CPageSWFOptTest::sliderPositions() {
    // A position must come back after a trip through the stored float, whatever it is.
    for (int p = 0; p <= 500; ++p) QCOMPARE(SliderPosition(SliderCoefficient(p)), p);
    QCOMPARE(SliderPosition(0.4f), 40);
    QCOMPARE(SliderPosition(0.3f), 30);
    QCOMPARE(SliderPosition(0.8f), 80);
    QCOMPARE(SliderPosition(1.0f), 100);
}

void CPageSWFOptTest::optionGroups_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("preview");
    QTest::addColumn<bool>("controls");
    QTest::addColumn<QString>("shown");  // the groups shown, "" for none
    QTest::newRow("circle gradient") << "circle_gradient_1.swf" << true << true << "100 label";
    QTest::newRow("track") << "track_time_1.swf" << true << true << "300 label";
    QTest::newRow("JPEG") << "use_a_jpeg_1.swf" << true << true << "600";
    QTest::newRow("square gradient") << "square_gradient_3.swf" << true << true << "";
    QTest::newRow("text") << "text_1.swf" << true << true << "";
    QTest::newRow("without a player") << "circle_gradient_1.swf" << false << true << "";
    QTest::newRow("without interface") << "track_time_1.swf" << true << false << "";
}

void CPageSWFOptTest::optionGroups() {
    QFETCH(QString, name);
    QFETCH(bool, preview);
    QFETCH(bool, controls);
    QFETCH(QString, shown);
    CConvertOptions s(DataDir());
    s.ControlSWF = Template(qPrintable(name));
    s.CreateCtrlSWF = controls ? 1 : 0;
    s.SWFBtnColor = 0x3020C0;
    CFakePlayerFactory players;
    PlayerFactory none = [](QWidget*) { return std::unique_ptr<CShockwaveFlash>(); };
    CPageSWFOpt page(s, s, preview ? players.Get() : none);
    page.show();
    QCOMPARE(page.HasPreview(), preview);
    QCOMPARE(Child<QWidget>(&page, "group100")->isVisible(), shown.contains(QLatin1String("100")));
    QCOMPARE(Child<QWidget>(&page, "group300")->isVisible(), shown.contains(QLatin1String("300")));
    QCOMPARE(Child<QWidget>(&page, "group600")->isVisible(), shown.contains(QLatin1String("600")));
    QCOMPARE(Child<QLabel>(&page, "buttonOptions")->isVisible(), shown.contains(QLatin1String("label")));
    QCOMPARE(Child<QSlider>(&page, "slider4")->maximum(), 500);
    QCOMPARE(Child<QSlider>(&page, "slider1")->maximum(), 100);
    if (!preview) return;
    // The page's first preview is the template the batch would use, recoloured alike.
    CFakePlayer* player = players.last;
    QVERIFY(!player->menu);
    QCOMPARE(player->background, QStringLiteral("#FFFFFF"));
    QCOMPARE(player->movies.size(), 1);
    QCOMPARE(player->layers, QList<int>{0});
    QVERIFY(player->loaded[0].startsWith("FWS"));
    s.CreateCtrlSWF = 1;
    QCOMPARE(player->loaded[0], BatchBytes(s));
}

void CPageSWFOptTest::editsRebuildPreview() {
    CConvertOptions s(DataDir());
    s.ControlSWF = Template("circle_gradient_1.swf");
    CConvertOptions live = s;
    CFakePlayerFactory players;
    CPageSWFOpt page(s, live, players.Get());
    page.show();
    CFakePlayer* player = players.last;
    QCOMPARE(player->movies.size(), 1);

    // Button colour: stored blue, swatch blue, a new preview, the old one gone.
    Child<QLineEdit>(&page, "buttonColour")->setText(QStringLiteral("0000FF"));
    QCOMPARE(Child<CColorSwatch>(&page, "buttonColourSwatch")->Color(), QColor(0, 0, 255));
    QCOMPARE(player->movies.size(), 2);
    QVERIFY(!QFile::exists(player->movies[0]));
    QVERIFY(QFile::exists(player->movies[1]));
    CConvertOptions expect = Confirmed(page, s);
    QCOMPARE(expect.SWFBtnColor, 0xFF0000);
    QCOMPARE(player->loaded[1], BatchBytes(expect));

    // Background: the player's colour only, no new movie.
    Child<QLineEdit>(&page, "backgroundColour")->setText(QStringLiteral("123456"));
    QCOMPARE(player->background, QStringLiteral("#123456"));
    QCOMPARE(player->movies.size(), 2);
    // A colour chosen in the colour dialog becomes the edit's text.
    {
        CModalDriver driver;
        driver.onDialog = [](QWidget* w) {
            auto* dialog = qobject_cast<QColorDialog*>(w);
            QVERIFY(dialog);
            dialog->setCurrentColor(QColor(0x11, 0x22, 0x33));
            dialog->accept();
        };
        emit Child<CColorSwatch>(&page, "backgroundColourSwatch")->clicked();
    }
    QCOMPARE(Child<QLineEdit>(&page, "backgroundColour")->text(), QStringLiteral("112233"));
    QCOMPARE(player->background, QStringLiteral("#112233"));

    // A slider changes the running coefficient and the preview at once; presets set all three.
    Child<QSlider>(&page, "slider1")->setValue(55);
    QCOMPARE(live.GC[0], 0.55f);
    QCOMPARE(Child<QLabel>(&page, "sliderLabel1")->text(), QStringLiteral("55"));
    QCOMPARE(player->movies.size(), 3);
    auto* menu = Child<QMenu>(&page, "presetMenu");
    menu->actions().at(1)->trigger();
    QCOMPARE(Child<QSlider>(&page, "slider1")->value(), 60);
    QCOMPARE(Child<QSlider>(&page, "slider2")->value(), 0);
    QCOMPARE(Child<QSlider>(&page, "slider3")->value(), 50);
    QCOMPARE(Child<QLabel>(&page, "sliderLabel3")->text(), QStringLiteral("50"));
    QCOMPARE(live.GC[0], 0.6f);
    QCOMPARE(live.GC[1], s.GC[1]);
    QCOMPARE(live.GC[2], 0.0f);
    QCOMPARE(live.GC[3], 0.5f);
    QCOMPARE(player->movies.size(), 4);
    expect = Confirmed(page, live);
    QCOMPARE(player->loaded.last(), BatchBytes(expect));

    // Another template: its groups, a preview of it; track colours rebuild it too.
    auto* list = Child<QComboBox>(&page, "controlList");
    list->setCurrentIndex(list->findText(QStringLiteral("track_time_1.swf")));
    QVERIFY(Child<QWidget>(&page, "group300")->isVisible());
    QVERIFY(!Child<QWidget>(&page, "group100")->isVisible());
    Child<QSlider>(&page, "slider4")->setValue(230);
    Child<QLineEdit>(&page, "trackBorderColour")->setText(QStringLiteral("FF8000"));
    QCOMPARE(player->movies.size(), 7);
    expect = Confirmed(page, live);
    QCOMPARE(expect.TrackSWFBorderColor, 0x0080FF);
    QCOMPARE(live.TBC, 2.3f);
    QCOMPARE(player->loaded.last(), BatchBytes(expect));
    QCOMPARE(QDir(QFileInfo(player->movies.last()).path()).entryList(QDir::Files).size(), 1);
}

void CPageSWFOptTest::typeRules_data() {
    QTest::addColumn<bool>("controls");
    QTest::addColumn<bool>("event");
    QTest::addColumn<bool>("blankFrames");
    QTest::newRow("controls, streaming") << true << false << true;
    QTest::newRow("controls, event") << true << true << true;
    QTest::newRow("no interface, streaming") << false << false << true;
    QTest::newRow("no interface, event") << false << true << false;
}

void CPageSWFOptTest::typeRules() {
    QFETCH(bool, controls);
    QFETCH(bool, event);
    QFETCH(bool, blankFrames);
    CConvertOptions s(DataDir());
    CFakePlayerFactory players;
    CPageSWFOpt page(s, s, players.Get());
    page.show();
    Child<QRadioButton>(&page, controls ? "withControls" : "withoutControls")->click();
    if (!controls) Child<QRadioButton>(&page, event ? "event" : "streaming")->click();
    else if (event) {
        // The sound type is chosen while it is shown, then the type changes back.
        Child<QRadioButton>(&page, "withoutControls")->click();
        Child<QRadioButton>(&page, "event")->click();
        Child<QRadioButton>(&page, "withControls")->click();
    }
    QCOMPARE(Child<CNumberEdit>(&page, "blankFrames")->isEnabled(), blankFrames);
    QCOMPARE(Child<QWidget>(&page, "blankHelp")->isEnabled(), blankFrames);
    QCOMPARE(Child<QRadioButton>(&page, "singleSwf")->isVisible(), controls);
    QCOMPARE(Child<QLabel>(&page, "diffLink")->isVisible(), controls);
    QCOMPARE(Child<QRadioButton>(&page, "event")->isVisible(), !controls);
    QCOMPARE(Child<QLabel>(&page, "soundLink")->isVisible(), !controls);
    QCOMPARE(Child<QComboBox>(&page, "controlList")->isEnabled(), controls);
    QCOMPARE(Child<CColorSwatch>(&page, "buttonColourSwatch")->isVisible(), controls);
    QCOMPARE(Child<QLineEdit>(&page, "buttonColour")->isEnabled(), controls);
    QCOMPARE(Child<QWidget>(&page, "previewArea")->isVisible(), controls);
    const CConvertOptions out = Confirmed(page, s);
    QCOMPARE(out.CreateCtrlSWF, controls ? 1 : 0);
    QCOMPARE(out.SWFSoundType, event ? int(kSoundEvent) : int(kSoundStreaming));
}

void CPageSWFOptTest::layoutSwap() {
    CConvertOptions s(DataDir());
    s.ControlSWF = Template("text_1.swf");
    s.SWFBtnColor = 0x0000C0;
    CFakePlayerFactory players;
    CPageSWFOpt page(s, s, players.Get());
    page.show();
    QVERIFY(Child<QComboBox>(&page, "controlList")->isVisible());
    QCOMPARE(Child<QComboBox>(&page, "shellList")->currentText(), QStringLiteral("square_gradient_3.swf"));
    Child<QRadioButton>(&page, "shellPlayer")->click();
    auto* shell = Child<QComboBox>(&page, "shellList");
    QVERIFY(shell->isVisible());
    QVERIFY(!Child<QComboBox>(&page, "controlList")->isVisible());
    QCOMPARE(shell->currentText(), QStringLiteral("text_1.swf"));
    const CConvertOptions out = Confirmed(page, s);
    QCOMPARE(out.ButtonSWFType, int(kButtonShellPlayer));
    QCOMPARE(out.ShellPlayerSWF, DataDir() + "ControlSWF/ShellPlayer/text_1.swf");
    QCOMPARE(out.ControlSWF, s.ControlSWF);
    QCOMPARE(players.last->movies.size(), 2);
    QCOMPARE(players.last->loaded.last(), BatchBytes(out));
}

void CPageSWFOptTest::jpegCheck_data() {
    QTest::addColumn<QString>("picture");  // "", the sample, or a file that is not there
    QTest::addColumn<bool>("controls");
    QTest::newRow("no picture") << "" << true;
    QTest::newRow("no picture, no interface") << "" << false;
    QTest::newRow("sample picture") << "sample" << true;
    QTest::newRow("refused picture") << "missing" << true;
}

void CPageSWFOptTest::jpegCheck() {
    QFETCH(QString, picture);
    QFETCH(bool, controls);
    CConvertOptions s(DataDir());
    s.ControlSWF = Template("use_a_jpeg_1.swf");
    s.CreateCtrlSWF = controls ? 1 : 0;
    if (picture.isEmpty()) s.JPEGFile.clear();
    if (picture == QLatin1String("missing")) s.JPEGFile = tmp_.filePath(QStringLiteral("missing.jpg")).toStdString();
    CFakePlayerFactory players;
    CSheetOptions sheet(s, CSheetOptions::kOutputPage, nullptr, players.Get());
    sheet.show();
    CModalDriver driver;
    sheet.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    if (picture.isEmpty()) {
        QCOMPARE(driver.messages, QStringList{QStringLiteral("Please choose a JPEG file.")});
        QVERIFY(sheet.isVisible());
        QCOMPARE(sheet.ActivePage(), int(CSheetOptions::kSwfPage));
        return;
    }
    QVERIFY(driver.messages.isEmpty());
    QCOMPARE(sheet.result(), int(QDialog::Accepted));
    // The picture's size rebuilds the preview around it: the same bytes, stage and notice as
    // the batch's movie, a picture the batch refuses included.
    CPageSWFOpt* page = sheet.SwfPage();
    const int before = static_cast<int>(players.last->movies.size());
    Child<CNumberEdit>(page, "jpegWidth")->Edit()->setText(QStringLiteral("160"));
    QCOMPARE(players.last->movies.size(), before + 1);
    const CConvertOptions out = Confirmed(*page, s);
    QCOMPARE(out.JPEGWidth, 160);
    QCOMPARE(players.last->loaded.last(), BatchBytes(out));
    CBatchTemplate batch;
    QCOMPARE(PrepareBatchTemplate(out, batch), TemplateError::None);
    QCOMPARE(Child<CTemplatePreview>(page, "previewArea")->MovieSize(), QSize(batch.stageWidth, batch.stageHeight));
    QCOMPARE(QSize(batch.stageWidth, batch.stageHeight), QSize(160, out.JPEGHeight));
    auto* notice = Child<QLabel>(page, "previewNotice");
    QCOMPARE(notice->text().toStdString(), batch.notice);
    QCOMPARE(notice->isVisibleTo(page), picture == QLatin1String("missing"));
    QCOMPARE(batch.notice.empty(), picture != QLatin1String("missing"));
}

void CPageSWFOptTest::frameRates_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("saved");
    QTest::newRow("default") << 12 << "12 (default)" << 12;
    QTest::newRow("lowest") << 1 << "1" << 1;
    QTest::newRow("highest") << 255 << "255" << 255;
    QTest::newRow("not listed, left alone") << 500 << "12 (default)" << 500;
}

void CPageSWFOptTest::frameRates() {
    QFETCH(int, stored);
    QFETCH(QString, shown);
    QFETCH(int, saved);
    CConvertOptions s(DataDir());
    s.SWFFrameRate = stored;
    CPageSWFOpt page(s, s, {});
    auto* rates = Child<QComboBox>(&page, "frameRate");
    // The rates the conversion takes, no more and no fewer.
    const SettingRule& rule = FindSetting("SWFFrameRate")->rule;
    QCOMPARE(rates->count(), rule.high - rule.low + 1);
    QCOMPARE(rates->itemData(0).toInt(), rule.low);
    QCOMPARE(rates->itemData(rates->count() - 1).toInt(), rule.high);
    QCOMPARE(rates->currentText(), shown);
    QCOMPARE(Confirmed(page, s).SWFFrameRate, saved);
}

void CPageSWFOptTest::noPreviewFileRemains() {
    // A folder left by a process that is gone is removed; one of a running process is not, unless
    // its owner file shows that nobody holds it (the process id was reused).
    const pid_t child = fork();
    if (child == 0) _exit(0);
    QVERIFY(child > 0);
    waitpid(child, nullptr, 0);
    const QDir tmp(tmp_.path());
    const QString stale = QStringLiteral("tonvela-preview.%1.abcdef").arg(child);
    const QString running = QStringLiteral("tonvela-preview.%1.abcdef").arg(getppid());
    QVERIFY(tmp.mkpath(stale + QStringLiteral("/inner")));
    QVERIFY(tmp.mkpath(running));
    QFile(tmp.filePath(stale + QStringLiteral("/preview-1.swf"))).open(QIODevice::WriteOnly);
    const QString reused = QStringLiteral("tonvela-preview.%1.ghijkl").arg(getppid());
    QVERIFY(tmp.mkpath(reused));
    QVERIFY(QFile(tmp.filePath(reused + QLatin1Char('/') + QLatin1String(CPreviewFolder::kOwnerFile))).open(QIODevice::WriteOnly));
    // Without an owner file (no running copy makes one so), a live process id counts only for
    // a folder that is still being made.
    const QString reusedBare = QStringLiteral("tonvela-preview.%1.mnopqr").arg(getppid());
    QVERIFY(tmp.mkpath(reusedBare));
    const timespec hourAgo[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 3600, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(tmp.filePath(reusedBare)).constData(), hourAgo, 0), 0);

    CConvertOptions s(DataDir());
    s.ControlSWF = Template("round_rect_1.swf");
    CFakePlayerFactory players;
    {
        CSheetOptions sheet(s, CSheetOptions::kSwfPage, nullptr, players.Get());
        sheet.show();
        Child<QLineEdit>(&sheet, "buttonColour")->setText(QStringLiteral("C03020"));
        QCOMPARE(players.last->movies.size(), 2);
        QVERIFY(QFile::exists(players.last->movies.last()));
        const QString ours = QFileInfo(players.last->movies.last()).dir().dirName();
        QVERIFY(ours.startsWith(QStringLiteral("tonvela-preview.%1.").arg(getpid())));
        QStringList folders = PreviewFolders();
        folders.sort();
        QStringList want{ours, running};
        want.sort();
        QCOMPARE(folders, want);
        QCOMPARE(QDir(tmp.filePath(ours)).entryList(QDir::Files), QStringList{QFileInfo(players.last->movies.last()).fileName()});
        sheet.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    }
    // Cancel and the sheet's end leave nothing of the previews.
    QCOMPARE(PreviewFolders(), QStringList{running});
    QVERIFY(tmp.rmdir(running));
}

QTEST_MAIN(CPageSWFOptTest)
#include "PageSWFOptTest.moc"
