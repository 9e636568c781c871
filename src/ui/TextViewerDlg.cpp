#include "ui/TextViewerDlg.h"

#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "platform/OpenRegularFile.h"
#include "ui/ScreenFit.h"

namespace tonvela {

void ShowTextViewer(const std::string& path, QWidget* parent) {
    const QString name = QString::fromStdString(path);
    QString text;
    std::string why;
    CUniqueFd fd = OpenRegularFile(path, &why);
    QFile file;
    if (fd.IsOpen() && file.open(fd.Get(), QIODevice::ReadOnly))
        text = QString::fromUtf8(file.read(kMaxViewedBytes));
    else
        text = QStringLiteral("The file cannot be read: ") +
               (fd.IsOpen() ? file.errorString() : QString::fromStdString(why));

    auto* dlg = new QDialog(parent);
    dlg->setObjectName(QStringLiteral("textViewer"));
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setWindowTitle(QFileInfo(name).fileName() + QStringLiteral(" - Tonvela"));
    auto* edit = new QPlainTextEdit(dlg);
    edit->setReadOnly(true);
    edit->setAccessibleName(QFileInfo(name).fileName());
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    edit->setPlainText(text);
    auto* layout = new QVBoxLayout(dlg);
    layout->addWidget(edit);
    dlg->resize(720, 520);
    FitToScreen(dlg);
    dlg->show();
}

}  // namespace tonvela
