// ui_manual_screenshots OUTDIR SWF AUDIO...: builds the program's windows offscreen and saves
// the manual's pictures into OUTDIR (normally data/help/images/). SWF is a converted movie for
// the preview window, AUDIO the files shown in the main window's list. Run it through
// tools/manual-screenshots.sh, which makes the inputs and keeps the user's settings out of it.
#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QImageWriter>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "audio/DecoderStartup.h"
#include "convert/ConvertOptions.h"
#include "convert/FileListEntry.h"
#include "platform/SettingsStore.h"
#include "ui/DesktopServices.h"
#include "ui/MainDlg.h"
#include "ui/PlaySwfDlg.h"
#include "ui/RecordDlg.h"
#include "ui/SheetOptions.h"
#include "ui/Skin.h"
#include "ui/SortListCtrl.h"

namespace {

using namespace tonvela;

QString g_outDir;
int g_failures = 0;

// Lets queued work (layouts, list fills, web pages) finish before a picture is taken.
void Settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The committed pictures stay small as 8-bit palette PNGs. Window pictures are flat colours
// plus the shades of smoothed text, so the 256 most frequent colours, with every other colour
// drawn as its nearest one, look like the original; Qt's own reduction to a fixed colour cube
// bands the skin's gradients.
QImage Compact(const QImage& image) {
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) ++counts[line[x]];
    }
    QList<QPair<int, QRgb>> byCount;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) byCount.append({it.value(), it.key()});
    std::sort(byCount.begin(), byCount.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    QList<QRgb> palette;
    for (const auto& [count, rgb] : byCount) {
        if (palette.size() == 256) break;
        palette.append(rgb);
    }
    QHash<QRgb, uchar> index;
    auto nearest = [&](QRgb c) {
        int best = 0;
        int bestDistance = std::numeric_limits<int>::max();
        for (int i = 0; i < palette.size(); ++i) {
            const int dr = qRed(c) - qRed(palette[i]), dg = qGreen(c) - qGreen(palette[i]),
                      db = qBlue(c) - qBlue(palette[i]);
            const int d = dr * dr + dg * dg + db * db;
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        return static_cast<uchar>(best);
    };
    QImage out(image.size(), QImage::Format_Indexed8);
    out.setColorTable(palette);
    for (int y = 0; y < image.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        uchar* line = out.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            auto it = index.constFind(in[x]);
            if (it == index.constEnd()) it = index.insert(in[x], nearest(in[x]));
            line[x] = it.value();
        }
    }
    return out;
}

bool Save(QWidget* w, const QString& name) {
    QImage image = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) {
        std::fprintf(stderr, "could not grab %s\n", qPrintable(name));
        ++g_failures;
        return false;
    }
    const QString path = g_outDir + '/' + name;
    QImageWriter writer(path, "png");
    writer.setQuality(0);  // highest PNG compression
    if (!writer.write(Compact(image))) {
        std::fprintf(stderr, "could not write %s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
        ++g_failures;
        return false;
    }
    std::printf("%s (%dx%d)\n", qPrintable(path), image.width(), image.height());
    return true;
}

// Runs a command that opens a modal window, waits for that window, lets shoot() take its
// pictures, then closes it. Commands that show a message box instead (a window not built yet,
// a missing player) give no picture: the message box is dismissed and reported.
void WithModal(const char* what, const std::function<void()>& run, const std::function<void(QWidget*)>& shoot,
               int settleMs) {
    bool seen = false;
    QTimer poll;
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || seen) return;
        seen = true;
        poll.stop();
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            std::fprintf(stderr, "%s: no window, a message instead: %s\n", what, qPrintable(box->text()));
            ++g_failures;
        } else {
            Settle(settleMs);
            shoot(w);
        }
        if (auto* dialog = qobject_cast<QDialog*>(w)) dialog->reject();
        else w->close();
    });
    poll.start();
    run();
    poll.stop();
    if (!seen) {
        std::fprintf(stderr, "%s: no window opened\n", what);
        ++g_failures;
    }
}

// The desktop of a picture run: nothing is opened, no dialog asks anything.
class CQuietDesktop : public CDesktopServices {
public:
    bool OpenDocument(const std::string&) override { return true; }
    bool ShowItem(const std::string&) override { return true; }
    void ViewText(const std::string&, QWidget*) override {}
    QStringList ChooseFiles(QWidget*, const QString&) override { return {}; }
    QString ChooseFolder(QWidget*, const QString&) override { return {}; }
};

// Web views draw a while after they are shown: waits until the window's picture changes from
// what it first showed (or maxMs pass, when there is nothing to draw), then a little more for
// animations to get going.
void SettleUntilDrawn(QWidget* w, int maxMs) {
    const QImage first = w->grab().toImage();
    for (int waited = 0; waited < maxMs; waited += 250) {
        Settle(250);
        if (w->grab().toImage() != first) break;
    }
    Settle(1500);
}

// Every page of a tabbed window, one picture each, in tab order.
void ShootPages(QWidget* w, const QStringList& names) {
    auto* tabs = w->findChild<QTabWidget*>();
    if (!tabs) {
        Save(w, names.value(0));
        return;
    }
    for (int i = 0; i < tabs->count() && i < names.size(); ++i) {
        tabs->setCurrentIndex(i);
        SettleUntilDrawn(w, i == 0 ? 20000 : 0);
        Save(w, names[i]);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Started as the program starts: the same decoders and the same look.
    const CDecoderSession decoder;
    ApplySkin(app);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: %s OUTDIR SWF [AUDIO...]\n", argv[0]);
        return 2;
    }
    g_outDir = args[1];
    const std::string swf = args[2].toStdString();
    const QStringList audio = args.mid(3);

    CMainDlg main(std::make_unique<CQuietDesktop>());
    main.show();
    Settle(300);
    // The list fills from files given to the program, as a file manager's "Open with" does.
    main.AddCommandLinePaths(audio);
    for (int waited = 0; main.IsBusy() && waited < 30000; waited += 100) Settle(100);
    // Convert the first rows, so the SWF column shows what a conversion writes there.
    QItemSelectionModel* selection = main.List().selectionModel();
    for (int row = 0; row < 3 && row < main.List().model()->rowCount(); ++row)
        selection->select(main.List().model()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    main.OnConvertSelected();
    for (int waited = 0; main.IsBusy() && waited < 60000; waited += 100) Settle(100);
    selection->clearSelection();
    main.setFocus();
    Settle(300);
    Save(&main, QStringLiteral("main-window.png"));

    CSettingsStore store(CSettingsStore::DefaultFolder());
    store.Load();
    CConvertOptions settings;
    settings.Load(store);
    int lastPage = 0;
    WithModal("options", [&] { RunOptionsSheet(settings, store, lastPage, &main); },
              [](QWidget* w) {
                  ShootPages(w, {QStringLiteral("options-swf.png"), QStringLiteral("options-sound.png"),
                                 QStringLiteral("options-output.png")});
              },
              0);

    WithModal("recorder", [&] {
        CRecordDlg record(&main);
        record.exec();
    }, [](QWidget* w) { Save(w, QStringLiteral("recorder.png")); }, 300);

    CFileListEntry entry;
    entry.path = swf;
    entry.swfPath = swf;
    entry.convertedSeconds = 3;
    WithModal("preview", [&] { PlaySwf(entry, settings, &main); },
              [](QWidget* w) {
                  SettleUntilDrawn(w, 20000);
                  Save(w, QStringLiteral("preview.png"));
              },
              0);

    return g_failures == 0 ? 0 : 1;
}
