// The main window: the file list, the command buttons, the menus. Its parts are in files of
// their own: MainDlgMenus (menus, shortcuts), MainDlgList (adding, drops, command-line paths,
// removing), MainDlgConvert (batches), MainDlgCommands (opening, recorder, options, help).
#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "convert/ConvertOptions.h"
#include "convert/FolderSearch.h"
#include "platform/SettingsStore.h"
#include "ui/DesktopServices.h"
#include "ui/FailedFilesDlg.h"

class QAction;
class QMenu;
class QPushButton;

namespace tonvela {

class CAddFailures;
class CBatchWorker;
class CConvertProgressDlg;
class CFileListModel;
class CProgressDlg;
class CSortListCtrl;
struct CFileListEntry;

class CMainDlg : public QWidget {
    Q_OBJECT
public:
    // The window's size at the first start; it can be resized down to the minimum (or the
    // screen's available area when that is smaller) and remembers its size and place.
    static constexpr int kWidth = 699;
    static constexpr int kHeight = 538;
    static constexpr int kMinWidth = 560;
    static constexpr int kMinHeight = 420;

    // Loads the settings from the user's store (CSettingsStore::DefaultFolder()) and, on the
    // first start, opens the manual. desktop does what the window asks of the desktop
    // (null: the real one).
    explicit CMainDlg(std::unique_ptr<CDesktopServices> desktop = nullptr, QWidget* parent = nullptr);
    ~CMainDlg() override;

    CConvertOptions& Settings() { return settings_; }
    CSortListCtrl& List() { return *list_; }
    CFileListModel& Model() { return *model_; }
    // True while an add operation or a batch runs: the window takes no commands then.
    bool IsBusy() const { return busy_; }
    // The progress window of the running batch (null when none shows).
    CConvertProgressDlg* ConvertProgress() const;
    CProgressDlg* AddProgress() const { return addProgress_; }
    // The summary of the last batch's failures while it is open (null otherwise).
    CFailedFilesDlg* FailedFiles() const;

    // Paths from the command line ("Open with"): folders are searched, files added as given.
    // The paths are bytes, as the command line gives them (see CommandLinePaths).
    void AddCommandLinePaths(const std::vector<std::string>& paths);
    void AddCommandLinePaths(const QStringList& paths);
    // Files and folders dropped from a file manager.
    void DropPaths(const std::vector<std::string>& paths);
    // Brings the list's context menu up to date with the list and the selection.
    void UpdateListMenu();
    QMenu* ListMenu() const { return listMenu_; }
    QMenu* HelpMenu() const { return helpMenu_; }

public slots:
    void OnRecord();
    void OnAddFiles();
    void OnAddFolder();
    void OnRemove();
    void OnRemoveAll();
    // Puts back the rows of the last removal (Ctrl+Z).
    void OnUndoRemove();
    void OnConvertAll();
    void OnConvertSelected();
    void OnPlay();
    void OnBrowseFolder();
    void OnPlaySwf();
    void OnBrowseSwfFolder();
    void OnOpenHtml();
    void OnViewHtml();
    void OnOptions();
    void OnHelpTopics();
    void OnAbout();
    // Shows why the selected row failed.
    void OnWhy();

signals:
    // A batch ended (its progress window is closed and the window takes commands again).
    void BatchFinished();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildButtons();
    void BuildMenus();
    void AddUndoItems(QMenu* menu);
    // Places the controls for the window's present size: the list takes what is left.
    void LayOut();
    // The remembered size, place and column widths, fitted to the screen; SaveWindowState
    // keeps them for the next start.
    void RestoreWindowState();
    void SaveWindowState();
    // Says once per session that the folders of Add Files and Add Folder could not be kept.
    void TellFoldersNotSaved(const std::string& why);
    void FirstRunCheck();
    void SetBusy(bool busy);
    // Adds paths with the add progress window (searching already shown when given).
    void AddPathList(const std::vector<std::string>& paths, std::unique_ptr<CProgressDlg> progress);
    std::unique_ptr<CProgressDlg> OpenSearchProgress();
    // The add-failure message, each path with its reason and a link to the manual's page.
    void ShowAddFailures(const CAddFailures& failures);
    void AddWhyItem(QMenu* menu);
    void UpdateWhyItem();
    // Runs a folder search that Cancel can stop; false when it was cancelled.
    bool Search(CProgressDlg& progress, const std::function<void(const SearchStop&)>& search);
    void ConvertRows(const std::vector<int>& rows);
    void OnBatchFinished();
    // The summary of a batch's failures, over the window until closed.
    void ShowFailedFiles(const std::vector<CFailedFilesDlg::Failure>& failures, std::size_t total);
    // The first selected row's entry, or null.
    const CFileListEntry* FirstSelected() const;
    void OpenHelpPage(const std::string& page);
    // Hands the first selected entry's path (which) to open, under the wait cursor, when the
    // window takes commands and the path is set (and, with mustExist, names an existing file).
    void OpenSelected(std::string CFileListEntry::*which, bool mustExist,
                      const std::function<void(const std::string&)>& open);

    CConvertOptions settings_;
    CSettingsStore store_;
    int lastOptionsPage_ = 0;
    std::unique_ptr<CDesktopServices> desktop_;
    CFileListModel* model_;
    QWidget* face_;
    CSortListCtrl* list_;
    QMenu* listMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    QPushButton* helpButton_ = nullptr;
    QPushButton* minimizeButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QPushButton* homeLink_ = nullptr;
    QWidget* sizeGrip_ = nullptr;
    // The size the window was asked to open at and the size the screen allowed.
    QSize wantedSize_;
    QSize forcedSize_;
    bool busy_ = false;
    // Where the keyboard focus was when the window became busy; it goes back there after.
    QPointer<QWidget> focusBeforeBusy_;
    bool foldersNotSavedTold_ = false;
    QPointer<CConvertProgressDlg> convertProgress_;
    QPointer<CFailedFilesDlg> failedFiles_;
    CProgressDlg* addProgress_ = nullptr;
    std::unique_ptr<CBatchWorker> worker_;
    QAction* whyAction_ = nullptr;

    struct MenuActions {
        QAction *play, *browseFolder, *playSwf, *browseSwfFolder, *openHtml, *viewHtml, *convertSelected,
            *convertAll, *addFiles, *addFolder, *remove, *removeAll, *undoRemove;
    } act_{};
};

}  // namespace tonvela
