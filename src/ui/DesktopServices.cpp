#include "ui/DesktopServices.h"

#include <QFileDialog>
#include <QFileInfo>

#include "convert/SupportedExtensions.h"
#include "platform/Process.h"
#include "platform/ShellOpen.h"
#include "platform/ShowItems.h"
#include "ui/TextViewerDlg.h"

namespace tonvela {

namespace {

// How long an editor has to fail before we count it as started. Editors that hand the file to
// a running instance end at once with success.
constexpr int kEditorStartWaitMs = 800;

}  // namespace

bool CDesktopServices::OpenDocument(const std::string& path) { return ShellOpen(path); }

bool CDesktopServices::ShowItem(const std::string& path) { return ShowItems(path); }

void CDesktopServices::ViewText(const std::string& path, QWidget* parent) {
    // A terminal editor (Debian's vim) started without a terminal shows nothing, and an editor
    // that ends at once with a failure showed nothing either: our own viewer then.
    if (auto handler = DefaultHandler("text/plain"); handler && !handler->terminal) {
        // A name starting with "-" would read as an option of the editor.
        const std::string arg = !path.empty() && path[0] == '-' ? "./" + path : path;
        std::vector<std::string> argv = HandlerCommand(handler->exec, arg);
        if (!argv.empty()) {
            const int rc = RunProgramWithin(argv, kEditorStartWaitMs);
            if (rc == 0 || rc == kStillRunning) return;
        }
    }
    ShowTextViewer(path, parent);
}

QStringList OpenFileFilterList() {
    QStringList filters;
    for (const FileFilter& f : kOpenFileFilters) {
        // Qt reads space-separated patterns from the last parentheses; the dialog hides them,
        // so the user sees the table's label as it is.
        QString patterns = QString::fromUtf8(f.patterns);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << QString::fromUtf8(f.label) + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters;
}

QStringList CDesktopServices::ChooseFiles(QWidget* parent, const QString& folder) {
    const QStringList filters = OpenFileFilterList();
    QFileDialog dlg(parent);
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) dlg.setDirectory(folder);
    dlg.setFileMode(QFileDialog::ExistingFiles);
    dlg.setOption(QFileDialog::HideNameFilterDetails);
    dlg.setNameFilters(filters);
    dlg.selectNameFilter(filters.value(0));
    if (dlg.exec() != QDialog::Accepted) return {};
    return dlg.selectedFiles();
}

QString CDesktopServices::ChooseFolder(QWidget* parent, const QString& folder) {
    QString start = folder;
    while (start.size() > 1 && start.endsWith(QLatin1Char('/'))) start.chop(1);
    return QFileDialog::getExistingDirectory(parent, QStringLiteral("Choose a Folder"), start);
}

}  // namespace tonvela
