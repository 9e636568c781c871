#include "ui/PlaySwfDlg.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QFontMetrics>
#include <QScreen>
#include <filesystem>

#include "convert/ConvertOptions.h"
#include "convert/ConvertResult.h"
#include "convert/FileListEntry.h"
#include "convert/HtmlPage.h"
#include "platform/PercentEncode.h"
#include "platform/ShellOpen.h"
#include "swf/SwfHeader.h"
#include "ui/MessageBox.h"
#include "ui/ShockwaveFlash.h"
#include "ui/WaitCursor.h"

namespace tonvela {

namespace {

constexpr char kFlashDownload[] = "https://www.adobe.com/go/EN_US-H-GET-FLASH";

// The window's place for the player in dialog units: at 4, 4, 364 x 53.
constexpr int kPlaceX = 4, kPlaceY = 4, kPlaceW = 364, kPlaceH = 53;
constexpr int kMinMovieSide = 16;
constexpr int kMinClientWidth = 240;

}  // namespace

std::string PlaySwfMovieReference(const CFileListEntry& entry, const CConvertOptions& settings) {
    if (entry.playerSwfPath.empty()) return entry.swfPath;
    ConvertResult result;
    result.convertedSeconds = static_cast<std::uint32_t>(std::max(entry.convertedSeconds, 0));
    const std::string soundName = std::filesystem::path(entry.swfPath).filename().string();
    return PlayerQuery(entry.playerSwfPath, UrlEncodeName(soundName), settings, result, true);
}

QString PlaySwfTitle(const CFileListEntry& entry) {
    const std::string name = std::filesystem::path(entry.swfPath).filename().string();
    return QStringLiteral("%1 \u2013 Play SWF").arg(QString::fromStdString(name));
}

std::optional<QSize> SwfFrameSize(const QString& path) {
    const std::optional<SwfHeader> header = ReadSwfHeader(QFile::encodeName(path).toStdString());
    if (!header) return std::nullopt;
    const std::int64_t w = header->FrameWidthTwips(), h = header->FrameHeightTwips();
    if (w <= 0 || h <= 0) return std::nullopt;
    return QSize(int((w + 19) / 20), int((h + 19) / 20));
}

CPlaySwfDlg::CPlaySwfDlg(QString movie, std::uint32_t bkgColour, QWidget* parent)
    : QDialog(parent), movie_(std::move(movie)), bkgColour_(bkgColour) {
    setWindowTitle(QStringLiteral("Play SWF"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    qApp->installEventFilter(this);
}

CPlaySwfDlg::~CPlaySwfDlg() { qApp->removeEventFilter(this); }

bool CPlaySwfDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !isVisible()) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (key->key() != Qt::Key_Escape || key->modifiers() != Qt::NoModifier || !widget || widget->window() != this)
        return false;
    reject();
    return true;
}

QRect CPlaySwfDlg::Placeholder() const {
    // Dialog units from the window's font, as the Windows dialog manager converts them.
    const QFontMetrics fm(font());
    const int bx = std::max(1, (fm.horizontalAdvance(QStringLiteral(
                                    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) + 26) / 52);
    const int by = std::max(1, fm.height());
    return {kPlaceX * bx / 4, kPlaceY * by / 8, kPlaceW * bx / 4, kPlaceH * by / 8};
}

void CPlaySwfDlg::PlaceFlash(QSize movie) {
    const QRect place = Placeholder();
    // A movie without a picture (a plain sound SWF is 1 x 1 pixel) gets the placeholder's size.
    QSize size = movie.width() >= kMinMovieSide && movie.height() >= kMinMovieSide ? movie : place.size();
    // A movie larger than the screen is shown scaled down, whole.
    if (const QScreen* screen = (parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen())) {
        const QSize room = screen->availableGeometry().size() - QSize(2 * place.x() + 40, 2 * place.y() + 80);
        if (room.isValid() && (size.width() > room.width() || size.height() > room.height()))
            size.scale(room, Qt::KeepAspectRatio);
    }
    size = size.expandedTo(QSize(kMinMovieSide, kMinMovieSide));
    // The window ends below the player with the margin it has above it, and as much beside it;
    // a small movie sits in the middle of a window wide enough for its title.
    const int width = std::max(size.width() + 2 * place.x(), kMinClientWidth);
    flash_->setGeometry(QRect(QPoint((width - size.width()) / 2, place.y()), size));
    setFixedSize(width, size.height() + 2 * place.y());
}

bool CPlaySwfDlg::SetUp() {
    if (setUp_) return flash_ != nullptr;
    setUp_ = true;
    flash_ = CShockwaveFlash::Create(this);
    if (!flash_) return false;
    flash_->SetMenu(false);
    if (!movieFile_.empty()) flash_->LoadMovieFile(movieFile_, movieQuery_);
    else flash_->LoadMovie(0, movie_);
    flash_->SetBGColor(CShockwaveFlash::ColourText(bkgColour_));
    const std::optional<QSize> frame = SwfFrameSize(CShockwaveFlash::SplitMovie(movie_).first);
    sizeKnown_ = frame.has_value();
    PlaceFlash(frame.value_or(QSize()));
    // A movie whose header could not be read here gets its size from the player.
    connect(flash_.get(), &CShockwaveFlash::movieLoaded, this, [this](const QVariantMap& m) {
        if (sizeKnown_) return;
        sizeKnown_ = true;
        const QSize s(m.value(QStringLiteral("width")).toInt(), m.value(QStringLiteral("height")).toInt());
        if (!s.isEmpty()) PlaceFlash(s);
    });
    return true;
}

int CPlaySwfDlg::exec() {
    if (!SetUp()) return kNoPlayer;
    return QDialog::exec();
}

void PlaySwf(const CFileListEntry& entry, const CConvertOptions& settings, QWidget* parent) {
    if (entry.swfPath.empty()) return;
    int code = CPlaySwfDlg::kNoPlayer;
    {
        CPlaySwfDlg dlg(QString::fromStdString(PlaySwfMovieReference(entry, settings)),
                        static_cast<std::uint32_t>(settings.SWFBkgColor), parent);
        dlg.setWindowTitle(PlaySwfTitle(entry));
        const std::string& file = entry.playerSwfPath.empty() ? entry.swfPath : entry.playerSwfPath;
        const std::string reference = PlaySwfMovieReference(entry, settings);
        dlg.SetMovieFile(file, reference.size() > file.size() ? reference.substr(file.size() + 1) : std::string());
        bool created = false;
        {
            // Starting the web engine takes a moment the first time.
            CWaitCursor wait;
            created = dlg.SetUp();
        }
        if (created) code = dlg.exec();
    }
    if (code != CPlaySwfDlg::kNoPlayer) return;
    if (AskYesNo(parent, QStringLiteral("Adobe Flash Player hasn't been installed on your computer. The SWF file "
                                        "can't be played.\n\nDo you want to install Adobe Flash Player now? Be sure "
                                        "your computer is online.")))
        ShellOpen(entry.htmlPath.empty() ? std::string(kFlashDownload) : entry.htmlPath);
}

}  // namespace tonvela
