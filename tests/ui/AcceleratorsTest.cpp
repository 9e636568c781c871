// Every window and menu the program makes gives each of its accelerators (the underlined letter,
// Alt+letter) to one item only: with two, the key only moves between them and never acts. The
// items counted are those a user sees, enabled or not: buttons, check and radio boxes, labels
// with a buddy, group box titles, tabs and menu items.
#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include "OptionsTestSupport.h"
#include "convert/ConvertOptions.h"
#include "ui/ConvertProgressDlg.h"
#include "ui/FailedFilesDlg.h"
#include "ui/MainDlg.h"
#include "ui/ProgressDlg.h"
#include "ui/RecordDlg.h"
#include "ui/SheetOptions.h"

using namespace tonvela;
using namespace tonvela::test;

namespace {

// The accelerator of a text ("Add &Folder" -> 'F'; "&&" is a plain ampersand), or a null char.
QChar Accelerator(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) continue;
        if (text[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return text[i + 1].toUpper();
    }
    return {};
}

// The texts that carry accelerators in one window (or menu) as the user sees it now.
QStringList ItemTexts(QWidget* window) {
    QStringList texts;
    if (auto* menu = qobject_cast<QMenu*>(window)) {
        for (QAction* a : menu->actions())
            if (a->isVisible() && !a->isSeparator()) texts << a->text();
        return texts;
    }
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->window() != window || !w->isVisibleTo(window)) continue;
        if (auto* b = qobject_cast<QAbstractButton*>(w)) texts << b->text();
        else if (auto* l = qobject_cast<QLabel*>(w); l && l->buddy()) texts << l->text();
        else if (auto* g = qobject_cast<QGroupBox*>(w)) texts << g->title();
        else if (auto* t = qobject_cast<QTabBar*>(w))
            for (int i = 0; i < t->count(); ++i)
                if (t->isTabVisible(i)) texts << t->tabText(i);
    }
    return texts;
}

// "F: Add &Folder | Browse &Folder" for each letter given twice; empty when all are distinct.
// Counts the accelerators seen into *found.
QStringList Clashes(QWidget* window, int* found) {
    QMap<QChar, QStringList> byKey;
    for (const QString& t : ItemTexts(window))
        if (const QChar key = Accelerator(t); !key.isNull()) byKey[key] << t;
    QStringList clashes;
    for (auto it = byKey.cbegin(); it != byKey.cend(); ++it) {
        *found += int(it.value().size());
        if (it.value().size() > 1) clashes << QStringLiteral("%1: %2").arg(it.key()).arg(it.value().join(" | "));
    }
    return clashes;
}

}  // namespace

class AcceleratorsTest : public QObject {
    Q_OBJECT

    QTemporaryDir root_;
    QStringList clashes_;
    QMap<QString, int> found_;  // accelerators seen per window, so the walk is known to have looked

    void Walk(QWidget* window, const QString& name) {
        int found = 0;
        for (const QString& c : Clashes(window, &found)) clashes_ << name + QStringLiteral(": ") + c;
        found_[name] = std::max(found_.value(name), found);
        // A picture of what was walked, to look at: <build>/screenshots/keys-<window>[-200].png.
        if (qobject_cast<QMenu*>(window)) window->resize(window->sizeHint());
        const qreal scale = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble();
        QString file = name;
        file.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("-"));
        window->grab().save(ScreenshotDir() + QStringLiteral("/keys-%1%2.png").arg(file).arg(
                                scale == 1.0 ? QString() : QStringLiteral("-%1").arg(qRound(scale * 100))));
    }

private slots:
    void initTestCase() {
        QVERIFY(root_.isValid());
        qputenv("HOME", QFile::encodeName(root_.filePath("home")));
        qputenv("TONVELA_CONFIG_DIR", QFile::encodeName(root_.filePath("config")));
        QDir().mkpath(root_.filePath("run"));
        QFile conf(root_.filePath("client.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("autospawn = no\n");
        conf.close();
        qputenv("PULSE_CLIENTCONFIG", QFile::encodeName(conf.fileName()));
        qputenv("PULSE_SERVER", QFile::encodeName(root_.filePath("run/no-such-socket")));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root_.filePath("run")));
    }

    void everyWindowHasDistinctAccelerators() {
        CModalDriver driver;  // answers whatever a window reports on opening
        CMainDlg main;
        main.show();
        CRecordDlg recorder(&main);
        recorder.show();
        CProgressDlg adding(&main);
        adding.Open();
        CConvertProgressDlg converting(&main, 2);
        converting.Open();
        CFailedFilesDlg failed({{0, "/music/a.wav", "Conversion Failure"}}, 2, &main);
        failed.show();
        HideWebPlayer();
        CConvertOptions settings(DataDir());
        CSheetOptions sheet(settings, CSheetOptions::kSwfPage, &main, CFakePlayerFactory().Get());
        sheet.show();

        // Every window the program has made so far, menus included.
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w == &sheet || (!w->isVisible() && !qobject_cast<QMenu*>(w))) continue;
            QString name = w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
            Walk(w, name);
        }
        // The sheet page by page, the SWF page for each kind of movie (each shows other rows).
        auto* tabs = sheet.findChild<QTabWidget*>();
        for (int page = 0; page < tabs->count(); ++page) {
            tabs->setCurrentIndex(page);
            QTRY_COMPARE(tabs->currentIndex(), page);
            Walk(&sheet, QStringLiteral("options page %1").arg(page));
        }
        tabs->setCurrentIndex(CSheetOptions::kSwfPage);
        for (const char* kind : {"withControls", "singleSwf", "shellPlayer", "withoutControls"}) {
            auto* radio = sheet.findChild<QRadioButton*>(QString::fromLatin1(kind));
            QVERIFY(radio);
            radio->click();
            Walk(&sheet, QStringLiteral("options page 0, %1").arg(QString::fromLatin1(kind)));
        }

        QVERIFY2(clashes_.isEmpty(), qPrintable(clashes_.join('\n')));
        // The walk saw the windows it is meant to: each holds several accelerators (the help
        // menu its four items).
        for (const char* name : {"mainWindow", "listMenu", "helpMenu", "tonvela::CRecordDlg", "options page 0",
                                 "options page 1", "options page 2"})
            QVERIFY2(found_.value(QString::fromLatin1(name)) >= (QLatin1String(name) == "helpMenu" ? 4 : 5), name);
        QVERIFY(found_.value(QStringLiteral("failedFiles")) >= 2);

        // The menu's Add Folder is the button's, and says that it asks for more.
        const QString button = main.findChild<QAbstractButton*>(QStringLiteral("addFolderButton"))->text();
        const QString item = main.ListMenu()->findChild<QAction*>(QStringLiteral("addFolder"))->text();
        QCOMPARE(Accelerator(item), Accelerator(button));
        QVERIFY2(item.endsWith(QStringLiteral("...")), qPrintable(item));
    }
};

QTEST_MAIN(AcceleratorsTest)
#include "AcceleratorsTest.moc"
