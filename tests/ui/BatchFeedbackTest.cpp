// What the window tells while and after it works: the progress window with several files at
// once, the reasons of failures (list tooltip, the "why" command, the add-failure message with
// its link), the blank-frames field against the settings' rule, and Cancel of a folder search.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "convert/SettingsCatalog.h"
#include "ui/ConvertProgressDlg.h"
#include "ui/FailedFilesDlg.h"
#include "ui/FileListModel.h"
#include "ui/MainDlg.h"
#include "ui/NumberEdit.h"
#include "ui/ProgressDlg.h"
#include "ui/RecordDlg.h"
#include "ui/SheetOptions.h"
#include "ui/ShockwaveFlash.h"
#include "ui/Skin.h"
#include "ui/SortListCtrl.h"
#include "ui/TextViewerDlg.h"
#include "UiTestUtil.h"

using namespace tonvela;
using namespace tonvela::test;

// A preview that shows nothing, so the options sheet starts no browser engine.
class CSilentPlayer : public CShockwaveFlash {
public:
    explicit CSilentPlayer(QWidget* parent) : CShockwaveFlash(parent) {}
    void LoadMovie(int, const QString&) override {}
    void SetBGColor(const QString&) override {}
    void SetMenu(bool) override {}
};

class BatchFeedbackTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    CFakeDesktop::Log log_;

    std::unique_ptr<CMainDlg> MakeWindow() {
        log_.opened.clear();
        auto w = std::make_unique<CMainDlg>(std::make_unique<CFakeDesktop>(log_));
        w->show();
        return w;
    }
    QString In(const QString& name) const { return home_.path() + QStringLiteral("/in/") + name; }
    // The batch may already have ended while an earlier wait ran the event loop, so this waits
    // for the window to be idle rather than for a signal that may have gone.
    static bool WaitForBatch(CMainDlg& w) { return QTest::qWaitFor([&] { return !w.IsBusy(); }, 300000); }
    static QString Tip(CMainDlg& w, int row) {
        return w.Model().data(w.Model().index(row, kColumnSwf), Qt::ToolTipRole).toString();
    }
    static void SelectOnly(CMainDlg& w, int row) {
        w.List().clearSelection();
        w.List().selectionModel()->select(w.Model().index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    // The window with its progress window painted where it stands.
    static QPixmap WithProgress(CMainDlg& w, QWidget& dlg) {
        QPixmap shot = w.grab();
        QPainter p(&shot);
        p.drawPixmap(dlg.pos() - w.pos(), dlg.grab());
        return shot;
    }

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("HOME", home_.path().toUtf8());
        qunsetenv("XDG_CONFIG_HOME");
        qputenv("XDG_DOCUMENTS_DIR", (home_.path() + QStringLiteral("/Documents")).toUtf8());
        qputenv("TONVELA_CONFIG_DIR", (home_.path() + QStringLiteral("/config")).toUtf8());
        ApplySkin(*qApp);
        QVERIFY(QDir().mkpath(In(QString())));
        MakeWindow();  // the first start, with its help, out of the way
    }

    // Three files at once: a line and bar for each running file, in batch order, the overall
    // line naming them, and an overall bar that moved before any file finished; each finished
    // file's line goes. Two at once is the screenshot.
    void progressWithSeveralFiles_data() {
        QTest::addColumn<int>("jobs");
        QTest::newRow("three at once") << 3;
        QTest::newRow("two at once") << 2;
    }
    void progressWithSeveralFiles() {
        QFETCH(int, jobs);
        const QString dir = In(QStringLiteral("jobs%1").arg(jobs));
        QVERIFY(QDir().mkpath(dir));
        QStringList paths;
        for (int i = 1; i <= jobs + 1; ++i) {
            paths << dir + QStringLiteral("/tone%1.wav").arg(i);
            QVERIFY(MakeTone(paths.last(), 12, 44100, 2));
        }
        auto w = MakeWindow();
        w->Settings().ConvertJobs = jobs;
        w->Settings().CreateHtmlFile = 0;
        w->AddCommandLinePaths(paths);
        w->OnConvertAll();
        CConvertProgressDlg* dlg = w->ConvertProgress();
        QVERIFY(dlg);
        QCOMPARE(dlg->FileRows(), jobs);
        // Every row busy and under way.
        QVERIFY(QTest::qWaitFor([&] {
            if (!w->ConvertProgress()) return false;
            for (int r = 0; r < jobs; ++r)
                if (dlg->FileText(r).isEmpty() || dlg->FilePos(r) <= 0) return false;
            return true;
        }, 120000));
        QStringList expectedNames;
        for (int r = 0; r < jobs; ++r) {
            QVERIFY2(dlg->FileText(r).startsWith(QStringLiteral("Converting tone%1.wav...").arg(r + 1)),
                     qPrintable(dlg->FileText(r)));
            expectedNames << QString::number(r + 1);
        }
        if (w->Model().CellText(0, kColumnSwf) == "Converting...") {
            // Nothing finished yet, and still the overall bar moved.
            QCOMPARE(dlg->OverallText(),
                     QStringLiteral("Converting %1 of %2 file(s) into SWF...").arg(expectedNames.join(QStringLiteral(", "))).arg(jobs + 1));
            QVERIFY(dlg->OverallPos() > 0);
        }
        if (jobs == 2) QVERIFY(SaveShot(WithProgress(*w, *dlg), QStringLiteral("progress-two-files.png")));
        // The last file runs alone at the end: one line, the other rows empty.
        QVERIFY(QTest::qWaitFor([&] {
            return !w->ConvertProgress() || (dlg->FileText(0).startsWith(QStringLiteral("Converting tone%1").arg(jobs + 1)) &&
                                             dlg->FileText(1).isEmpty() && !dlg->FileShown(1));
        }, 180000));
        if (w->ConvertProgress()) {
            QVERIFY(dlg->OverallPos() >= jobs * kBatchBarMax / (jobs + 1));
            if (jobs == 2) QVERIFY(SaveShot(WithProgress(*w, *dlg), QStringLiteral("progress-free-row.png")));
        }
        QVERIFY(WaitForBatch(*w));
        for (int r = 0; r <= jobs; ++r)
            QCOMPARE(QString::fromStdString(w->Model().CellText(r, kColumnSwf)), QStringLiteral("tone%1.swf").arg(r + 1));
        QVERIFY(!w->FailedFiles());  // nothing failed: no summary in the way
    }

    // Two at once: a file that fails at once shows it in its row while the long file ahead of it
    // still converts. After the batch a summary names the failed files with their reasons;
    // Select in List (the default) selects their rows: all of them, or those picked out.
    void failuresAtOnceAndSummed_data() {
        QTest::addColumn<bool>("activateOne");
        QTest::newRow("Enter: every failure") << false;
        QTest::newRow("Enter: one picked out") << true;
    }
    void failuresAtOnceAndSummed() {
        QFETCH(bool, activateOne);
        const QString dir = In(QStringLiteral("summary%1").arg(activateOne));
        QVERIFY(QDir().mkpath(dir));
        const QStringList names = {"long.wav", "gone.wav", "fine.wav", "lost.wav"};
        QStringList paths;
        for (const QString& n : names) {
            paths << dir + QLatin1Char('/') + n;
            QVERIFY(MakeTone(paths.last(), n == QLatin1String("long.wav") ? 40 : 0.3, 44100, 2));
        }
        auto w = MakeWindow();
        w->Settings().ConvertJobs = 2;
        w->Settings().CreateHtmlFile = 0;
        w->AddCommandLinePaths(paths);
        QCOMPARE(w->Model().rowCount(), 4);
        QVERIFY(QFile::remove(paths[1]));
        QVERIFY(QFile::remove(paths[3]));
        w->OnConvertAll();
        bool failedFirst = false;  // row 1 said so while row 0 still converted
        QVERIFY(QTest::qWaitFor([&] {
            if (w->Model().CellText(0, kColumnSwf) == "Converting..." &&
                w->Model().CellText(1, kColumnSwf) == "Conversion Failure")
                failedFirst = true;
            return failedFirst || !w->IsBusy();
        }, 20000));
        QVERIFY(failedFirst);
        QVERIFY(WaitForBatch(*w));
        CFailedFilesDlg* sum = w->FailedFiles();
        QVERIFY(sum);
        QTRY_VERIFY_WITH_TIMEOUT(sum->isVisible(), 20000);
        QCOMPARE(sum->findChild<QLabel*>(QStringLiteral("failedHeading"))->text(),
                 QStringLiteral("2 of 4 files could not be converted:"));
        QCOMPARE(sum->List()->count(), 2);
        for (int i = 0; i < 2; ++i) {
            const QString text = sum->List()->item(i)->text();
            QVERIFY2(text.startsWith(names[1 + 2 * i]), qPrintable(text));
            QVERIFY2(text.endsWith(QStringLiteral("Conversion Failure: the file can no longer be opened: the file does not exist")),
                     qPrintable(text));
            QVERIFY(sum->List()->item(i)->toolTip().startsWith(paths[1 + 2 * i]));
        }
        if (!activateOne) QVERIFY(SaveShot(sum->grab(), QStringLiteral("failed-files.png")));
        w->List().SelectOnly(2);
        QVERIFY(sum->SelectButton()->isDefault());
        // Enter where the focus is, on the list: every failure, or the one picked out.
        if (activateOne) sum->List()->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(sum->List(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(!w->FailedFiles(), 20000);
        QCOMPARE(w->List().SelectedRows(), activateOne ? std::vector<int>{3} : (std::vector<int>{1, 3}));
        QCOMPARE(w->List().currentIndex().row(), activateOne ? 3 : 1);
    }

    // A failed conversion says why: in the status's tooltip and through the "why" command,
    // which only a failed row offers. A setting that leaves no room names the setting.
    void reasonsInTheList() {
        const QString dir = In(QStringLiteral("reasons"));
        QVERIFY(QDir().mkpath(dir));
        for (const char* name : {"good.wav", "gone.wav"}) QVERIFY(MakeTone(dir + QLatin1Char('/') + QLatin1String(name), 0.5));
        auto w = MakeWindow();
        w->AddCommandLinePaths({dir + QStringLiteral("/good.wav"), dir + QStringLiteral("/gone.wav")});
        QVERIFY(QFile::remove(dir + QStringLiteral("/gone.wav")));
        w->OnConvertAll();
        QVERIFY(WaitForBatch(*w));
        QCOMPARE(QString::fromStdString(w->Model().CellText(1, kColumnSwf)), QStringLiteral("Conversion Failure"));
        QCOMPARE(Tip(*w, 1), QStringLiteral("Conversion Failure: the file can no longer be opened: the file does not exist"));
        QCOMPARE(Tip(*w, 0), QStringLiteral("good.swf"));

        auto* why = w->ListMenu()->findChild<QAction*>(QStringLiteral("why"));
        QVERIFY(why);
        SelectOnly(*w, 0);
        w->UpdateListMenu();
        QVERIFY(!why->isEnabled());
        SelectOnly(*w, 1);
        w->UpdateListMenu();
        QVERIFY(why->isEnabled());
        {
            CMessageCatcher catcher;
            why->trigger();
            QTRY_COMPARE_WITH_TIMEOUT(catcher.messages.size(), std::size_t{1}, 20000);
            QCOMPARE(catcher.messages[0].text, Tip(*w, 1));
            QCOMPARE(catcher.messages[0].icon, QMessageBox::Critical);  // a failure, not news
        }

        // Every blank frame the rule allows leaves no frame for any sound: the status says so
        // and names the setting; a new status forgets the old reason.
        w->Settings().BlankFrames = FindSetting("BlankFrames")->rule.high;
        SelectOnly(*w, 0);
        w->OnConvertSelected();
        QVERIFY(WaitForBatch(*w));
        const QString status = QString::fromStdString(w->Model().CellText(0, kColumnSwf));
        QVERIFY2(status.startsWith(QStringLiteral("BlankFrames %1 leaves no room").arg(w->Settings().BlankFrames)),
                 qPrintable(status));
        QCOMPARE(Tip(*w, 0), status);
        w->UpdateListMenu();
        QVERIFY(why->isEnabled());
    }

    // The add-failure message gives each path its own reason, and the manual's address is a
    // link that opens the page through the desktop.
    void reasonsInTheAddMessage() {
        const QString dir = In(QStringLiteral("adds"));
        QVERIFY(QDir().mkpath(dir));
        QFile text(dir + QStringLiteral("/notes.txt"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("shopping list");
        text.close();
        QFile mp3(dir + QStringLiteral("/broken.mp3"));
        QVERIFY(mp3.open(QIODevice::WriteOnly));
        mp3.write(QByteArray(3000, '\x55'));
        mp3.close();
        auto w = MakeWindow();
        log_.files = {dir + QStringLiteral("/missing.wav"), dir + QStringLiteral("/broken.mp3"),
                      dir + QStringLiteral("/notes.txt")};
        QString html;
        bool linked = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || box->property("seen").toBool()) return;
            box->setProperty("seen", true);
            html = box->text();
            QVERIFY(SaveShot(box->grab(), QStringLiteral("add-failures.png")));
            auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            if (label) {
                const QString url = QString::fromStdString(CAddFailures::HelpPageUrl());
                linked = html.contains(QStringLiteral("<a href=\"%1\">").arg(url));
                emit label->linkActivated(url);
            }
            box->done(QMessageBox::Ok);
        });
        poll.start(10);
        w->OnAddFiles();
        QTRY_VERIFY_WITH_TIMEOUT(!html.isEmpty(), 20000);
        for (const char* expected :
             {"missing.wav</b><br>&nbsp;&nbsp;&nbsp;the file does not exist",
              "broken.mp3</b><br>&nbsp;&nbsp;&nbsp;damaged, or not really a .mp3 file",
              "notes.txt</b><br>&nbsp;&nbsp;&nbsp;not a sound file: .txt is no supported audio format"})
            QVERIFY2(html.contains(QLatin1String(expected)), expected);
        QVERIFY(linked);
        const std::string page = w->Settings().dataFolder + "help/formats.html";
        QVERIFY(QFile::exists(QString::fromStdString(page)));
        QCOMPARE(log_.opened, std::vector<std::string>{page});
        QCOMPARE(w->Model().rowCount(), 0);
    }

    // The blank-frames field: as many digits as the rule's highest value has, all in sight.
    void blankFramesField() {
        CConvertOptions s(QStringLiteral(TONVELA_DATA_DIR "/").toStdString());
        CSheetOptions sheet(s, CSheetOptions::kSwfPage, nullptr, [](QWidget* parent) {
            return std::unique_ptr<CShockwaveFlash>(std::make_unique<CSilentPlayer>(parent));
        });
        sheet.show();
        auto* edit = sheet.findChild<CNumberEdit*>(QStringLiteral("blankFrames"));
        QVERIFY(edit);
        const QString high = QString::number(FindSetting("BlankFrames")->rule.high);
        edit->Edit()->clear();
        QTest::keyClicks(edit->Edit(), QStringLiteral("1234567"));
        QCOMPARE(edit->Edit()->text(), QStringLiteral("1234567").left(high.size()));
        // The widest allowed value fits the text area, so no digit scrolls out of sight.
        edit->Edit()->setText(QString(high.size(), QLatin1Char('8')));
        const int needed = edit->Edit()->fontMetrics().horizontalAdvance(edit->Edit()->text());
        QVERIFY2(edit->Edit()->contentsRect().width() - 4 >= needed,
                 qPrintable(QStringLiteral("%1 < %2").arg(edit->Edit()->contentsRect().width()).arg(needed)));
        QVERIFY(SaveShot(sheet.grab(), QStringLiteral("options-blank-frames.png")));
    }

    // Every window fits the screen's available area at the scale the test runs at (also run at
    // 200 % on a 1600 x 1000 screen): inside the area, no minimum larger than it, and every
    // control either inside the window or in a part that scrolls. Every control it shows has a
    // name and a control's role for screen readers. A screenshot of each.
    void windowsFitTheScreen_data() {
        QTest::addColumn<QString>("window");
        for (const char* w : {"main window", "options SWF", "options Sound", "options Output", "HTML code viewer",
                              "failed files", "conversion progress", "add progress", "add failures", "recorder",
                              "about", "add files dialog"})
            QTest::newRow(w) << QString::fromLatin1(w);
    }
    void windowsFitTheScreen() {
        QFETCH(QString, window);
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect area = screen->availableGeometry();
        const QString scale = QString::number(qRound(screen->devicePixelRatio() * 100));
        // What is wrong with the window as it shows, or nothing.
        auto check = [&](QWidget* w) -> QString {
            QApplication::processEvents();
            if (!area.contains(w->frameGeometry()))
                return QStringLiteral("%1,%2 %3x%4 is not inside the area").arg(w->x()).arg(w->y()).arg(w->width()).arg(w->height());
            if (w->minimumWidth() > area.width() || w->minimumHeight() > area.height())
                return QStringLiteral("minimum %1x%2").arg(w->minimumWidth()).arg(w->minimumHeight());
            for (QWidget* c : w->findChildren<QWidget*>()) {
                if (!c->isVisible() || c->window() != w) continue;
                bool scrolls = false;
                for (QWidget* p = c->parentWidget(); p && p != w; p = p->parentWidget())
                    if (auto* a = qobject_cast<QAbstractScrollArea*>(p); a && c != a->viewport() && p != c) scrolls = true;
                const QRect r(c->mapTo(w, QPoint(0, 0)), c->size());
                if (!scrolls && !w->rect().contains(r))
                    return QStringLiteral("%1 %2 at %3,%4 %5x%6 is outside %7x%8")
                        .arg(QLatin1String(c->metaObject()->className()), c->objectName())
                        .arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).arg(w->width()).arg(w->height());
            }
            int controls = 0;
            if (const QStringList faults = AccessibilityFaults(w, &controls); !faults.isEmpty())
                return faults.join(QStringLiteral("; "));
            if (controls == 0) return QStringLiteral("no controls seen by a screen reader");
            QString name = QStringLiteral("fit-%1-%2.png").arg(window, scale);
            if (!SaveShot(w->grab(), name.replace(QLatin1Char(' '), QLatin1Char('-')))) return QStringLiteral("no screenshot");
            return {};
        };
        QString problem = QStringLiteral("not shown");
        // A modal window is checked as it shows, then closed.
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible() || modal->property("checked").toBool()) return;
            modal->setProperty("checked", true);
            problem = check(modal);
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                box->done(QMessageBox::Ok);
            else if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
        });
        auto w = MakeWindow();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        if (window == QLatin1String("main window")) {
            problem = check(w.get());
        } else if (window.startsWith(QLatin1String("options"))) {
            CSheetOptions sheet(w->Settings(), window.endsWith(QLatin1String("SWF"))     ? CSheetOptions::kSwfPage
                                               : window.endsWith(QLatin1String("Sound")) ? CSheetOptions::kSoundPage
                                                                                         : CSheetOptions::kOutputPage,
                                w.get(), [](QWidget* parent) {
                                    return std::unique_ptr<CShockwaveFlash>(std::make_unique<CSilentPlayer>(parent));
                                });
            sheet.show();
            QVERIFY(QTest::qWaitForWindowExposed(&sheet));
            problem = check(&sheet);
        } else if (window == QLatin1String("HTML code viewer")) {
            const QString page = In(QStringLiteral("long.html"));
            QFile f(page);
            QVERIFY(f.open(QIODevice::WriteOnly));
            for (int i = 0; i < 400; ++i) f.write(QByteArray(300, 'x') + '\n');
            f.close();
            ShowTextViewer(page.toStdString(), w.get());
            QWidget* viewer = nullptr;
            for (QWidget* t : QApplication::topLevelWidgets())
                if (t->objectName() == QLatin1String("textViewer") && t->isVisible()) viewer = t;
            QVERIFY(viewer);
            problem = check(viewer);
            viewer->close();
        } else if (window == QLatin1String("failed files")) {
            std::vector<CFailedFilesDlg::Failure> failures;
            for (int i = 0; i < 60; ++i)
                failures.push_back({i, QStringLiteral("/music/a folder with a long name/track %1 of the album.wav").arg(i).toStdString(),
                                    "Conversion Failure: the file can no longer be opened: the file does not exist"});
            CFailedFilesDlg dlg(failures, 192, w.get());
            dlg.show();
            problem = check(&dlg);
        } else if (window == QLatin1String("conversion progress")) {
            CConvertProgressDlg dlg(w.get(), kMaxConvertJobs);
            dlg.setAttribute(Qt::WA_DeleteOnClose, false);
            dlg.Open();
            BatchProgressView all;
            for (int i = 0; i < kMaxConvertJobs; ++i) all.running.push_back({static_cast<std::size_t>(i), "Converting...", 0});
            dlg.ShowBatch(all);
            problem = check(&dlg);
        } else if (window == QLatin1String("add progress")) {
            CProgressDlg dlg(w.get());
            dlg.Open();
            problem = check(&dlg);
        } else if (window == QLatin1String("add failures")) {
            log_.files.clear();
            for (int i = 0; i < 40; ++i) log_.files << In(QStringLiteral("missing/not here %1.wav").arg(i));
            poll.start(10);
            w->OnAddFiles();
        } else if (window == QLatin1String("recorder")) {
            // No sound server is reached: the window alone is looked at.
            qputenv("PULSE_SERVER", QFile::encodeName(In(QStringLiteral("no-such-socket"))));
            CRecordDlg dlg(w.get());
            dlg.show();
            problem = check(&dlg);
            dlg.reject();
        } else if (window == QLatin1String("about")) {
            poll.start(10);
            w->OnAbout();
        } else if (window == QLatin1String("add files dialog")) {
            poll.start(10);
            CDesktopServices desktop;
            desktop.ChooseFiles(w.get(), In(QString()));
        }
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    // Cancel while a folder is searched, chosen with Add Folder or given to "Open with": the
    // search stops and nothing is added.
    void cancelFolderSearch_data() {
        QTest::addColumn<bool>("openWith");
        QTest::newRow("Add Folder") << false;
        QTest::newRow("Open with") << true;
    }
    void cancelFolderSearch() {
        QFETCH(bool, openWith);
        const QString root = In(QStringLiteral("tree"));
        for (int i = 0; i < 20; ++i) {
            QVERIFY(QDir().mkpath(root + QStringLiteral("/d%1").arg(i)));
            QVERIFY(MakeTone(root + QStringLiteral("/d%1/t.wav").arg(i), 0.1));
        }
        auto w = MakeWindow();
        log_.folder = root;
        const auto add = [&] {
            if (openWith)
                w->AddCommandLinePaths({root});
            else
                w->OnAddFolder();
        };
        // The click lands while the search runs: the search lets the window take it.
        bool clicked = false;
        QTimer click;
        connect(&click, &QTimer::timeout, [&] {
            CProgressDlg* progress = w->AddProgress();
            if (clicked || !progress || !w->IsBusy()) return;
            QCOMPARE(progress->Text(), QStringLiteral("Searching files..."));
            QTest::mouseClick(progress->CancelButton(), Qt::LeftButton);
            clicked = true;
        });
        click.start(0);
        CMessageCatcher catcher;
        add();
        QVERIFY(clicked);
        QCOMPARE(w->Model().rowCount(), 0);
        QVERIFY(!w->IsBusy());
        QVERIFY(catcher.messages.empty());
        // Not cancelled, the same folder adds all its files.
        click.stop();
        add();
        QCOMPARE(w->Model().rowCount(), 20);
    }
};

QTEST_MAIN(BatchFeedbackTest)
#include "BatchFeedbackTest.moc"
