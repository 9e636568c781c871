// Helpers of the recorder window's tests: answers to the modal windows the recorder opens; the
// recorder's controls by name.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

#include "RecorderTestUtil.h"
#include "ui/RecordDlg.h"

namespace tonvela::test {

// The answerers below poll for the window they answer and write into the caller's variables: a
// test that fails before its window came must cancel them (CancelAnswers, in cleanup()).
inline QTimer* NewAnswerer() {
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setObjectName(QStringLiteral("answerer"));
    return timer;
}

inline void CancelAnswers() {
    for (QTimer* t : QCoreApplication::instance()->findChildren<QTimer*>(QStringLiteral("answerer"), Qt::FindDirectChildrenOnly))
        delete t;
}

// Calls act once with the first visible top-level window of type W that opens from now on.
template <class W>
void WhenShown(std::function<void(W*)> act) {
    auto* timer = NewAnswerer();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* win = qobject_cast<W*>(w);
            if (win == nullptr || !win->isVisible() || win->property("answered").toBool()) continue;
            win->setProperty("answered", true);
            timer->stop();
            timer->deleteLater();
            act(win);
            return;
        }
    });
    timer->start();
}

// The next message box: its text goes into *text, then it is answered with button.
inline void AnswerMessage(QString* text, QMessageBox::StandardButton button = QMessageBox::Ok) {
    WhenShown<QMessageBox>([text, button](QMessageBox* box) {
        *text = box->text();
        box->done(button);
    });
}

// The next save dialog: chooses path, or cancels when path is empty. The answer is repeated
// until that dialog closes: the dialog may still be reading its folder when it first shows.
// offered (when given) receives the folder and the name the dialog first offered.
inline void AnswerSaveDialog(const QString& path, QStringList* offered = nullptr) {
    auto* timer = NewAnswerer();
    timer->setInterval(100);
    auto mine = std::make_shared<QPointer<QFileDialog>>();
    auto found = std::make_shared<bool>(false);
    QObject::connect(timer, &QTimer::timeout, [timer, path, mine, found, offered] {
        if (*found && (mine->isNull() || !(*mine)->isVisible())) {
            timer->stop();
            timer->deleteLater();
            return;
        }
        if (!*found) {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QFileDialog*>(w);
                if (dialog != nullptr && dialog->isVisible() && !dialog->property("answered").toBool()) *mine = dialog;
            }
            if (mine->isNull()) return;
            (*mine)->setProperty("answered", true);
            *found = true;
            if (offered) {
                const auto* edit = (*mine)->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                *offered = {(*mine)->directory().absolutePath(), edit ? edit->text() : QString()};
            }
        }
        QFileDialog* dialog = mine->data();
        if (path.isEmpty()) {
            dialog->reject();
        } else {
            // Typed into the name field: selectFile leaves a focused field as it is.
            const QFileInfo info(path);
            dialog->setDirectory(info.absolutePath());
            if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) edit->setText(info.fileName());
            static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept: checks and takes the name
        }
    });
    timer->start();
}

inline QPushButton* Button(CRecordDlg& dlg, const char* name) {
    return dlg.findChild<QPushButton*>(QLatin1String(name));
}

inline QString StatusText(CRecordDlg& dlg) {
    return dlg.findChild<QLabel*>(QStringLiteral("status"))->text();
}

inline QComboBox* QualityBox(CRecordDlg& dlg) {
    return dlg.findChild<QComboBox*>(QStringLiteral("quality"));
}

// Which controls are enabled, in the order Record, Stop Rec, Play/Pause, Stop, quality, Save As,
// Convert to SWF, as a string of 0 and 1 (compact to compare against the enabling table).
inline QString EnabledControls(CRecordDlg& dlg) {
    QString s;
    for (const char* name : {"record", "stopRec", "playPause", "stop"})
        s += Button(dlg, name)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    s += QualityBox(dlg)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    for (const char* name : {"saveAs", "convert"})
        s += Button(dlg, name)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

}  // namespace tonvela::test
