#include "ui/MainDlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>
#include <filesystem>
#include <system_error>

#include "convert/FileListEntry.h"
#include "convert/FolderSearch.h"
#include "platform/ResolvedPath.h"
#include "ui/BatchWorker.h"
#include "ui/ConvertProgressDlg.h"
#include "ui/DesktopServices.h"
#include "ui/FileListModel.h"
#include "ui/MessageBox.h"
#include "ui/PlaySwfDlg.h"
#include "ui/ProgressDlg.h"
#include "ui/RecordDlg.h"
#include "ui/SheetOptions.h"
#include "ui/Skin.h"
#include "ui/SortListCtrl.h"
#include "ui/WindowDrag.h"

namespace tonvela {

namespace {

constexpr const char* kNoFilesText = "There aren't files in list.";
constexpr const char* kNoSelectionText = "You should select a file at least.";
constexpr const char* kHelpIndex = "help/index.html";
constexpr const char* kHelpFaq = "help/FAQ.html";

// The wait cursor over the window for the length of a command.
class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

bool FileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::exists(path, ec);
}

QPushButton* MakeButton(QWidget* parent, const char* text, const char* role, const char* tip, QRect geometry) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setProperty("role", QString::fromLatin1(role));
    b->setToolTip(QString::fromUtf8(tip));
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

CMainDlg::CMainDlg(std::unique_ptr<CDesktopServices> desktop, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowSystemMenuHint),
      store_(CSettingsStore::DefaultFolder()),
      desktop_(desktop ? std::move(desktop) : std::make_unique<CDesktopServices>()),
      model_(new CFileListModel(this)),
      face_(new QWidget(this)) {
    // Settings first: the defaults came with the record, the store's values go over them.
    store_.Load();
    settings_.Load(store_);

    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Tonvela"));
    setWindowIcon(SkinIcon(SkinGlyph::Logo));
    setFixedSize(kWidth, kHeight);
    // The controls' parent, disabled as one while a list operation or a batch runs; it draws
    // no background, so presses on it reach the window and drag it.
    face_->setObjectName(QStringLiteral("mainFace"));
    face_->setGeometry(0, 0, kWidth, kHeight);

    list_ = new CSortListCtrl(*model_, face_);
    list_->setGeometry(137, 62, 552, 467);
    connect(list_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex&) { OnPlay(); });
    connect(list_, &CSortListCtrl::ContextMenuWanted, this, [this](const QPoint& at) {
        if (busy_) return;
        UpdateListMenu();
        listMenu_->popup(at);
    });

    BuildButtons();
    BuildMenus();
    new CWindowDrag(this);
    setAcceptDrops(true);
    FirstRunCheck();
}

CMainDlg::~CMainDlg() {
    // A batch still running is stopped before the entries it uses go.
    worker_.reset();
}

CConvertProgressDlg* CMainDlg::ConvertProgress() const { return convertProgress_.data(); }

void CMainDlg::BuildButtons() {
    struct Command {
        const char* text;
        const char* tip;
        int y;
        void (CMainDlg::*slot)();
        const char* name;
    };
    static constexpr Command kCommands[] = {
        {"&Record", "Record and convert to SWF", 72, &CMainDlg::OnRecord, "recordButton"},
        {"&Add Files", "Add files", 115, &CMainDlg::OnAddFiles, "addFilesButton"},
        {"Add &Folder", "Add files from a folder", 159, &CMainDlg::OnAddFolder, "addFolderButton"},
        {"Remove A&ll", "Remove all files from list", 247, &CMainDlg::OnRemoveAll, "removeAllButton"},
        {"&Convert All", "Convert all files to SWF", 291, &CMainDlg::OnConvertAll, "convertAllButton"},
        {"&Options", "Options", 335, &CMainDlg::OnOptions, "optionsButton"},
    };
    for (const Command& c : kCommands) {
        QPushButton* b = MakeButton(face_, c.text, "command", c.tip, QRect(15, c.y, 99, 28));
        b->setObjectName(QString::fromLatin1(c.name));
        connect(b, &QPushButton::clicked, this, c.slot);
    }

    helpButton_ = MakeButton(face_, "", "caption", "Help", QRect(621, 11, 21, 21));
    helpButton_->setObjectName(QStringLiteral("helpMenuButton"));
    helpButton_->setIcon(SkinIcon(SkinGlyph::Help));
    connect(helpButton_, &QPushButton::clicked, this, [this] {
        if (!busy_) helpMenu_->popup(helpButton_->mapToGlobal(QPoint(0, helpButton_->height())));
    });
    QPushButton* minimize = MakeButton(face_, "", "caption", "Minimize", QRect(644, 11, 21, 21));
    minimize->setObjectName(QStringLiteral("minimizeButton"));
    minimize->setIcon(SkinIcon(SkinGlyph::Minimize));
    connect(minimize, &QPushButton::clicked, this, &QWidget::showMinimized);
    QPushButton* close = MakeButton(face_, "", "caption", "Close", QRect(666, 11, 21, 21));
    close->setObjectName(QStringLiteral("closeButton"));
    close->setIcon(SkinIcon(SkinGlyph::Close));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    for (QPushButton* b : {helpButton_, minimize, close}) {
        b->setIconSize(QSize(15, 15));
        b->setFocusPolicy(Qt::NoFocus);
    }

    // We have no web site: the link leads to the manual, which is the program's home.
    QPushButton* link = MakeButton(face_, "Tonvela manual", "link", "Visit the Tonvela manual: getting started, "
                                                                    "options, formats and questions",
                                   QRect(15, 505, 110, 20));
    link->setObjectName(QStringLiteral("homeLink"));
    link->setCursor(Qt::PointingHandCursor);
    connect(link, &QPushButton::clicked, this, [this] { OpenHelpPage(kHelpIndex); });
}

void CMainDlg::BuildMenus() {
    listMenu_ = new QMenu(this);
    listMenu_->setObjectName(QStringLiteral("listMenu"));
    auto add = [this](QMenu* menu, const char* text, const char* name, auto slot) {
        QAction* a = menu->addAction(QString::fromUtf8(text));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    act_.play = add(listMenu_, "&Play", "play", &CMainDlg::OnPlay);
    act_.browseFolder = add(listMenu_, "&Browse Folder", "browseFolder", &CMainDlg::OnBrowseFolder);
    listMenu_->addSeparator();
    act_.playSwf = add(listMenu_, "Play &SWF", "playSwf", &CMainDlg::OnPlaySwf);
    act_.browseSwfFolder = add(listMenu_, "Browse SWF &Folder", "browseSwfFolder", &CMainDlg::OnBrowseSwfFolder);
    act_.openHtml = add(listMenu_, "Open &HTML File", "openHtml", &CMainDlg::OnOpenHtml);
    act_.viewHtml = add(listMenu_, "Vie&w HTML Code", "viewHtml", &CMainDlg::OnViewHtml);
    listMenu_->addSeparator();
    act_.convertSelected = add(listMenu_, "&Convert to SWF", "convertSelected", &CMainDlg::OnConvertSelected);
    act_.convertAll = add(listMenu_, "Con&vert All to SWF", "convertAll", &CMainDlg::OnConvertAll);
    listMenu_->addSeparator();
    act_.addFiles = add(listMenu_, "&Add Files...\tCtrl+O", "addFiles", &CMainDlg::OnAddFiles);
    act_.addFolder = add(listMenu_, "Add F&older", "addFolder", &CMainDlg::OnAddFolder);
    listMenu_->addSeparator();
    act_.remove = add(listMenu_, "&Remove\tDel", "remove", &CMainDlg::OnRemove);
    act_.removeAll = add(listMenu_, "Remove Al&l", "removeAll", &CMainDlg::OnRemoveAll);

    helpMenu_ = new QMenu(this);
    helpMenu_->setObjectName(QStringLiteral("helpMenu"));
    add(helpMenu_, "&Help Topics\tF1", "helpTopics", &CMainDlg::OnHelpTopics);
    helpMenu_->addSeparator();
    // The maker's pages are the manual's: we keep no web site or mail form.
    QAction* tell = helpMenu_->addAction(QStringLiteral("&Tell A Friend"));
    connect(tell, &QAction::triggered, this, [this] {
        CWaitCursor wait;
        desktop_->OpenDocument(
            "mailto:?subject=Tonvela&body=Tonvela%20turns%20audio%20files%20into%20SWF%20movies%20for%20web%20pages.");
    });
    QAction* feedback = helpMenu_->addAction(QStringLiteral("&Feedback and Support"));
    connect(feedback, &QAction::triggered, this, [this] { OpenHelpPage(kHelpFaq); });
    QAction* home = helpMenu_->addAction(QStringLiteral("Home&page"));
    connect(home, &QAction::triggered, this, [this] { OpenHelpPage(kHelpIndex); });
    QAction* latest = helpMenu_->addAction(QStringLiteral("&Check Latest Version"));
    connect(latest, &QAction::triggered, this, &CMainDlg::OnAbout);
    helpMenu_->addSeparator();
    add(helpMenu_, "&About...", "about", &CMainDlg::OnAbout);

    auto shortcut = [this](QKeySequence keys, void (CMainDlg::*slot)()) {
        auto* s = new QShortcut(keys, this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_O), &CMainDlg::OnAddFiles);
    shortcut(QKeySequence(Qt::Key_Delete), &CMainDlg::OnRemove);
    shortcut(QKeySequence(Qt::Key_F1), &CMainDlg::OnHelpTopics);
}

void CMainDlg::UpdateListMenu() {
    const std::vector<int> selected = list_->SelectedRows();
    const CFileListEntry* first = FirstSelected();
    const bool any = !selected.empty();
    const bool hasSwf = first && !first->swfPath.empty();
    act_.play->setEnabled(selected.size() == 1);
    act_.browseFolder->setEnabled(selected.size() == 1);
    act_.playSwf->setEnabled(hasSwf);
    act_.browseSwfFolder->setEnabled(hasSwf);
    act_.openHtml->setEnabled(hasSwf && !first->htmlPath.empty());
    act_.viewHtml->setEnabled(hasSwf && !first->htmlPath.empty());
    act_.convertSelected->setEnabled(any);
    act_.remove->setEnabled(any);
    act_.convertAll->setEnabled(model_->rowCount() > 0);
    act_.removeAll->setEnabled(model_->rowCount() > 0);
}

const CFileListEntry* CMainDlg::FirstSelected() const {
    const std::vector<int> rows = list_->SelectedRows();
    return rows.empty() ? nullptr : &model_->Entry(rows.front());
}

void CMainDlg::FirstRunCheck() {
    const std::uint32_t firstRun = store_.GetDword(kOptionsKey, "FirstRun").value_or(1);
    if (firstRun == 0) return;
    store_.SetDword(kOptionsKey, "FirstRun", 0);
    store_.Save();
    OpenHelpPage(kHelpIndex);
}

void CMainDlg::OpenHelpPage(const std::string& page) {
    // Without its manual the program still works: a missing page is not reported.
    const std::string path = settings_.dataFolder + page;
    if (!FileExists(path)) return;
    CWaitCursor wait;
    desktop_->OpenDocument(path);
}

void CMainDlg::SetBusy(bool busy) {
    busy_ = busy;
    face_->setEnabled(!busy);
}

// ---- Adding -----------------------------------------------------------------------------------

std::unique_ptr<CProgressDlg> CMainDlg::OpenSearchProgress() {
    auto progress = std::make_unique<CProgressDlg>(this);
    progress->SetText("Searching files...");
    progress->Open();
    return progress;
}

void CMainDlg::AddPathList(const std::vector<std::string>& paths, std::unique_ptr<CProgressDlg> progress) {
    SetBusy(true);
    if (!progress) {
        progress = std::make_unique<CProgressDlg>(this);
        progress->Open();
    }
    addProgress_ = progress.get();
    const std::string message = model_->AddPathList(paths, progress.get());
    if (model_->rowCount() > 0) list_->ScrollToRow(model_->rowCount() - 1);
    addProgress_ = nullptr;
    progress.reset();
    SetBusy(false);
    if (!message.empty()) ShowMessageBox(this, QString::fromStdString(message), MessageIcon::Exclamation);
}

void CMainDlg::OnAddFiles() {
    if (busy_) return;
    CWaitCursor wait;
    const QStringList chosen = desktop_->ChooseFiles(this);
    if (chosen.isEmpty()) return;
    std::vector<std::string> paths;
    for (const QString& p : chosen) paths.push_back(p.toStdString());
    AddPathList(paths, nullptr);
}

void CMainDlg::OnAddFolder() {
    if (busy_) return;
    const QString chosen = desktop_->ChooseFolder(this, QString::fromStdString(settings_.Folder));
    if (chosen.isEmpty()) return;
    std::string folder = chosen.toStdString();
    if (folder.back() != '/') folder += '/';
    settings_.Folder = folder;
    settings_.Save(store_, kSaveFolder);
    std::unique_ptr<CProgressDlg> progress = OpenSearchProgress();
    std::vector<std::string> paths;
    CollectFiles(CollectFolders(folder), paths);
    AddPathList(paths, std::move(progress));
}

void CMainDlg::DropPaths(const QStringList& dropped) {
    if (busy_) return;
    std::unique_ptr<CProgressDlg> progress = OpenSearchProgress();
    std::vector<std::string> paths;
    for (const QString& p : dropped) AddDroppedPath(p.toStdString(), paths);
    AddPathList(paths, std::move(progress));
}

void CMainDlg::AddCommandLinePaths(const QStringList& given) {
    if (busy_ || given.isEmpty()) return;
    std::unique_ptr<CProgressDlg> progress = OpenSearchProgress();
    std::vector<std::string> paths;
    for (const QString& p : given) {
        std::error_code ec;
        // Resolved through the file system: "link/../x.wav" is the file the kernel opens.
        const std::string path = ResolvedPath(p.toStdString());
        // Files are taken as the user named them (like Add Files); folders are searched.
        if (std::filesystem::is_directory(path, ec))
            CollectFiles(CollectFolders(path), paths);
        else
            paths.push_back(path);
    }
    AddPathList(paths, std::move(progress));
}

void CMainDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!busy_ && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainDlg::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    // After the drop is released: the file manager must not wait for our search.
    QMetaObject::invokeMethod(this, [this, paths] { DropPaths(paths); }, Qt::QueuedConnection);
}

// ---- Removing ---------------------------------------------------------------------------------

void CMainDlg::OnRemove() {
    if (busy_) return;
    const std::vector<int> rows = list_->SelectedRows();
    if (rows.empty()) {
        ShowMessageBox(this, QString::fromUtf8(kNoSelectionText), MessageIcon::Information);
        return;
    }
    model_->RemoveRows(rows);
}

void CMainDlg::OnRemoveAll() {
    if (busy_) return;
    if (model_->rowCount() == 0) {
        ShowMessageBox(this, QString::fromUtf8(kNoFilesText), MessageIcon::Information);
        return;
    }
    model_->RemoveAll();
}

// ---- Converting -------------------------------------------------------------------------------

void CMainDlg::OnConvertAll() {
    if (busy_) return;
    if (model_->rowCount() == 0) {
        ShowMessageBox(this, QString::fromUtf8(kNoFilesText), MessageIcon::Information);
        return;
    }
    std::vector<int> rows;
    for (int r = 0; r < model_->rowCount(); ++r) rows.push_back(r);
    ConvertRows(rows);
}

void CMainDlg::OnConvertSelected() {
    if (busy_) return;
    const std::vector<int> rows = list_->SelectedRows();
    if (rows.empty()) {
        ShowMessageBox(this, QString::fromUtf8(kNoSelectionText), MessageIcon::Information);
        return;
    }
    ConvertRows(rows);
}

void CMainDlg::ConvertRows(const std::vector<int>& rows) {
    std::vector<BatchItem> items;
    for (int r : rows) items.push_back({&model_->Entry(r), static_cast<std::size_t>(r)});
    SetBusy(true);

    // Made now so the batch knows the bar's width; shown when the batch opens its progress.
    convertProgress_ = new CConvertProgressDlg(this);
    worker_ = std::make_unique<CBatchWorker>(std::move(items), settings_, settings_.ConvertJobs,
                                             convertProgress_->FileBarWidth(), *desktop_, this);
    CBatchWorker* w = worker_.get();
    CConvertProgressDlg* dlg = convertProgress_;
    connect(dlg, &CConvertProgressDlg::CancelClicked, w, &CBatchWorker::RequestCancel);
    connect(w, &CBatchWorker::FileTextChanged, dlg, &CConvertProgressDlg::SetFileText);
    connect(w, &CBatchWorker::FileBarRangeChanged, dlg, &CConvertProgressDlg::SetFileBarRange);
    connect(w, &CBatchWorker::FileBarPosChanged, dlg, &CConvertProgressDlg::SetFileBarPos);
    connect(w, &CBatchWorker::OverallTextChanged, dlg, &CConvertProgressDlg::SetOverallText);
    connect(w, &CBatchWorker::OverallRangeChanged, dlg, &CConvertProgressDlg::SetOverallRange);
    connect(w, &CBatchWorker::OverallStepped, dlg, &CConvertProgressDlg::StepOverall);
    connect(w, &CBatchWorker::ProgressOpened, dlg, &CConvertProgressDlg::Open);
    connect(w, &CBatchWorker::ProgressClosed, dlg, &QWidget::close);
    connect(w, &CBatchWorker::StatusChanged, this,
            [this](int row, const QString& text) { model_->SetStatus(row, text.toStdString()); });
    connect(w, &CBatchWorker::ScrollRequested, this, [this](int row) { list_->ScrollToRow(row); });
    connect(w, &CBatchWorker::WaitChanged, this, [this](bool on) {
        if (on)
            setCursor(Qt::WaitCursor);
        else
            unsetCursor();
    });
    connect(w, &CBatchWorker::Finished, this, &CMainDlg::OnBatchFinished);
    w->Start();
}

void CMainDlg::OnBatchFinished() {
    worker_.reset();  // the thread has ended; this joins it
    if (convertProgress_) convertProgress_->close();  // never shown when the template failed
    unsetCursor();
    SetBusy(false);
    list_->setFocus();
    emit BatchFinished();
}

// ---- Opening ----------------------------------------------------------------------------------

void CMainDlg::OnPlay() {
    if (busy_) return;
    const CFileListEntry* e = FirstSelected();
    if (!e || e->path.empty()) return;
    CWaitCursor wait;
    desktop_->OpenDocument(e->path);
}

void CMainDlg::OnBrowseFolder() {
    if (busy_) return;
    const CFileListEntry* e = FirstSelected();
    if (!e || !FileExists(e->path)) return;
    CWaitCursor wait;
    desktop_->ShowItem(e->path);
}

void CMainDlg::OnPlaySwf() {
    if (busy_) return;
    const CFileListEntry* e = FirstSelected();
    if (!e || e->swfPath.empty()) return;
    PlaySwf(*e, settings_, this);
}

void CMainDlg::OnBrowseSwfFolder() {
    if (busy_) return;
    const CFileListEntry* e = FirstSelected();
    if (!e || !FileExists(e->swfPath)) return;
    CWaitCursor wait;
    desktop_->ShowItem(e->swfPath);
}

void CMainDlg::OnOpenHtml() {
    if (busy_) return;
    const CFileListEntry* e = FirstSelected();
    if (!e || e->htmlPath.empty()) return;
    CWaitCursor wait;
    desktop_->OpenDocument(e->htmlPath);
}

void CMainDlg::OnViewHtml() {
    if (busy_) return;
    const CFileListEntry* e = FirstSelected();
    if (!e || e->htmlPath.empty()) return;
    CWaitCursor wait;
    desktop_->ViewText(e->htmlPath, this);
}

// ---- Record, options, help --------------------------------------------------------------------

void CMainDlg::OnRecord() {
    if (busy_) return;
    CRecordDlg dlg(this);
    if (dlg.exec() != QDialog::Accepted || dlg.SavedPath().empty()) return;
    int row = model_->AddFileEntry(dlg.SavedPath());
    if (row == CFileListModel::kFailed) {
        CAddFailures failure;
        failure.Add(dlg.SavedPath());
        ShowMessageBox(this, QString::fromStdString(failure.Message()), MessageIcon::Exclamation);
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
    CWaitCursor wait;
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
                                   "it comes with NO WARRANTY.")
                        .arg(QCoreApplication::applicationVersion()),
                    QMessageBox::Ok, this);
    box.setIconPixmap(SkinIcon(SkinGlyph::Logo).pixmap(48, 48));
    box.exec();
}

// ---- The window itself ------------------------------------------------------------------------

void CMainDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), skin::kFace);
    QLinearGradient band(0, 0, 0, skin::kTitleBandHeight);
    band.setColorAt(0, QColor(0x2a, 0x91, 0xb0));
    band.setColorAt(1, skin::kAccentDark);
    p.fillRect(QRect(0, 0, width(), skin::kTitleBandHeight), band);
    PaintGlyph(p, QRectF(14, 10, 36, 36), SkinGlyph::Logo, Qt::white);
    QFont title = font();
    title.setPixelSize(22);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(60, 6, 300, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tonvela"));
    QFont sub = font();
    sub.setPixelSize(12);
    p.setFont(sub);
    p.setPen(QColor(0xd8, 0xee, 0xf4));
    p.drawText(QRect(61, 32, 400, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Audio to SWF movies for web pages"));
    // A thin rule between the two button groups, and the window's edge.
    p.setPen(QColor(0xc9, 0xd6, 0xdd));
    p.drawLine(15, 205, 113, 205);
    p.setPen(skin::kAccentDark);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CMainDlg::closeEvent(QCloseEvent* event) {
    // Not while a batch or an add runs: they use the list the window owns.
    if (busy_) {
        event->ignore();
        return;
    }
    event->accept();
}

void CMainDlg::keyPressEvent(QKeyEvent* event) {
    // Enter and Esc do nothing: the window has no default action and closes only on request.
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape: event->accept(); return;
        default: QWidget::keyPressEvent(event);
    }
}

}  // namespace tonvela
