// Helpers of the window tests: a desktop that only records what it was asked, a catcher of
// message boxes, sound files made by sox, and screenshots.
#pragma once

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QMessageBox>
#include <QMutex>
#include <QPixmap>
#include <QProcess>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "ui/DesktopServices.h"

namespace tonvela::test {

// Records every request instead of starting programs or dialogs; the choosers answer with what
// the test put in.
class CFakeDesktop : public CDesktopServices {
public:
    struct Log {
        QMutex mutex;  // ShowItem runs on the batch's thread
        std::vector<std::string> opened, shown, viewed;
        QStringList files;
        QString folder;
        QString filesStart;  // where the last Add Files dialog was asked to start
    };
    explicit CFakeDesktop(Log& log) : log_(log) {}
    bool OpenDocument(const std::string& path) override {
        QMutexLocker lock(&log_.mutex);
        log_.opened.push_back(path);
        return true;
    }
    bool ShowItem(const std::string& path) override {
        QMutexLocker lock(&log_.mutex);
        log_.shown.push_back(path);
        return true;
    }
    void ViewText(const std::string& path, QWidget*) override {
        QMutexLocker lock(&log_.mutex);
        log_.viewed.push_back(path);
    }
    QStringList ChooseFiles(QWidget*, const QString& start) override {
        log_.filesStart = start;
        return log_.files;
    }
    QString ChooseFolder(QWidget*, const QString&) override { return log_.folder; }

private:
    Log& log_;
};

// Answers every message box that opens while it lives, keeping its text and icon.
class CMessageCatcher {
public:
    struct Message {
        QString text;
        QMessageBox::Icon icon;
    };
    CMessageCatcher() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (!box || !box->isVisible() || box->property("caught").toBool()) continue;
                box->setProperty("caught", true);
                messages.push_back({box->text(), box->icon()});
                captions.push_back(box->windowTitle());
                box->done(QMessageBox::Ok);
            }
        });
        timer_.start();
    }
    std::vector<Message> messages;
    QStringList captions;

private:
    QTimer timer_;
};

// Runs sox with args; QFAIL-style result for QVERIFY.
inline bool Sox(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("sox"), args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A sine tone: seconds long, at rate Hz with channels, bits per sample.
inline bool MakeTone(const QString& path, double seconds, int rate = 22050, int channels = 1, int bits = 16) {
    return Sox({QStringLiteral("-n"), QStringLiteral("-r"), QString::number(rate), QStringLiteral("-c"),
                QString::number(channels), QStringLiteral("-b"), QString::number(bits), path,
                QStringLiteral("synth"), QString::number(seconds), QStringLiteral("sine"), QStringLiteral("440")});
}

// What a screen reader finds wrong in a window: each shown control that the keyboard reaches, or
// that is a control by its role, without a name; each one the keyboard reaches without a
// control's role. Rows, cells and headers are data and not counted. Empty when all is well;
// *controls counts the controls looked at.
inline QStringList AccessibilityFaults(QWidget* window, int* controls) {
    using R = QAccessible::Role;
    static const QSet<R> kItems{R::ListItem, R::Cell, R::TreeItem, R::ColumnHeader, R::RowHeader, R::Row, R::ScrollBar};
    static const QSet<R> kControls{R::Button, R::CheckBox, R::RadioButton, R::ComboBox, R::EditableText, R::Slider,
                                   R::SpinBox, R::PageTab, R::Link, R::List, R::Tree, R::Table, R::ProgressBar};
    static const QSet<R> kVague{R::Client, R::Pane, R::NoRole, R::Grouping, R::Window};
    QStringList faults;
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        for (int c = 0; c < node->childCount(); ++c) {
            QAccessibleInterface* child = node->child(c);
            if (!child || child->state().invisible || kItems.contains(child->role())) continue;
            const bool focusable = child->state().focusable;
            if (focusable || kControls.contains(child->role())) {
                ++*controls;
                QObject* o = child->object();
                const QString what = QStringLiteral("%1 %2 (role %3)")
                                         .arg(o ? QString::fromLatin1(o->metaObject()->className()) : QString(),
                                              o ? o->objectName() : QString())
                                         .arg(int(child->role()));
                const QString name = child->text(QAccessible::Name).trimmed();
                if (name.isEmpty()) faults << what + QStringLiteral(" has no name");
                // Without a name of its own the toolkit gives a control its group's title.
                auto* widget = qobject_cast<QWidget*>(o);
                for (QWidget* p = widget ? widget->parentWidget() : nullptr; p; p = p->parentWidget())
                    if (auto* group = qobject_cast<QGroupBox*>(p)) {
                        if (!name.isEmpty() && name == QString(group->title()).remove(QLatin1Char('&')))
                            faults << what + QStringLiteral(" is named only by its group");
                        break;
                    }
                if (focusable && kVague.contains(child->role())) faults << what + QStringLiteral(" is no control by its role");
            }
            walk(child);
        }
    };
    if (QAccessibleInterface* root = QAccessible::queryAccessibleInterface(window)) walk(root);
    return faults;
}

inline QString ScreenshotDir() {
    const QString dir = QStringLiteral(TONVELA_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    return dir;
}

inline bool SaveShot(const QPixmap& pm, const QString& name) {
    return !pm.isNull() && pm.save(ScreenshotDir() + QLatin1Char('/') + name);
}

}  // namespace tonvela::test
