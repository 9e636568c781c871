// The main window's other commands: opening a row's files, the recorder, the options, help.
#include <QMessageBox>

#include "convert/FileListEntry.h"
#include "ui/DesktopServices.h"
#include "ui/FileListModel.h"
#include "ui/MainDlg.h"
#include "ui/MainDlgShared.h"
#include "ui/MessageBox.h"
#include "ui/PlaySwfDlg.h"
#include "ui/RecordDlg.h"
#include "ui/SheetOptions.h"
#include "ui/Skin.h"
#include "ui/SortListCtrl.h"
#include "ui/WaitCursor.h"

namespace tonvela {

using namespace main_dlg;

void CMainDlg::OnPlay() {
    OpenSelected(&CFileListEntry::path, false, [this](const std::string& p) { desktop_->OpenDocument(p); });
}

void CMainDlg::OnBrowseFolder() {
    OpenSelected(&CFileListEntry::path, true, [this](const std::string& p) { desktop_->ShowItem(p); });
}

void CMainDlg::OnPlaySwf() {
    if (busy_) return;
    const CFileListEntry* e = FirstSelected();
    if (!e || e->swfPath.empty()) return;
    PlaySwf(*e, settings_, this);
}

void CMainDlg::OnBrowseSwfFolder() {
    OpenSelected(&CFileListEntry::swfPath, true, [this](const std::string& p) { desktop_->ShowItem(p); });
}

void CMainDlg::OnOpenHtml() {
    OpenSelected(&CFileListEntry::htmlPath, false, [this](const std::string& p) { desktop_->OpenDocument(p); });
}

void CMainDlg::OnViewHtml() {
    OpenSelected(&CFileListEntry::htmlPath, false, [this](const std::string& p) { desktop_->ViewText(p, this); });
}

void CMainDlg::OpenSelected(std::string CFileListEntry::*which, bool mustExist,
                            const std::function<void(const std::string&)>& open) {
    if (busy_) return;
    const CFileListEntry* e = FirstSelected();
    if (!e) return;
    const std::string& path = e->*which;
    if (mustExist ? !FileExists(path) : path.empty()) return;
    CWaitCursor wait;
    open(path);
}

void CMainDlg::OnRecord() {
    if (busy_) return;
    CRecordDlg dlg(this);
    if (dlg.exec() != QDialog::Accepted || dlg.SavedPath().empty()) return;
    int row = model_->AddFileEntry(dlg.SavedPath());
    if (row == CFileListModel::kFailed) {
        CAddFailures failure;
        failure.Add(dlg.SavedPath());
        ShowAddFailures(failure);
        return;
    }
    // A recording saved over a listed file converts that row.
    if (row == CFileListModel::kDuplicate) row = model_->RowOf(dlg.SavedPath());
    if (row < 0) return;
    list_->SelectOnly(row);
    list_->setFocus();
    OnConvertSelected();
}

void CMainDlg::OnOptions() {
    if (busy_) return;
    RunOptionsSheet(settings_, store_, lastOptionsPage_, this);
}

void CMainDlg::OnHelpTopics() {
    if (busy_) return;
    OpenHelpPage(kHelpIndex);
}

void CMainDlg::OnAbout() {
    if (busy_) return;
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("About Tonvela"),
                    QStringLiteral("<b>Tonvela</b> %1<br><br>Turns audio files into SWF movies for web pages.<br><br>"
                                   "Free software under the GNU General Public License, version 3 or later; "
                                   "it comes with NO WARRANTY.<br><br>"
                                   "Built on the work of others, each under its own licence: LAME encodes the MP3 "
                                   "sound, FFmpeg and libopenmpt read the audio files, Ruffle plays the movies in "
                                   "the preview and the web page, and Qt draws the windows.")
                        .arg(QCoreApplication::applicationVersion()),
                    QMessageBox::Ok, this);
    box.setIconPixmap(SkinIcon(SkinGlyph::Logo).pixmap(48, 48));
    box.exec();
}

}  // namespace tonvela
