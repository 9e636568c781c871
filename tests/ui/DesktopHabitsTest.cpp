// Habits of a desktop program: View HTML Code falls back to our own viewer when the desktop's
// text editor runs in a terminal or fails to start (the handler found by the real xdg-mime in
// a made-up XDG configuration); the first-run flag is cleared only once the manual opened;
// settings that cannot be saved are reported, once per save; without a browser for the manual,
// the user is told and offered our viewer or the manual's path.
#include <QCheckBox>
#include <QClipboard>
#include <QMenu>
#include <QTextBrowser>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>
#include <filesystem>
#include <sys/stat.h>

#include "OptionsTestSupport.h"
#include "convert/ConvertOptions.h"
#include "platform/SettingsStore.h"
#include "ui/CommandLinePaths.h"
#include "ui/DesktopServices.h"
#include "ui/FileListModel.h"
#include "ui/MainDlg.h"
#include "ui/RecordDlg.h"
#include "ui/SheetOptions.h"

using namespace tonvela;
using namespace tonvela::test;

namespace {

// The desktop of the window tests: records what it was asked to open, opens as told.
class CScriptedDesktop : public CDesktopServices {
public:
    CScriptedDesktop(std::vector<std::string>& opened, bool result, QString folder = {})
        : opened_(opened), result_(result), folder_(std::move(folder)) {}
    bool OpenDocument(const std::string& path) override {
        opened_.push_back(path);
        return result_;
    }
    QString ChooseFolder(QWidget*, const QString&) override { return folder_; }

private:
    std::vector<std::string>& opened_;
    bool result_;
    QString folder_;
};

void WriteFile(const QString& path, const QByteArray& bytes, bool executable = false) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    if (executable) ::chmod(QFile::encodeName(path).constData(), 0755);
}

// Answers message boxes as CModalDriver does, keeping a screenshot of each:
// <build>/screenshots/<prefix>-<n>.png.
class CShootingDriver : public CModalDriver {
public:
    explicit CShootingDriver(QString prefix) : prefix_(std::move(prefix)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || shot_.contains(box)) return;
            shot_ << box;
            box->grab().save(ScreenshotDir() + QStringLiteral("/%1-%2.png").arg(prefix_).arg(shot_.size()));
        });
        timer_.start(2);  // before the driver's own poll answers the box
    }

private:
    QString prefix_;
    QTimer timer_;
    QList<QPointer<QMessageBox>> shot_;
};

QWidget* VisibleViewer() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("textViewer") && w->isVisible()) return w;
    return nullptr;
}

}  // namespace

class DesktopHabitsTest : public QObject {
    Q_OBJECT

    QTemporaryDir root_;
    QString Path(const QString& name) const { return root_.filePath(name); }

    // A data folder with a manual, and a settings folder of its own for each start sequence.
    void UseFreshFolders(const QString& tag, bool writable = true) {
        WriteFile(Path(tag + "/data/help/index.html"), "<html></html>");
        qputenv("TONVELA_DATA_DIR", QFile::encodeName(Path(tag + "/data")));
        if (writable) {
            qputenv("TONVELA_CONFIG_DIR", QFile::encodeName(Path(tag + "/config")));
        } else {
            // A folder below a regular file cannot be made, even by root.
            WriteFile(Path(tag + "/blocker"), "a file, not a folder");
            qputenv("TONVELA_CONFIG_DIR", QFile::encodeName(Path(tag + "/blocker/config")));
        }
    }

private slots:
    void initTestCase() {
        QVERIFY(root_.isValid());
        qputenv("HOME", QFile::encodeName(Path("home")));
        // The recorder finds no sound server and starts none.
        QDir().mkpath(Path("run"));
        WriteFile(Path("client.conf"), "autospawn = no\n");
        qputenv("PULSE_CLIENTCONFIG", QFile::encodeName(Path("client.conf")));
        qputenv("PULSE_SERVER", QFile::encodeName(Path("run/no-such-socket")));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(Path("run")));
    }

    // --version and --help answer on a console: no display, and a window system that cannot
    // connect (xcb without DISPLAY aborts a program that makes its application object first).
    void helpAndVersionWithoutDisplay_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("expected");  // a pattern of the output
        QTest::newRow("--version") << QStringLiteral("--version") << QStringLiteral("^Tonvela \\d+\\.\\d+");
        QTest::newRow("-v") << QStringLiteral("-v") << QStringLiteral("^Tonvela \\d+\\.\\d+");
        QTest::newRow("--help") << QStringLiteral("--help") << QStringLiteral("Usage: .*tonvela \\[options\\] \\[FILE\\.\\.\\.\\]");
        QTest::newRow("-h") << QStringLiteral("-h") << QStringLiteral("-v, --version");
    }
    void helpAndVersionWithoutDisplay() {
        QFETCH(QString, option);
        QFETCH(QString, expected);
        const QString program = QStringLiteral(TONVELA_BINARY_DIR "/bin/tonvela");
        if (!QFileInfo(program).isExecutable()) QSKIP("the desktop program was not built");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, {option});
        QVERIFY(p.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
                 qPrintable(QString::fromLocal8Bit(p.readAllStandardError())));
        QVERIFY2(out.contains(QRegularExpression(expected)), qPrintable(out));
    }

    void viewHtmlCode_data() {
        QTest::addColumn<QByteArray>("entry");  // the text editor's desktop entry
        QTest::addColumn<bool>("editorRuns");
        const QByteArray editor = QFile::encodeName(Path("bin/editor"));
        QTest::newRow("graphical editor") << "Exec=" + editor + " %F\nTerminal=false\n" << true;
        QTest::newRow("terminal editor, like vim") << "Exec=" + editor + " %F\nTerminal=true\n" << false;
        QTest::newRow("editor that is not installed") << QByteArray("Exec=/no/such/editor %F\n") << false;
        QTest::newRow("editor that fails at once") << "Exec=" + editor + " --fail %F\n" << false;
    }
    void viewHtmlCode() {
        QFETCH(QByteArray, entry);
        QFETCH(bool, editorRuns);
        const QString log = Path("editor.log");
        QFile::remove(log);
        WriteFile(Path("bin/editor"),
                  "#!/bin/sh\n[ \"$1\" = --fail ] && exit 3\nprintf '%s\\n' \"$@\" >> '" + QFile::encodeName(log) + "'\n",
                  true);
        WriteFile(Path("xdg/config/mimeapps.list"), "[Default Applications]\ntext/plain=tv-editor.desktop\n");
        WriteFile(Path("xdg/share/applications/tv-editor.desktop"),
                  "[Desktop Entry]\nType=Application\nName=Editor\n" + entry);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(Path("xdg/config")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(Path("xdg/share")));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(Path("xdg/none")));
        qunsetenv("XDG_CURRENT_DESKTOP");
        const QString page = Path("-page.html");
        WriteFile(page, "<p>code</p>");

        CDesktopServices desktop;
        desktop.ViewText(page.toStdString(), nullptr);
        QWidget* viewer = VisibleViewer();
        QFile started(log);
        const QByteArray args = started.open(QIODevice::ReadOnly) ? started.readAll() : QByteArray();
        if (viewer) {
            viewer->grab().save(ScreenshotDir() + QStringLiteral("/text-viewer.png"));
            // Ours shows the page itself.
            QVERIFY(viewer->findChild<QPlainTextEdit*>()->toPlainText().contains("<p>code</p>"));
            delete viewer;
        }
        QCOMPARE(viewer == nullptr, editorRuns);
        QCOMPARE(args, editorRuns ? QFile::encodeName(page) + "\n" : QByteArray());
    }

    // The flag goes only with the manual shown; otherwise the user learns where the manual is,
    // and the next start tries again.
    void firstRunFlag_data() {
        QTest::addColumn<bool>("opens");
        QTest::newRow("browser starts") << true;
        QTest::newRow("browser fails") << false;
    }
    void firstRunFlag() {
        QFETCH(bool, opens);
        const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_');
        UseFreshFolders(tag);
        const std::string manual = Path(tag + "/data/help/index.html").toStdString();
        CShootingDriver driver(QStringLiteral("first-run-") + tag);
        std::vector<std::string> opened;
        for (int start = 0; start < 2; ++start) {
            const std::size_t before = opened.size();
            CMainDlg w(std::make_unique<CScriptedDesktop>(opened, opens));
            w.show();
            // The manual opens on the first start, and on every start until it could be opened;
            // a start that must not open it is given the moment the others took.
            if (start == 0 || !opens)
                QTRY_COMPARE_WITH_TIMEOUT(opened.size(), before + 1, 20000);
            else
                QTest::qWait(100);
            if (!opens) QTRY_COMPARE_WITH_TIMEOUT(driver.messages.size(), qsizetype(start + 1), 20000);
        }
        CSettingsStore store(qEnvironmentVariable("TONVELA_CONFIG_DIR").toStdString());
        store.Load();
        if (opens) {
            QCOMPARE(opened, std::vector<std::string>{manual});
            QCOMPARE(store.GetDword(kOptionsKey, "FirstRun").value_or(1), 0u);
            QVERIFY(driver.messages.isEmpty());
        } else {
            QCOMPARE(opened, (std::vector<std::string>{manual, manual}));
            QVERIFY(store.GetDword(kOptionsKey, "FirstRun").value_or(1) != 0);
            QCOMPARE(driver.messages.size(), 2);
            QVERIFY2(driver.messages[0].contains(QString::fromStdString(manual)), qPrintable(driver.messages[0]));
        }
    }

    // F1 without a browser that can open the manual says so, and offers our viewer or the
    // path; the help menu names only what its items do.
    void manualWithoutBrowser_data() {
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("answer");  // the offer's button to press
        QTest::newRow("browser starts") << true << QString();
        QTest::newRow("read here") << false << QStringLiteral("readHere");
        QTest::newRow("copy path") << false << QStringLiteral("copyPath");
        QTest::newRow("close") << false << QString();
    }
    void manualWithoutBrowser() {
        QFETCH(bool, opens);
        QFETCH(QString, answer);
        const QString tag = QStringLiteral("manual_") + QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_');
        UseFreshFolders(tag);
        WriteFile(Path(tag + "/data/help/index.html"),
                  "<html><body><h1>Tonvela manual</h1><p>Start here.</p></body></html>");
        {
            CSettingsStore store(qEnvironmentVariable("TONVELA_CONFIG_DIR").toStdString());
            store.SetDword(kOptionsKey, "FirstRun", 0);
            QVERIFY(store.Save());
        }
        const std::string manual = Path(tag + "/data/help/index.html").toStdString();
        QGuiApplication::clipboard()->clear();
        std::vector<std::string> opened;
        CMainDlg w(std::make_unique<CScriptedDesktop>(opened, opens));
        w.show();
        QStringList texts;
        for (QAction* a : w.HelpMenu()->actions())
            if (!a->isSeparator()) texts << a->text();
        QCOMPARE(texts, (QStringList{"&Help Topics\tF1", "&Tell A Friend", "&Feedback and Support", "&About..."}));

        QString offered;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            poll.stop();
            offered = box->text();
            box->grab().save(ScreenshotDir() + QStringLiteral("/manual-offer.png"));
            auto* button = answer.isEmpty() ? box->button(QMessageBox::Close)
                                            : box->findChild<QAbstractButton*>(answer);
            QVERIFY(button);
            button->click();
        });
        poll.start(10);
        w.OnHelpTopics();
        QCOMPARE(opened, std::vector<std::string>{manual});
        if (opens) {
            QVERIFY(offered.isEmpty());
            return;
        }
        QVERIFY2(offered.contains("No web browser") && offered.contains(QString::fromStdString(manual)),
                 qPrintable(offered));
        QWidget* viewer = nullptr;
        for (QWidget* t : QApplication::topLevelWidgets())
            if (t->objectName() == QLatin1String("manualViewer") && t->isVisible()) viewer = t;
        QCOMPARE(viewer != nullptr, answer == "readHere");
        QCOMPARE(QGuiApplication::clipboard()->text(), answer == "copyPath" ? QString::fromStdString(manual) : QString());
        if (viewer) {
            auto* text = viewer->findChild<QTextBrowser*>(QStringLiteral("manualText"));
            QVERIFY(text);
            QVERIFY2(text->toPlainText().contains("Start here."), qPrintable(text->toPlainText()));
            viewer->grab().save(ScreenshotDir() + QStringLiteral("/manual-viewer.png"));
            viewer->close();
        }
    }

    // "Open with" and a terminal pass names as bytes: one that is not valid UTF-8 (Latin-1
    // here) is taken as it is, and its file is added, as Add Folder adds it.
    void commandLinePaths_data() {
        QTest::addColumn<QByteArrayList>("argv");  // after the program's name
        QTest::addColumn<QByteArrayList>("paths");
        QTest::newRow("plain") << QByteArrayList{"a.wav", "dir"} << QByteArrayList{"a.wav", "dir"};
        QTest::newRow("latin-1 bytes") << QByteArrayList{"m\xfasica \xe9t\xe9.wav"}
                                       << QByteArrayList{"m\xfasica \xe9t\xe9.wav"};
        QTest::newRow("options left out") << QByteArrayList{"-v", "x.wav", "--help", "-"}
                                          << QByteArrayList{"x.wav", "-"};
        QTest::newRow("after --") << QByteArrayList{"a.wav", "--", "-b.wav", "--"}
                                  << QByteArrayList{"a.wav", "-b.wav", "--"};
        QTest::newRow("none") << QByteArrayList{} << QByteArrayList{};
    }
    void commandLinePaths() {
        QFETCH(QByteArrayList, argv);
        QFETCH(QByteArrayList, paths);
        std::vector<const char*> args{"tonvela"};
        for (const QByteArray& a : argv) args.push_back(a.constData());
        std::vector<std::string> expected;
        for (const QByteArray& p : paths) expected.push_back(p.toStdString());
        QCOMPARE(CommandLinePaths(int(args.size()), args.data()), expected);
    }
    void latin1NameFromTheCommandLine() {
        if (QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty()) QSKIP("sox is not installed");
        UseFreshFolders(QStringLiteral("latin1"));
        const std::string name = Path("latin1").toStdString() + "/m\xfasica \xe9t\xe9.wav";
        QCOMPARE(QProcess::execute("sox", {"-n", "-r", "22050", "-c", "1", "-b", "16", Path("latin1/tone.wav"), "synth",
                                          "0.5", "sine", "440"}),
                 0);
        std::error_code ec;
        std::filesystem::rename(Path("latin1/tone.wav").toStdString(), name, ec);
        QVERIFY2(!ec && std::filesystem::exists(name), ec.message().c_str());
        std::vector<std::string> opened;
        CMainDlg w(std::make_unique<CScriptedDesktop>(opened, true));
        w.show();
        const char* args[] = {"tonvela", name.c_str()};
        CModalDriver driver;  // a refusal would be a message
        w.AddCommandLinePaths(CommandLinePaths(2, args));
        QTRY_COMPARE_WITH_TIMEOUT(w.Model().rowCount(), 1, 20000);
        QCOMPARE(w.Model().Entry(0).path, name);
        QVERIFY2(driver.messages.isEmpty(), qPrintable(driver.messages.join('\n')));
    }

    // A store that cannot be written: the first-run flag, the options sheet's OK, the folders
    // of Add Folder (said once, however often it is used) and the recorder's quality each say
    // so in one message, and go on.
    void failedSettingsSave() {
        UseFreshFolders(QStringLiteral("readonly"), false);
        CShootingDriver driver(QStringLiteral("settings-not-saved"));
        std::vector<std::string> opened;
        {
            const QString empty = Path(QStringLiteral("readonly/empty"));
            QVERIFY(QDir().mkpath(empty));
            CMainDlg w(std::make_unique<CScriptedDesktop>(opened, true, empty));
            w.show();
            QTRY_COMPARE_WITH_TIMEOUT(driver.messages.size(), 1, 20000);
            QTest::qWait(100);
            QCOMPARE(driver.messages.size(), 1);
            QVERIFY2(driver.messages[0].contains("could not note") && driver.messages[0].contains("blocker"),
                     qPrintable(driver.messages[0]));
            QCOMPARE(opened.size(), 1u);
            w.OnAddFolder();
            w.OnAddFolder();
            QCOMPARE(driver.messages.size(), 2);
            QVERIFY2(driver.messages[1].startsWith("The folders of Add Files and Add Folder could not be saved: "),
                     qPrintable(driver.messages[1]));
        }

        // Options: one change, OK.
        driver.messages.clear();
        HideWebPlayer();
        CConvertOptions settings(DataDir());
        CSettingsStore store(qEnvironmentVariable("TONVELA_CONFIG_DIR").toStdString());
        int lastPage = 0;
        driver.onDialog = [](QWidget* sheet) {
            sheet->findChild<QCheckBox*>(QStringLiteral("browseOutFolder"))->click();
            sheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        };
        const int browse = settings.BrowseOutFolder;
        QVERIFY(RunOptionsSheet(settings, store, lastPage, nullptr));
        QCOMPARE(driver.messages.size(), 1);
        QVERIFY2(driver.messages[0].startsWith("Your options could not be saved: "), qPrintable(driver.messages[0]));
        QVERIFY(settings.BrowseOutFolder != browse);  // kept for this session

        // The recorder, closed with Cancel.
        driver.messages.clear();
        driver.onDialog = nullptr;
        {
            CRecordDlg dlg;
            dlg.show();
            dlg.reject();
        }
        QCOMPARE(driver.messages.size(), 1);
        QVERIFY2(driver.messages[0].startsWith("The recording quality and input could not be saved: "),
                 qPrintable(driver.messages[0]));
    }
};

QTEST_MAIN(DesktopHabitsTest)
#include "DesktopHabitsTest.moc"
