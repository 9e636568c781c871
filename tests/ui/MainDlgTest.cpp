// The main window, driven as a user would: adding, dropping, removing, sorting, the context
// menu, the messages, batches with a failure and with Cancel, and the first-run help. Inputs
// are made by sox; the desktop is a fake that records what it was asked.
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QScreen>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "convert/FileListEntry.h"
#include "platform/SettingsStore.h"
#include "ui/ConvertProgressDlg.h"
#include "ui/FileListModel.h"
#include "ui/MainDlg.h"
#include "ui/Skin.h"
#include "ui/SortListCtrl.h"
#include "ui/WindowState.h"
#include "UiTestUtil.h"

using namespace tonvela;
using namespace tonvela::test;
namespace fs = std::filesystem;

class MainDlgTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    QString files_;  // inputs shared by the tests
    CFakeDesktop::Log log_;

    std::unique_ptr<CMainDlg> MakeWindow() {
        log_.opened.clear();
        log_.shown.clear();
        log_.viewed.clear();
        auto w = std::make_unique<CMainDlg>(std::make_unique<CFakeDesktop>(log_));
        w->show();
        return w;
    }
    QString In(const QString& name) const { return files_ + QLatin1Char('/') + name; }
    static QStringList Column(CMainDlg& w, int column) {
        QStringList texts;
        for (int r = 0; r < w.Model().rowCount(); ++r)
            texts << QString::fromStdString(w.Model().CellText(r, column));
        return texts;
    }
    static QStringList EnabledListCommands(CMainDlg& w) {
        w.UpdateListMenu();
        QStringList on;
        for (QAction* a : w.ListMenu()->actions())
            if (!a->isSeparator() && a->isEnabled()) on << a->objectName();
        return on;
    }
    static void Select(CMainDlg& w, const std::vector<int>& rows) {
        w.List().clearSelection();
        for (int r : rows)
            w.List().selectionModel()->select(w.Model().index(r, 0),
                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    // The batch may already have ended while an earlier wait ran the event loop, so this waits
    // for the window to be idle rather than for a signal that may have gone.
    static bool WaitForBatch(CMainDlg& w) { return QTest::qWaitFor([&] { return !w.IsBusy(); }, 180000); }

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("HOME", home_.path().toUtf8());
        qunsetenv("XDG_CONFIG_HOME");
        qputenv("XDG_DOCUMENTS_DIR", (home_.path() + QStringLiteral("/Documents")).toUtf8());
        qputenv("TONVELA_CONFIG_DIR", (home_.path() + QStringLiteral("/config")).toUtf8());
        ApplySkin(*qApp);
        files_ = home_.path() + QStringLiteral("/in");
        QVERIFY(QDir().mkpath(files_));
        // First start (opens the help when the build has it); the other tests start later.
        MakeWindow();
    }

    // Add Files: each file's probed columns, worked out by hand from sox's parameters. The bit
    // rate is the file's size (header included: 44 bytes, 68 for six channels) over its length.
    void columnTexts_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("bits");
        QTest::addColumn<QStringList>("texts");  // Length, Bit Rate, Freq., Ch.
        QTest::newRow("half a second") << "half.wav" << 0.5 << 8000 << 1 << 16
                                       << QStringList{"00:00", "129 kbps", "8000 Hz", "Mono"};
        QTest::newRow("two hours") << "long.wav" << 7200.0 << 4000 << 1 << 8
                                   << QStringList{"120:00", "32 kbps", "4000 Hz", "Mono"};
        QTest::newRow("six channels") << "six.wav" << 1.0 << 8000 << 6 << 16
                                      << QStringList{"00:01", "769 kbps", "8000 Hz", "6"};
        QTest::newRow("stereo, a minute") << "stereo.aiff" << 61.0 << 8000 << 2 << 8
                                          << QStringList{"01:01", "128 kbps", "8000 Hz", "Stereo"};
        // Our own .au reader: 85995 frames x 4 bytes over 1.95 s is 1411.2 kbit/s (not over 1 s).
        QTest::newRow("1.95 s, .au") << "short.au" << 1.95 << 44100 << 2 << 16
                                     << QStringList{"00:01", "1411 kbps", "44100 Hz", "Stereo"};
    }
    void columnTexts() {
        QFETCH(QString, name);
        QFETCH(double, seconds);
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(int, bits);
        QFETCH(QStringList, texts);
        const QString path = In(name);
        QVERIFY(MakeTone(path, seconds, rate, channels, bits));
        auto w = MakeWindow();
        log_.files = {path};
        CMessageCatcher catcher;
        w->OnAddFiles();
        QCOMPARE(w->Model().rowCount(), 1);
        QCOMPARE(Column(*w, kColumnFiles), QStringList{name});
        QCOMPARE((QStringList{Column(*w, 1)[0], Column(*w, 2)[0], Column(*w, 3)[0], Column(*w, 4)[0]}), texts);
        QCOMPARE(Column(*w, kColumnSwf), QStringList{QString()});
        QVERIFY(catcher.messages.empty());
        QVERIFY(!w->IsBusy());
    }

    // Add Folder: sorted by name, sub-folders after their parent's files, links to files
    // followed, links to folders and link loops left alone, other files skipped silently.
    void addFolderSearchesRecursively() {
        const QString root = In(QStringLiteral("tree"));
        const QString outside = In(QStringLiteral("outside"));
        QVERIFY(QDir().mkpath(root + QStringLiteral("/sub")));
        QVERIFY(QDir().mkpath(outside));
        QVERIFY(MakeTone(root + QStringLiteral("/b.wav"), 0.3));
        QVERIFY(MakeTone(root + QStringLiteral("/a.WAV"), 0.3));
        QVERIFY(MakeTone(root + QStringLiteral("/sub/c.au"), 0.3));
        QVERIFY(MakeTone(outside + QStringLiteral("/d.wav"), 0.3));
        QFile notes(root + QStringLiteral("/notes.txt"));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("not audio");
        notes.close();
        const fs::path r = root.toStdString();
        fs::create_symlink(outside.toStdString() + "/d.wav", r / "d-link");
        fs::create_directory_symlink(r / "sub", r / "dirlink");
        fs::create_symlink(r / "loop2", r / "loop1");
        fs::create_symlink(r / "loop1", r / "loop2");

        auto w = MakeWindow();
        log_.folder = root;
        CMessageCatcher catcher;
        w->OnAddFolder();
        QCOMPARE(Column(*w, kColumnFiles), (QStringList{"a.WAV", "b.wav", "d.wav", "c.au"}));
        QCOMPARE(QString::fromStdString(w->Model().Entry(2).path), outside + QStringLiteral("/d.wav"));
        QVERIFY(catcher.messages.empty());
        // The chosen folder is kept, with its trailing "/", in the store at once.
        CSettingsStore store(qEnvironmentVariable("TONVELA_CONFIG_DIR").toStdString());
        QVERIFY(store.Load());
        QCOMPARE(store.GetString(kOptionsKey, "Folder").value_or(""), root.toStdString() + "/");
    }

    // Dropped items: files with a supported extension, folders searched, links followed; other
    // files ignored without a word. Files already listed are not added again. A name that is
    // not UTF-8 arrives byte for byte.
    void dropsAndDuplicates() {
        auto w = MakeWindow();
        const QString root = In(QStringLiteral("tree"));
        CMessageCatcher catcher;
        auto drop = [&](const QStringList& paths, const QByteArray& uriList = {}) {
            QMimeData mime;
            QList<QUrl> urls;
            for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
            mime.setUrls(urls);
            if (!uriList.isEmpty()) mime.setData(QStringLiteral("text/uri-list"), uriList);
            const QPoint at(300, 200);
            QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(w.get(), &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(w.get(), &dropped);
            QTest::qWait(50);  // the drop is handled once the file manager is let go
            QTRY_VERIFY_WITH_TIMEOUT(!w->IsBusy(), 20000);
        };
        drop({root + QStringLiteral("/notes.txt"), root + QStringLiteral("/b.wav"), root + QStringLiteral("/sub"),
              root + QStringLiteral("/d-link"), root + QStringLiteral("/loop1")});
        QCOMPARE(Column(*w, kColumnFiles), (QStringList{"b.wav", "c.au", "d.wav"}));
        // Again, by other names of the same files: a link, "..", the folder once more.
        drop({root + QStringLiteral("/sub/../b.wav"), root + QStringLiteral("/dirlink/c.au"), root});
        QCOMPARE(Column(*w, kColumnFiles), (QStringList{"b.wav", "c.au", "d.wav", "a.WAV"}));
        QVERIFY(catcher.messages.empty());

        // A list as a file manager sends it: a comment, a web address, another host and a NUL
        // are passed over; a lone "%" stands for itself, and a Latin-1 name (bytes E9 and FF)
        // arrives byte for byte.
        const std::string latin1 = root.toStdString() + "/caf\xe9 \xff.wav", percent = root.toStdString() + "/100%.wav";
        fs::copy_file(root.toStdString() + "/b.wav", latin1);
        fs::copy_file(root.toStdString() + "/b.wav", percent);
        const QByteArray encoded = QUrl::toPercentEncoding(QString::fromLatin1(root.toUtf8()), "/");
        drop({}, "# dropped\r\nhttp://example.org/x.wav\r\nfile://elsewhere" + encoded + "/b.wav\r\nfile://" + encoded +
                     "/b%00.wav\r\nfile:" + encoded + "/100%.wav\r\nfile://localhost" + encoded + "/caf%E9%20%ff.wav\r\n");
        QCOMPARE(w->Model().rowCount(), 6);
        QCOMPARE(w->Model().Entry(4).path, percent);
        QCOMPARE(w->Model().Entry(5).path, latin1);
        QVERIFY(catcher.messages.empty());
    }

    // Drops are taken as a copy (or a link), never a move, whatever the source proposes; a
    // source that offers only a move is refused and nothing is added.
    void dropsTakenAsCopy_data() {
        QTest::addColumn<int>("offered");
        QTest::addColumn<int>("proposed");
        QTest::addColumn<int>("taken");  // 0: refused
        QTest::newRow("copy or move, move proposed") << int(Qt::CopyAction | Qt::MoveAction) << int(Qt::MoveAction)
                                                     << int(Qt::CopyAction);
        QTest::newRow("link or move") << int(Qt::LinkAction | Qt::MoveAction) << int(Qt::MoveAction)
                                      << int(Qt::LinkAction);
        QTest::newRow("move only") << int(Qt::MoveAction) << int(Qt::MoveAction) << 0;
    }
    void dropsTakenAsCopy() {
        QFETCH(int, offered);
        QFETCH(int, proposed);
        QFETCH(int, taken);
        const QString path = In(QStringLiteral("dropped.wav"));
        QVERIFY(MakeTone(path, 0.3));
        auto w = MakeWindow();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        const QPoint at(300, 200);
        const auto actions = Qt::DropActions(offered);
        QDragEnterEvent enter(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
        enter.setDropAction(Qt::DropAction(proposed));
        QApplication::sendEvent(w.get(), &enter);
        QCOMPARE(enter.isAccepted(), taken != 0);
        QDragMoveEvent move(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
        move.setDropAction(Qt::DropAction(proposed));
        QApplication::sendEvent(w.get(), &move);
        QCOMPARE(move.isAccepted(), taken != 0);
        QDropEvent dropped(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
        dropped.setDropAction(Qt::DropAction(proposed));
        QApplication::sendEvent(w.get(), &dropped);
        QCOMPARE(dropped.isAccepted(), taken != 0);
        if (taken != 0) QCOMPARE(int(dropped.dropAction()), taken);
        QTest::qWait(50);
        QTRY_VERIFY_WITH_TIMEOUT(!w->IsBusy(), 20000);
        QCOMPARE(w->Model().rowCount(), taken != 0 ? 1 : 0);
    }

    // Remove keeps a row selected, so Del again goes on; Undo (or the menu) puts each removal
    // back where it was, with its status; Remove All too; a file added again meanwhile keeps
    // its one row.
    void removalsUndone() {
        QStringList paths;
        for (const char* n : {"u1.wav", "u2.wav", "u3.wav", "u4.wav"}) {
            paths << In(QString::fromLatin1(n));
            QVERIFY(MakeTone(paths.back(), 0.2));
        }
        auto w = MakeWindow();
        log_.files = paths;
        w->OnAddFiles();
        w->Model().SetStatus(2, "u3.swf");
        CMessageCatcher catcher;
        auto undo = w->ListMenu()->findChild<QAction*>(QStringLiteral("undoRemove"));
        QVERIFY(undo);
        QVERIFY(!EnabledListCommands(*w).contains("undoRemove"));

        Select(*w, {1});
        w->OnRemove();
        QCOMPARE(Column(*w, kColumnFiles), (QStringList{"u1.wav", "u3.wav", "u4.wav"}));
        QCOMPARE(w->List().SelectedRows(), std::vector<int>{1});
        w->OnRemove();
        w->OnRemove();
        QCOMPARE(Column(*w, kColumnFiles), QStringList{"u1.wav"});
        QCOMPARE(w->List().SelectedRows(), std::vector<int>{0});  // the last row moves up
        QVERIFY(catcher.messages.empty());

        QVERIFY(EnabledListCommands(*w).contains("undoRemove"));
        w->OnUndoRemove();
        QCOMPARE(Column(*w, kColumnFiles), (QStringList{"u1.wav", "u4.wav"}));
        undo->trigger();
        undo->trigger();
        QCOMPARE(Column(*w, kColumnFiles), (QStringList{"u1.wav", "u2.wav", "u3.wav", "u4.wav"}));
        QCOMPARE(Column(*w, kColumnSwf), (QStringList{"", "", "u3.swf", ""}));
        QCOMPARE(w->List().SelectedRows(), std::vector<int>{1});

        w->OnRemoveAll();
        QCOMPARE(w->Model().rowCount(), 0);
        log_.files = {paths[3]};
        w->OnAddFiles();  // u4 again, before the undo
        w->OnUndoRemove();
        QCOMPARE(Column(*w, kColumnFiles), (QStringList{"u1.wav", "u2.wav", "u3.wav", "u4.wav"}));
        QCOMPARE(Column(*w, kColumnSwf), (QStringList{"", "", "u3.swf", ""}));
        QCOMPARE(w->List().SelectedRows(), (std::vector<int>{0, 1, 2}));
        QVERIFY(!EnabledListCommands(*w).contains("undoRemove"));
        QVERIFY(catcher.messages.empty());
    }

    // The window's size, place and column widths, and the folder of Add Files, come back at the
    // next start; a remembered size larger than the screen, or a damaged value, still gives a
    // window inside the screen, and a size the screen forced is not remembered. Each screen
    // size and scale keeps its own place: another one's is left alone.
    void windowRemembered() {
        QTemporaryDir config;
        const QByteArray oldConfig = qgetenv("TONVELA_CONFIG_DIR");
        qputenv("TONVELA_CONFIG_DIR", config.path().toUtf8());
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QSize pixels = screen->geometry().size() * screen->devicePixelRatio();
        const std::string here = QStringLiteral("MainWindow.%1x%2.%3")
                                     .arg(pixels.width()).arg(pixels.height())
                                     .arg(qRound(screen->devicePixelRatio() * 100)).toStdString();
        const std::string other = here == "MainWindow.1600x1000.200" ? "MainWindow.1600x1000.100" : "MainWindow.1600x1000.200";
        auto stored = [&](const std::string& name) {
            CSettingsStore store(config.path().toStdString());
            store.Load();
            return store.GetString(kWindowKey, name).value_or("");
        };
        {
            CSettingsStore store(config.path().toStdString());
            store.SetString(kWindowKey, other, "0,0,800,500");
            QVERIFY(store.Save());
        }
        const QString folder = In(QStringLiteral("picked"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(MakeTone(folder + QStringLiteral("/p.wav"), 0.2));
        {
            auto w = MakeWindow();
            QCOMPARE(w->size(), QSize(CMainDlg::kWidth, CMainDlg::kHeight));
            w->resize(620, 450);
            w->move(30, 40);
            w->List().setColumnWidth(0, 201);
            log_.files = {folder + QStringLiteral("/p.wav")};
            w->OnAddFiles();
            QCOMPARE(log_.filesStart, QString());
            QVERIFY(w->close());
        }
        QCOMPARE(stored(here), std::string("30,40,620,450"));
        QCOMPARE(stored(other), std::string("0,0,800,500"));
        {
            auto w = MakeWindow();
            QCOMPARE(w->geometry(), QRect(30, 40, 620, 450));
            QCOMPARE(w->List().columnWidth(0), 201);
            QVERIFY(w->List().geometry().bottom() > 450 - 30);  // the list took the height
            w->OnAddFiles();
            QCOMPARE(log_.filesStart, folder);
            QVERIFY(w->close());
        }
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        const struct {
            const char* stored;
            const char* size;  // the size kept after a session that did not resize the window
        } cases[] = {{"-900,-900,9000,9000", ",9000,9000"},
                     {"12,x,5,5", ",699,538"},
                     {"0,0,10,10", ",560,420"},
                     {"10,10,9000,300", ",9000,420"}};
        for (const auto& c : cases) {
            {
                CSettingsStore store(config.path().toStdString());
                store.Load();
                store.SetString(kWindowKey, here, c.stored);
                QVERIFY(store.Save());
            }
            {
                auto w = MakeWindow();
                QVERIFY2(available.contains(w->geometry()), c.stored);
                QVERIFY2(w->width() >= std::min(CMainDlg::kMinWidth, available.width()), c.stored);
                QVERIFY(w->close());
            }
            QVERIFY2(QString::fromStdString(stored(here)).endsWith(QLatin1String(c.size)), stored(here).c_str());
        }
        QCOMPARE(stored(other), std::string("0,0,800,500"));
        qputenv("TONVELA_CONFIG_DIR", oldConfig);
    }

    // Files no reader opens: one message after the add, 30 paths, then "<more files>...".
    void failuresListed() {
        const QString dir = In(QStringLiteral("bad"));
        QVERIFY(QDir().mkpath(dir));
        QVERIFY(MakeTone(dir + QStringLiteral("/good.wav"), 0.2));
        for (int i = 0; i < 41; ++i) {
            QFile f(dir + QStringLiteral("/bad%1.mp3").arg(i, 2, 10, QLatin1Char('0')));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("this is no sound at all ");
        }
        auto w = MakeWindow();
        log_.folder = dir;
        CMessageCatcher catcher;
        w->OnAddFolder();
        QCOMPARE(Column(*w, kColumnFiles), QStringList{"good.wav"});
        QCOMPARE(catcher.messages.size(), std::size_t{1});
        // Thirty paths, each with its reason, then "<more files>..." and nothing after it.
        const QString text = catcher.messages[0].text;
        for (int i = 0; i < 41; ++i)
            QCOMPARE(text.contains(dir + QStringLiteral("/bad%1.mp3</b>").arg(i, 2, 10, QLatin1Char('0'))), i < 30);
        QCOMPARE(text.count(QStringLiteral("damaged, or not really a .mp3 file")), 30);
        QVERIFY(text.contains(QStringLiteral("&lt;more files&gt;...<br></p>")));
        QCOMPARE(catcher.messages[0].icon, QMessageBox::Warning);
        QCOMPARE(catcher.captions, QStringList{"Tonvela"});
    }

    // Header clicks: ascending, then descending on the same column, another column ascending;
    // bit rates compare as numbers (96 before 128), the selection stays with its file. No
    // column's width changes, however narrow the user made it (the arrow takes the title's room).
    void sorting_data() {
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<bool>("ascending");
        QTest::newRow("as added") << QList<int>{} << QStringList{"gamma.wav", "alpha.wav", "beta.wav"} << true;
        QTest::newRow("bit rate") << QList<int>{2} << QStringList{"beta.wav", "gamma.wav", "alpha.wav"} << true;
        QTest::newRow("bit rate twice") << QList<int>{2, 2} << QStringList{"alpha.wav", "gamma.wav", "beta.wav"}
                                        << false;
        QTest::newRow("bit rate thrice") << QList<int>{2, 2, 2} << QStringList{"beta.wav", "gamma.wav", "alpha.wav"}
                                         << true;
        QTest::newRow("descending, then names") << QList<int>{2, 2, 0}
                                                << QStringList{"alpha.wav", "beta.wav", "gamma.wav"} << true;
        QTest::newRow("names twice") << QList<int>{0, 0} << QStringList{"gamma.wav", "beta.wav", "alpha.wav"} << false;
        QTest::newRow("length") << QList<int>{1} << QStringList{"gamma.wav", "beta.wav", "alpha.wav"} << true;
    }
    void sorting() {
        QFETCH(QList<int>, clicks);
        QFETCH(QStringList, order);
        QFETCH(bool, ascending);
        // 96, 128 and 32 kbps; 2, 70 and 9 seconds.
        if (!QFile::exists(In(QStringLiteral("gamma.wav")))) {
            QVERIFY(MakeTone(In(QStringLiteral("gamma.wav")), 2, 12000, 1, 8));
            QVERIFY(MakeTone(In(QStringLiteral("alpha.wav")), 70, 8000, 1, 16));
            QVERIFY(MakeTone(In(QStringLiteral("beta.wav")), 9, 4000, 1, 8));
        }
        auto w = MakeWindow();
        w->AddCommandLinePaths({In(QStringLiteral("gamma.wav")), In(QStringLiteral("alpha.wav")),
                                In(QStringLiteral("beta.wav"))});
        w->List().SelectOnly(1);  // alpha
        QSignalSpy sorted(&w->List(), &CSortListCtrl::Sorted);
        QHeaderView* header = w->List().header();
        for (int c : {kColumnLength, kColumnBitRate}) w->List().setColumnWidth(c, header->minimumSectionSize() + 4);
        std::vector<int> widths;
        for (int c = 0; c < kFileListColumnCount; ++c) widths.push_back(w->List().columnWidth(c));
        for (int column : clicks) {
            const QPoint at(header->sectionViewportPosition(column) + 5, header->height() / 2);
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
        }
        QCOMPARE(Column(*w, kColumnFiles), order);
        QCOMPARE(sorted.size(), clicks.size());
        if (!clicks.isEmpty()) {
            QCOMPARE(sorted.last().at(0).toInt(), clicks.last());
            QCOMPARE(sorted.last().at(1).toBool(), ascending);
        }
        QCOMPARE(w->List().SelectedRows(), std::vector<int>{static_cast<int>(order.indexOf("alpha.wav"))});
        for (int c = 0; c < kFileListColumnCount; ++c) QCOMPARE(w->List().columnWidth(c), widths[static_cast<std::size_t>(c)]);
        if (clicks == QList<int>{1}) QVERIFY(SaveShot(w->grab(), QStringLiteral("sorted-narrow-column.png")));
    }

    // The messages of commands that have nothing to work on; Enter and Esc do nothing.
    void messages_data() {
        QTest::addColumn<bool>("withFile");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("message");
        const QString noFiles = QStringLiteral("There aren't files in list.");
        const QString noSelection = QStringLiteral("You should select a file at least.");
        QTest::newRow("convert all, empty") << false << "convertAllButton" << noFiles;
        QTest::newRow("remove all, empty") << false << "removeAllButton" << noFiles;
        QTest::newRow("convert to SWF, nothing selected") << true << "OnConvertSelected" << noSelection;
        QTest::newRow("remove, nothing selected") << true << "OnRemove" << noSelection;
        QTest::newRow("Del, nothing selected") << true << "key:Delete" << noSelection;
        QTest::newRow("Enter") << true << "key:Return" << QString();
        QTest::newRow("Esc") << true << "key:Escape" << QString();
    }
    void messages() {
        QFETCH(bool, withFile);
        QFETCH(QString, command);
        QFETCH(QString, message);
        auto w = MakeWindow();
        if (withFile) {
            if (!QFile::exists(In(QStringLiteral("one.wav")))) QVERIFY(MakeTone(In(QStringLiteral("one.wav")), 0.3));
            w->AddCommandLinePaths({In(QStringLiteral("one.wav"))});
            w->List().clearSelection();
        }
        const int rows = w->Model().rowCount();
        CMessageCatcher catcher;
        QApplication::setActiveWindow(w.get());
        if (command.startsWith(QStringLiteral("key:"))) {
            const Qt::Key key = command.endsWith(QStringLiteral("Delete")) ? Qt::Key_Delete
                                : command.endsWith(QStringLiteral("Return")) ? Qt::Key_Return
                                                                             : Qt::Key_Escape;
            w->List().setFocus();
            QTest::keyClick(&w->List(), key);
        } else if (auto* button = w->findChild<QPushButton*>(command)) {
            QTest::mouseClick(button, Qt::LeftButton);
        } else {
            QVERIFY(QMetaObject::invokeMethod(w.get(), command.toLatin1().constData()));
        }
        QTRY_COMPARE_WITH_TIMEOUT(catcher.messages.size(), std::size_t(message.isEmpty() ? 0 : 1), 20000);
        QTest::qWait(50);
        if (!message.isEmpty()) {
            QCOMPARE(catcher.messages.size(), std::size_t{1});
            QCOMPARE(catcher.messages[0].text, message);
            QCOMPARE(catcher.messages[0].icon, QMessageBox::Information);
        } else {
            QVERIFY(catcher.messages.empty());
        }
        QCOMPARE(w->Model().rowCount(), rows);
        QVERIFY(w->isVisible());
        QVERIFY(!w->ConvertProgress());
    }

    // A batch of three whose second file went missing: names, "Conversion Failure", names;
    // the first SWF is shown in the file manager. The same with two jobs at once.
    void batchWithFailure_data() {
        QTest::addColumn<int>("jobs");
        QTest::newRow("one job") << 1;
        QTest::newRow("two jobs") << 2;
    }
    void batchWithFailure() {
        QFETCH(int, jobs);
        const QString dir = In(QStringLiteral("batch%1").arg(jobs));
        QVERIFY(QDir().mkpath(dir));
        QStringList paths;
        for (const char* name : {"first.wav", "second.wav", "third.wav"}) {
            paths << dir + QLatin1Char('/') + QLatin1String(name);
            QVERIFY(MakeTone(paths.last(), 1.5));
        }
        auto w = MakeWindow();
        w->Settings().ConvertJobs = jobs;
        w->AddCommandLinePaths(paths);
        QVERIFY(QFile::remove(paths[1]));
        CMessageCatcher catcher;
        w->OnConvertAll();
        QVERIFY(w->IsBusy());
        QVERIFY(WaitForBatch(*w));
        QCOMPARE(Column(*w, kColumnSwf), (QStringList{"first.swf", "Conversion Failure", "third.swf"}));
        QVERIFY(QFile::exists(dir + QStringLiteral("/first.swf")));
        QVERIFY(QFile::exists(dir + QStringLiteral("/third.htm")));
        QVERIFY(w->Model().Entry(1).swfPath.empty());
        QCOMPARE(log_.shown, std::vector<std::string>{(dir + QStringLiteral("/first.swf")).toStdString()});
        QVERIFY(catcher.messages.empty());
        QVERIFY(!w->IsBusy());
        QTRY_VERIFY_WITH_TIMEOUT(!w->ConvertProgress(), 20000);
        if (jobs == 1) QVERIFY(SaveShot(w->grab(), QStringLiteral("main-after-batch.png")));
    }

    // Cancel during the second of three: it shows "Cancelled", the third stays untouched, no
    // part of the second's output is left, and only the first counts for the file manager.
    void cancelDuringSecond() {
        const QString dir = In(QStringLiteral("cancel"));
        QVERIFY(QDir().mkpath(dir));
        QVERIFY(MakeTone(dir + QStringLiteral("/one.wav"), 1));
        QVERIFY(MakeTone(dir + QStringLiteral("/two.wav"), 900, 44100, 2));
        QVERIFY(MakeTone(dir + QStringLiteral("/three.wav"), 1));
        auto w = MakeWindow();
        w->AddCommandLinePaths({dir + QStringLiteral("/one.wav"), dir + QStringLiteral("/two.wav"),
                                dir + QStringLiteral("/three.wav")});
        w->Model().SetStatus(2, "earlier status");
        bool clicked = false;
        connect(&w->Model(), &QAbstractItemModel::dataChanged, w.get(), [&](const QModelIndex& from) {
            if (clicked || from.row() != 1 || w->Model().CellText(1, kColumnSwf) != "Converting...") return;
            clicked = true;
            CConvertProgressDlg* dlg = w->ConvertProgress();
            QVERIFY(dlg && dlg->isVisible());
            QVERIFY(!w->List().isEnabled());
            // The window while the batch runs, with its progress window where it stands, once
            // the second file is under way.
            QVERIFY(QTest::qWaitFor([dlg] {
                return dlg->FilePos() >= kBatchBarMax / 20 &&
                       dlg->FileText().startsWith(QStringLiteral("Converting two.wav..."));
            }, 60000));
            QCOMPARE(dlg->OverallText(), QStringLiteral("Converting 2 of 3 file(s) into SWF..."));
            // One of three done and the second's part: a third of the bar and some.
            QVERIFY(dlg->OverallPos() > kBatchBarMax / 3 && dlg->OverallPos() < 2 * kBatchBarMax / 3);
            QPixmap shot = w->grab();
            QPainter p(&shot);
            p.drawPixmap(dlg->pos() - w->pos(), dlg->grab());
            p.end();
            QVERIFY(SaveShot(shot, QStringLiteral("main-during-batch.png")));
            QTest::mouseClick(dlg->CancelButton(), Qt::LeftButton);
        });
        w->OnConvertAll();
        QVERIFY(WaitForBatch(*w));
        QVERIFY(clicked);
        QCOMPARE(Column(*w, kColumnSwf), (QStringList{"one.swf", "Cancelled", "earlier status"}));
        QVERIFY(w->Model().Entry(1).swfPath.empty());
        QVERIFY(w->Model().Entry(2).swfPath.empty());
        QStringList left = QDir(dir).entryList(QDir::Files, QDir::Name);
        QCOMPARE(left, (QStringList{"one.htm", "one.swf", "one.wav", "three.wav", "two.wav"}));
        QCOMPARE(log_.shown, std::vector<std::string>{(dir + QStringLiteral("/one.swf")).toStdString()});
        QVERIFY(w->List().isEnabled());
    }

    // A template that went missing stops the batch before it starts: the message (the batch
    // waits for it), no progress window, no status, and the window takes commands again.
    void missingTemplate() {
        if (!QFile::exists(In(QStringLiteral("one.wav")))) QVERIFY(MakeTone(In(QStringLiteral("one.wav")), 0.3));
        auto w = MakeWindow();
        w->AddCommandLinePaths({In(QStringLiteral("one.wav"))});
        const QString missing = home_.path() + QStringLiteral("/gone/square.swf");
        w->Settings().ControlSWF = missing.toStdString();
        CMessageCatcher catcher;
        bool progressShown = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] { progressShown |= w->ConvertProgress() && w->ConvertProgress()->isVisible(); });
        watch.start(5);
        w->OnConvertAll();
        QVERIFY(WaitForBatch(*w));
        QCOMPARE(catcher.messages.size(), std::size_t{1});
        QCOMPARE(catcher.messages[0].text, QStringLiteral("Error: the template SWF file \"%1\" is not available.\n\n"
                                                          "Please re-install the software and try again.")
                                               .arg(missing));
        QCOMPARE(catcher.messages[0].icon, QMessageBox::Warning);
        QVERIFY(!progressShown);
        QCOMPARE(Column(*w, kColumnSwf), QStringList{QString()});
        QVERIFY(!w->IsBusy());
        QVERIFY(log_.shown.empty());
    }

    // The context menu's commands by the list and the selection, before and after a
    // conversion with and without the HTML page; the enabled ones act on the first selection.
    void contextMenu() {
        const QString dir = In(QStringLiteral("menu"));
        QVERIFY(QDir().mkpath(dir));
        QVERIFY(MakeTone(dir + QStringLiteral("/page.wav"), 0.5));
        QVERIFY(MakeTone(dir + QStringLiteral("/nopage.wav"), 0.5));
        auto w = MakeWindow();
        const QStringList always{"addFiles", "addFolder"};
        QCOMPARE(EnabledListCommands(*w), always);
        w->AddCommandLinePaths({dir + QStringLiteral("/page.wav"), dir + QStringLiteral("/nopage.wav")});
        QCOMPARE(EnabledListCommands(*w), (QStringList{"convertAll", "addFiles", "addFolder", "removeAll"}));
        Select(*w, {0, 1});
        QCOMPARE(EnabledListCommands(*w),
                 (QStringList{"convertSelected", "convertAll", "addFiles", "addFolder", "remove", "removeAll"}));
        Select(*w, {0});
        const QStringList oneSelected{"play", "browseFolder", "convertSelected", "convertAll",
                                      "addFiles", "addFolder", "remove", "removeAll"};
        QCOMPARE(EnabledListCommands(*w), oneSelected);

        w->OnConvertSelected();
        QVERIFY(WaitForBatch(*w));
        QCOMPARE(EnabledListCommands(*w), (QStringList{"play", "browseFolder", "playSwf", "browseSwfFolder",
                                                       "openHtml", "viewHtml", "convertSelected", "convertAll",
                                                       "addFiles", "addFolder", "remove", "removeAll"}));
        w->Settings().CreateHtmlFile = 0;
        Select(*w, {1});
        QCOMPARE(EnabledListCommands(*w), oneSelected);
        w->OnConvertSelected();
        QVERIFY(WaitForBatch(*w));
        QCOMPARE(EnabledListCommands(*w), (QStringList{"play", "browseFolder", "playSwf", "browseSwfFolder",
                                                       "convertSelected", "convertAll", "addFiles", "addFolder",
                                                       "remove", "removeAll"}));

        // The commands reach the desktop with the entry's files.
        Select(*w, {0});
        w->UpdateListMenu();
        log_.opened.clear();
        log_.shown.clear();
        for (const char* name : {"play", "browseFolder", "browseSwfFolder", "openHtml", "viewHtml"})
            w->ListMenu()->findChild<QAction*>(QLatin1String(name))->trigger();
        const std::string base = dir.toStdString();
        QCOMPARE(log_.opened, (std::vector<std::string>{base + "/page.wav", base + "/page.htm"}));
        QCOMPARE(log_.shown, (std::vector<std::string>{base + "/page.wav", base + "/page.swf"}));
        QCOMPARE(log_.viewed, std::vector<std::string>{base + "/page.htm"});

        // Remove takes the selected rows only, and no file.
        Select(*w, {0});
        QApplication::setActiveWindow(w.get());
        QTest::keyClick(&w->List(), Qt::Key_Delete);
        QCOMPARE(Column(*w, kColumnFiles), QStringList{"nopage.wav"});
        QVERIFY(QFile::exists(dir + QStringLiteral("/page.swf")));
    }

    // Desktop keys and the list's view: a file listed already does not scroll the list to its
    // end (a new one does); the Menu key opens the menu below the current row; Ctrl+Q quits.
    void keyboardAndView() {
        const QString dir = In(QStringLiteral("many"));
        QVERIFY(QDir().mkpath(dir));
        QVERIFY(MakeTone(dir + QStringLiteral("/00.wav"), 0.1));
        QStringList paths{dir + QStringLiteral("/00.wav")};
        for (int i = 1; i <= 40; ++i) {
            paths << dir + QStringLiteral("/%1.wav").arg(i, 2, 10, QLatin1Char('0'));
            QVERIFY(QFile::copy(paths.first(), paths.last()));
        }
        const QString last = paths.takeLast();
        auto w = MakeWindow();
        CMessageCatcher catcher;
        w->AddCommandLinePaths(paths);
        QCOMPARE(w->Model().rowCount(), 40);
        QScrollBar* bar = w->List().verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        w->List().scrollToTop();
        QCOMPARE(bar->value(), 0);
        w->AddCommandLinePaths({paths[3]});
        QCOMPARE(w->Model().rowCount(), 40);
        QCOMPARE(bar->value(), 0);
        w->AddCommandLinePaths({last});
        QCOMPARE(w->Model().rowCount(), 41);
        QCOMPARE(bar->value(), bar->maximum());

        // The current row scrolled out of sight: the menu comes below it, brought into view.
        w->List().SelectOnly(2);
        w->List().scrollToBottom();
        QSignalSpy wanted(&w->List(), &CSortListCtrl::ContextMenuWanted);
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(), QPoint());
        QApplication::sendEvent(&w->List(), &key);
        QCOMPARE(wanted.size(), 1);
        const QRect row = w->List().visualRect(w->Model().index(2, 0));
        QVERIFY(w->List().viewport()->rect().contains(row));
        const QPoint at = w->List().viewport()->mapFromGlobal(wanted[0][0].toPoint());
        QVERIFY2(at.y() >= row.top() + row.height() / 2 && at.y() <= row.bottom() + 2 && row.left() <= at.x() &&
                     at.x() < row.left() + 40,
                 qPrintable(QStringLiteral("%1,%2 for row %3,%4").arg(at.x()).arg(at.y()).arg(row.left()).arg(row.top())));
        QTRY_VERIFY(w->ListMenu()->isVisible());
        w->ListMenu()->hide();
        QVERIFY(catcher.messages.empty());

        QApplication::setActiveWindow(w.get());
        QTRY_VERIFY(w->isActiveWindow());
        QTest::keyClick(w.get(), Qt::Key_Q, Qt::ControlModifier);
        QTRY_VERIFY(!w->isVisible());
    }

    // The manual opens on the first start only, and again once the store has no FirstRun;
    // F1 opens it whenever asked.
    void firstRunHelp() {
        QTemporaryDir data, config;
        QVERIFY(QDir().mkpath(data.path() + QStringLiteral("/help")));
        QFile index(data.path() + QStringLiteral("/help/index.html"));
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write("<html></html>");
        index.close();
        const QByteArray oldData = qgetenv("TONVELA_DATA_DIR"), oldConfig = qgetenv("TONVELA_CONFIG_DIR");
        qputenv("TONVELA_DATA_DIR", data.path().toUtf8());
        qputenv("TONVELA_CONFIG_DIR", config.path().toUtf8());
        const std::vector<std::string> help{data.path().toStdString() + "/help/index.html"};

        MakeWindow();
        const std::vector<std::string> first = log_.opened;
        MakeWindow();
        const std::vector<std::string> second = log_.opened;
        QVERIFY(QFile::remove(config.path() + QStringLiteral("/settings.conf")));
        auto w = MakeWindow();
        const std::vector<std::string> afterDelete = log_.opened;
        log_.opened.clear();
        QApplication::setActiveWindow(w.get());
        QTest::keyClick(w.get(), Qt::Key_F1);

        qputenv("TONVELA_DATA_DIR", oldData);
        qputenv("TONVELA_CONFIG_DIR", oldConfig);
        QCOMPARE(first, help);
        QVERIFY(second.empty());
        QCOMPARE(afterDelete, help);
        QCOMPARE(log_.opened, help);
    }
};

QTEST_MAIN(MainDlgTest)
#include "MainDlgTest.moc"
