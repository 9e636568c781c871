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
#include "ui/CommandLinePaths.h"
#include "ui/MainDlg.h"
#include "ui/MessageBox.h"
#include "ui/PreviewFolder.h"
#include "ui/ShockwaveFlash.h"
#include "ui/Skin.h"

namespace {

// The options of the command line; both passes below describe them alike.
struct CommandLine {
    QCommandLineParser parser;
    QCommandLineOption help;
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Displays version information.")};
    CommandLine() : help(parser.addHelpOption()) {
        parser.setApplicationDescription(QStringLiteral("Turns audio files into SWF movies for web pages."));
        // Our own --version, so it can carry the licence line.
        parser.addOption(version);
        parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Audio files or folders to add to the list."),
                                     QStringLiteral("[FILE...]"));
    }
};

void PrintVersion() {
    std::fputs("Tonvela " TONVELA_VERSION "\n"
               "Licence GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>; NO WARRANTY.\n",
               stdout);
}

void NameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Tonvela"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TONVELA_VERSION));
}

// --help and --version answer before any window system is asked for, so they work on a console,
// over ssh and in scripts. Single-dash words are read whole here, so that the toolkit's own
// options (-platform, -reverse...) are not taken for -p or -v.
bool AnsweredWithoutWindows(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    CommandLine line;
    line.parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    line.parser.parse(args);  // errors are for the full parse below, which knows the toolkit's options
    if (line.parser.isSet(line.version)) {
        PrintVersion();
        return true;
    }
    if (!line.parser.isSet(line.help)) return false;
    const QCoreApplication app(argc, argv);  // the usage line names the program
    NameApplication();
    std::fputs(line.parser.helpText().toLocal8Bit().constData(), stdout);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (AnsweredWithoutWindows(argc, argv)) return 0;
    // The preview's web engine cannot sandbox its helpers as root; without this it stays blank.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    NameApplication();
    QApplication::setDesktopFileName(QStringLiteral("tonvela"));

    CommandLine line;
    QCommandLineParser& parser = line.parser;
    parser.process(app);
    if (parser.isSet(line.version)) {
        PrintVersion();
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
        // The preview's player waits in the main window once the user shows a preview is coming.
        tonvela::CShockwaveFlash::SetHome(&window);
        // Taken from argv as bytes: the parser's strings would turn a name that is not valid
        // UTF-8 into another name. The toolkit has taken its own options out of argv by now.
        const std::vector<std::string> files = tonvela::CommandLinePaths(argc, argv);
        if (!files.empty()) QTimer::singleShot(0, &window, [&window, files] { window.AddCommandLinePaths(files); });
        status = QApplication::exec();
    }
    return status;
}
