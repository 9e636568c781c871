// What the main window asks of the desktop: opening documents, showing files in the file
// manager, viewing text, and the file and folder choosers. The window holds one; tests give it
// their own to see what was asked without starting programs or dialogs.
#pragma once

#include <QString>
#include <QStringList>
#include <string>

class QWidget;

namespace tonvela {

class CDesktopServices {
public:
    virtual ~CDesktopServices() = default;

    // The document's default handler (ShellOpen): players, browsers, the manual.
    virtual bool OpenDocument(const std::string& path);
    // The file manager with path selected (ShowItems). May be called from the batch's thread.
    virtual bool ShowItem(const std::string& path);
    // The desktop's text/plain handler for path; without one, or when it runs in a terminal or
    // fails at once, a read-only viewer of ours.
    virtual void ViewText(const std::string& path, QWidget* parent);
    // The open-file dialog with multiple selection and the filter list, starting at folder
    // (when it exists); empty when cancelled.
    virtual QStringList ChooseFiles(QWidget* parent, const QString& folder);
    // The folder dialog, starting at folder; empty when cancelled.
    virtual QString ChooseFolder(QWidget* parent, const QString& folder);
};

// The open-file dialog's filters in Qt's form ("Label (*.a *.b)"), in the table's order.
QStringList OpenFileFilterList();

}  // namespace tonvela
