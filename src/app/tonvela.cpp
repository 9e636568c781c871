// The desktop program: starts the decoding libraries, then runs the main window; files named
// on the command line (as "Open with" passes them) are added to the list.
#include <unistd.h>

#include <cstdio>

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

#include "audio/DecoderStartup.h"
#include "ui/MainDlg.h"
#include "ui/MessageBox.h"
#include "ui/PreviewFolder.h"
#include "ui/ShockwaveFlash.h"
#include "ui/Skin.h"

int main(int argc, char** argv) {
    // The preview's web engine cannot sandbox its helpers as root; without this it stays blank.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tonvela"));
    QApplication::setApplicationVersion(QStringLiteral(TONVELA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("tonvela"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Turns audio files into SWF movies for web pages."));
    parser.addHelpOption();
    // Our own --version, so it can carry the licence line.
    const QCommandLineOption versionOption({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Displays version information."));
    parser.addOption(versionOption);
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Audio files or folders to add to the list."),
                                 QStringLiteral("[FILE...]"));
    parser.process(app);
    if (parser.isSet(versionOption)) {
        std::fputs("Tonvela " TONVELA_VERSION "\n"
                   "Licence GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>; NO WARRANTY.\n",
                   stdout);
        return 0;
    }

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
        // The preview's player gets ready while the user has not asked for anything yet.
        tonvela::CShockwaveFlash::PrepareWhenIdle(&window);
        const QStringList files = parser.positionalArguments();
        if (!files.isEmpty()) QTimer::singleShot(0, &window, [&window, files] { window.AddCommandLinePaths(files); });
        status = QApplication::exec();
    }
    return status;
}
