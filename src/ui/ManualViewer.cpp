#include "ui/ManualViewer.h"

#include <QClipboard>
#include <QDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace tonvela {

void OfferManualViewer(const std::string& path, QWidget* parent) {
    const QString file = QString::fromStdString(path);
    QMessageBox box(QMessageBox::Information, QStringLiteral("Tonvela"),
                    QStringLiteral("No web browser could open the manual.\n\nYou can read it here in a simple "
                                   "viewer, or open it yourself later; it is at\n\n%1")
                        .arg(file),
                    QMessageBox::NoButton, parent);
    QPushButton* read = box.addButton(QStringLiteral("&Read Here"), QMessageBox::AcceptRole);
    read->setObjectName(QStringLiteral("readHere"));
    QPushButton* copy = box.addButton(QStringLiteral("&Copy Path"), QMessageBox::ActionRole);
    copy->setObjectName(QStringLiteral("copyPath"));
    box.addButton(QMessageBox::Close);
    box.setDefaultButton(read);
    box.setEscapeButton(QMessageBox::Close);
    box.exec();
    if (box.clickedButton() == read)
        ShowManualViewer(path, parent);
    else if (box.clickedButton() == copy)
        QGuiApplication::clipboard()->setText(file);
}

void ShowManualViewer(const std::string& path, QWidget* parent) {
    auto* dlg = new QDialog(parent);
    dlg->setObjectName(QStringLiteral("manualViewer"));
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setWindowTitle(QStringLiteral("Tonvela Manual"));
    auto* text = new QTextBrowser(dlg);
    text->setObjectName(QStringLiteral("manualText"));
    // Pages of the manual only: a link elsewhere is not followed from here.
    text->setOpenExternalLinks(false);
    text->setSource(QUrl::fromLocalFile(QFileInfo(QString::fromStdString(path)).absoluteFilePath()));
    auto* layout = new QVBoxLayout(dlg);
    layout->addWidget(text);
    // As large as a page reads well, within the screen at any scale.
    QSize size(760, 560);
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    dlg->resize(size);
    dlg->show();
}

}  // namespace tonvela
