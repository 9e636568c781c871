// The desktop program: starts the decoding libraries, then runs the main window; files named
// on the command line (as "Open with" passes them) are added to the list.
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

#include "audio/DecoderStartup.h"
#include "ui/MainDlg.h"
#include "ui/MessageBox.h"
#include "ui/PreviewFolder.h"
#include "ui/Skin.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tonvela"));
    QApplication::setApplicationVersion(QStringLiteral(TONVELA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("tonvela"));

    // The libraries are released when the session goes, after the window.
    const tonvela::CDecoderSession decoder;
    if (decoder.result() == tonvela::DecoderStartResult::WrongVersion) return 1;
    if (decoder.result() == tonvela::DecoderStartResult::InitFailed) {
        tonvela::ShowMessageBox(nullptr, QString::fromUtf8(tonvela::kDecoderInitFailedText),
                                tonvela::MessageIcon::Stop);
        return 1;
    }

    tonvela::ApplySkin(app);
    // Preview movies of an options sheet that a crash or a kill left behind.
    tonvela::CPreviewFolder::RemoveStale();
    int status = 0;
    {
        tonvela::CMainDlg window;
        window.show();
        const QStringList files = QApplication::arguments().mid(1);
        if (!files.isEmpty()) QTimer::singleShot(0, &window, [&window, files] { window.AddCommandLinePaths(files); });
        status = QApplication::exec();
    }
    return status;
}
