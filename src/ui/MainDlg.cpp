#include "ui/MainDlg.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSizeGrip>
#include <QTimer>

#include "ui/AccessibleRoles.h"
#include "ui/BatchWorker.h"
#include "ui/ConvertProgressDlg.h"
#include "ui/DesktopServices.h"
#include "ui/FileListModel.h"
#include "ui/MessageBox.h"
#include "ui/MainDlgShared.h"
#include "ui/ManualViewer.h"
#include "ui/PreviewIntent.h"
#include "ui/PushButton.h"
#include "ui/Skin.h"
#include "ui/SortListCtrl.h"
#include "ui/WaitCursor.h"
#include "ui/WindowDrag.h"

namespace tonvela {

using namespace main_dlg;

namespace {

// A button on the window's face; role picks its look in the style sheet.
QPushButton* FaceButton(QWidget* face, const char* text, const char* name, const char* role, const char* tip,
                        QRect geometry) {
    QPushButton* b = MakeButton(QString::fromUtf8(text), name, face);
    b->setProperty("role", QString::fromLatin1(role));
    b->setToolTip(QString::fromUtf8(tip));
    b->setGeometry(geometry);
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
    InstallAccessibleRoles();
    setWindowTitle(QStringLiteral("Tonvela"));
    setWindowIcon(SkinIcon(SkinGlyph::Logo));
    resize(kWidth, kHeight);
    // The controls' parent, disabled as one while a list operation or a batch runs; it draws
    // no background, so presses on it reach the window and drag it.
    face_->setObjectName(QStringLiteral("mainFace"));

    list_ = new CSortListCtrl(*model_, face_);
    list_->setAccessibleName(QStringLiteral("Files to convert"));
    connect(list_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex&) { OnPlay(); });
    connect(list_, &CSortListCtrl::ContextMenuWanted, this, [this](const QPoint& at) {
        if (busy_) return;
        UpdateListMenu();
        listMenu_->popup(at);
    });

    BuildButtons();
    BuildMenus();
    new CPreviewIntent(
        list_,
        [this] {
            const CFileListEntry* e = FirstSelected();
            return e && !e->swfPath.empty();
        },
        face_->findChild<QWidget*>(QStringLiteral("optionsButton")), listMenu_, act_.playSwf);
    new CWindowDrag(this);
    sizeGrip_ = new QSizeGrip(this);
    sizeGrip_->setObjectName(QStringLiteral("sizeGrip"));
    RestoreWindowState();
    LayOut();
    setAcceptDrops(true);
    FirstRunCheck();
}

CMainDlg::~CMainDlg() {
    // A batch still running is stopped before the entries it uses go.
    worker_.reset();
}

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
        QPushButton* b = FaceButton(face_, c.text, c.name, "command", c.tip, QRect(15, c.y, 99, 28));
        connect(b, &QPushButton::clicked, this, c.slot);
    }

    helpButton_ = FaceButton(face_, "", "helpMenuButton", "caption", "Help", QRect(621, 11, 21, 21));
    helpButton_->setIcon(SkinIcon(SkinGlyph::Help));
    connect(helpButton_, &QPushButton::clicked, this, [this] {
        if (!busy_) helpMenu_->popup(helpButton_->mapToGlobal(QPoint(0, helpButton_->height())));
    });
    minimizeButton_ = FaceButton(face_, "", "minimizeButton", "caption", "Minimize", QRect(644, 11, 21, 21));
    minimizeButton_->setIcon(SkinIcon(SkinGlyph::Minimize));
    connect(minimizeButton_, &QPushButton::clicked, this, &QWidget::showMinimized);
    closeButton_ = FaceButton(face_, "", "closeButton", "caption", "Close", QRect(666, 11, 21, 21));
    closeButton_->setIcon(SkinIcon(SkinGlyph::Close));
    connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);
    for (QPushButton* b : {helpButton_, minimizeButton_, closeButton_}) {
        b->setIconSize(QSize(15, 15));
        b->setAccessibleName(b->toolTip());
    }
    // The help menu has no key of its own, so its button is in the Tab order (not taken by a
    // click, as a command button is); the window manager's keys minimise and close.
    helpButton_->setAccessibleName(QStringLiteral("Help menu"));
    helpButton_->setFocusPolicy(Qt::TabFocus);
    minimizeButton_->setFocusPolicy(Qt::NoFocus);
    closeButton_->setFocusPolicy(Qt::NoFocus);

    // We have no web site: the link leads to the manual, which is the program's home.
    homeLink_ = FaceButton(face_, "Tonvela manual", "homeLink", "link",
                           "Visit the Tonvela manual: getting started, options, formats and questions",
                           QRect(15, 505, 110, 20));
    homeLink_->setCursor(Qt::PointingHandCursor);
    connect(homeLink_, &QPushButton::clicked, this, [this] { OpenHelpPage(kHelpIndex); });
}

const CFileListEntry* CMainDlg::FirstSelected() const {
    const std::vector<int> rows = list_->SelectedRows();
    return rows.empty() ? nullptr : &model_->Entry(rows.front());
}

void CMainDlg::FirstRunCheck() {
    if (store_.GetDword(kOptionsKey, "FirstRun").value_or(1) == 0) return;
    // Without its manual the program still works: a missing manual is not reported, and the
    // flag stays for a later start that has one.
    const std::string manual = settings_.dataFolder + kHelpIndex;
    if (!FileExists(manual)) return;
    bool opened = false;
    {
        CWaitCursor wait;
        opened = desktop_->OpenDocument(manual);
    }
    // The flag is cleared only once the user has seen the manual.
    QString message;
    if (!opened) {
        message = QStringLiteral("Welcome to Tonvela. Its manual could not be opened in a web browser; you find it "
                                 "at\n\n%1\n\nHelp Topics (F1) opens it as well.")
                      .arg(QString::fromStdString(manual));
    } else {
        store_.SetDword(kOptionsKey, "FirstRun", 0);
        if (!store_.Save())
            message = QStringLiteral("Tonvela could not note that its manual has been shown (%1), so it opens again "
                                     "at the next start; check that the settings folder can be written.")
                          .arg(QString::fromStdString(store_.SaveError()));
    }
    // After the window is up, so the message stands over it.
    if (!message.isEmpty())
        QTimer::singleShot(0, this, [this, message] { ShowMessageBox(this, message, MessageIcon::Exclamation); });
}

void CMainDlg::OpenHelpPage(const std::string& page) {
    // Without its manual the program still works: a missing page is not reported.
    const std::string path = settings_.dataFolder + page;
    if (!FileExists(path)) return;
    bool opened = false;
    {
        CWaitCursor wait;
        opened = desktop_->OpenDocument(path);
    }
    if (!opened) OfferManualViewer(path, this);
}

void CMainDlg::SetBusy(bool busy) {
    busy_ = busy;
    // Disabling the controls takes the keyboard focus from them, and enabling them does not give
    // it back: without this a keyboard user would be left with no control in focus after every
    // add and every batch.
    if (busy) focusBeforeBusy_ = focusWidget();
    face_->setEnabled(!busy);
    if (!busy && !focusWidget()) {
        QWidget* back = focusBeforeBusy_ && focusBeforeBusy_->isEnabled() && focusBeforeBusy_->isVisible()
                            ? focusBeforeBusy_.data()
                            : list_;
        back->setFocus(Qt::OtherFocusReason);
    }
}

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
    SaveWindowState();
    event->accept();
}

void CMainDlg::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
}

void CMainDlg::LayOut() {
    // The command column and the title band keep their places; the caption buttons follow the
    // right edge, the link the bottom edge, and the list takes the rest.
    const int w = width(), h = height();
    face_->setGeometry(rect());
    list_->setGeometry(137, 62, w - 147, h - 76);
    helpButton_->move(w - 78, 11);
    minimizeButton_->move(w - 55, 11);
    closeButton_->move(w - 33, 11);
    homeLink_->move(15, h - 33);
    const QSize grip = sizeGrip_->sizeHint().boundedTo(QSize(13, 13));
    sizeGrip_->setGeometry(w - grip.width() - 1, h - grip.height() - 1, grip.width(), grip.height());
    sizeGrip_->raise();
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
