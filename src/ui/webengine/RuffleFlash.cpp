#include "ui/webengine/RuffleFlash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonObject>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <filesystem>

#include "platform/DataFolder.h"
#include "ui/webengine/PreviewScheme.h"
#include "ui/webengine/ServedMovie.h"
#include "ui/webengine/WarmPlayer.h"

namespace tonvela {


bool CRuffleFlash::UseDataFolder() {
    const QString folder = QString::fromStdString(DataFolder()) + QStringLiteral("ruffle");
    const QDir dir(folder);
    if (!QFileInfo(dir.filePath(QStringLiteral("ruffle.js"))).isFile() ||
        dir.entryList({QStringLiteral("core.ruffle.*.js")}, QDir::Files).isEmpty() ||
        dir.entryList({QStringLiteral("*.wasm")}, QDir::Files).isEmpty())
        return false;
    if (!CPreviewScheme::Profile()) return false;
    CPreviewScheme::Instance()->SetRuffleFolder(dir.absolutePath());
    return true;
}

std::unique_ptr<CShockwaveFlash> CRuffleFlash::Create(QWidget* parent) {
    if (!UseDataFolder()) return nullptr;
    return std::unique_ptr<CShockwaveFlash>(new CRuffleFlash(parent));
}

CRuffleFlash::CRuffleFlash(QWidget* parent) : CShockwaveFlash(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    player_ = CWarmPlayer::Take();
    player_->setParent(this);
    layout->addWidget(player_);
    player_->show();
    connect(player_, &CWarmPlayer::movieLoaded, this, &CShockwaveFlash::movieLoaded);
    connect(player_, &CWarmPlayer::pageProcessEnded, this, [this] { OnPageProcessEnded(); });
}

CRuffleFlash::~CRuffleFlash() {
    delete ended_.data();
    if (!player_) return;
    disconnect(player_, nullptr, this, nullptr);
    layout()->removeWidget(player_);
    CWarmPlayer::GiveBack(player_);
}

QWebEngineView* CRuffleFlash::View() const { return player_; }

void CRuffleFlash::LoadMovie(int, const QString& movie) {
    const auto [path, query] = SplitMovie(movie);
    LoadMovieFile(QFile::encodeName(path).toStdString(), query.toUtf8().toStdString());
}

void CRuffleFlash::LoadMovieFile(const std::string& file, const std::string& query) {
    if (!player_) return;
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    const QByteArray path = QByteArray::fromStdString((ec ? std::filesystem::path(file) : absolute).native());
    const ServedMovie served = ServeMovie(path, QByteArray::fromStdString(query));
    const int generation = CPreviewScheme::Instance()->SetMovie(player_->PlayerId(), served.files);
    movieUrl_ = CPreviewScheme::MovieUrl(player_->PlayerId(), generation, served.movieName);
    const QByteArray urlQuery = served.query.toPercentEncoding("&=?/:;,+%@!$'()*~");
    if (!urlQuery.isEmpty()) movieUrl_ += QLatin1Char('?') + QString::fromLatin1(urlQuery);
    ScheduleShow();
}

void CRuffleFlash::SetBGColor(const QString& colour) {
    if (colour == bgColour_ || !QColor::isValidColorName(colour)) return;
    bgColour_ = colour;
    ScheduleShow();
}

void CRuffleFlash::SetMenu(bool on) {
    if (on == menu_) return;
    menu_ = on;
    ScheduleShow();
}

void CRuffleFlash::ScheduleShow() {
    if (showPending_) return;
    showPending_ = true;
    QTimer::singleShot(0, this, [this] {
        showPending_ = false;
        Show();
    });
}

void CRuffleFlash::Show() {
    if (!player_) return;
    delete ended_.data();
    player_->show();
    player_->Show(QJsonObject{{QStringLiteral("url"), movieUrl_},
                              {QStringLiteral("bg"), bgColour_},
                              {QStringLiteral("menu"), menu_}});
}

void CRuffleFlash::OnPageProcessEnded() {
    player_->hide();
    // Over the whole window: a small movie's place is too small for a sentence.
    QWidget* window = this->window();
    delete ended_.data();
    ended_ = new QLabel(tr("The player stopped unexpectedly.\nThe movie loads again with the next preview."), window);
    ended_->setObjectName(QStringLiteral("playerEnded"));
    ended_->setAlignment(Qt::AlignCenter);
    ended_->setWordWrap(true);
    ended_->setAutoFillBackground(true);
    ended_->setGeometry(window->rect());
    ended_->raise();
    ended_->show();
}

}  // namespace tonvela
