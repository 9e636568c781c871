// The main window's size, place and column widths: fitted to the screen at every start and
// kept in the settings store when the window closes.
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QtDebug>

#include "convert/FileListColumns.h"
#include "ui/MainDlg.h"
#include "ui/SortListCtrl.h"
#include "ui/WindowState.h"

namespace tonvela {

namespace {

constexpr const char* kGeometryName = "MainWindow";
constexpr const char* kColumnsName = "ListColumns";
constexpr int kMaxColumnWidth = 4000;

// The name of the window's place on screen: one for each screen size and scale.
std::string GeometryName(const QScreen* screen) {
    if (!screen) return kGeometryName;
    const double scale = screen->devicePixelRatio();
    return ScreenGeometryName(kGeometryName, screen->geometry().size() * scale, scale);
}

}  // namespace

void CMainDlg::RestoreWindowState() {
    // The window opens on the primary screen (the window manager may place it elsewhere), with
    // what that screen's size and scale remembered; the place of an older version, kept
    // without a screen, is the first guess on a screen that has none of its own.
    QScreen* screen = QGuiApplication::primaryScreen();
    std::optional<QRect> saved = ReadWindowRect(store_, GeometryName(screen).c_str());
    if (!saved) saved = ReadWindowRect(store_, kGeometryName);
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, kWidth, kHeight);
    // On a screen smaller than the minimum the window still fits: the screen is the limit.
    const QSize minimum = QSize(kMinWidth, kMinHeight).boundedTo(available.size());
    setMinimumSize(minimum);
    QRect wanted = saved.value_or(QRect(0, 0, kWidth, kHeight));
    if (!saved || !screen || !available.intersects(*saved)) wanted.moveCenter(available.center());
    const QRect fitted = FitRect(wanted, available, minimum);
    resize(fitted.size());
    move(fitted.topLeft());
    // A size the screen forced is not the user's: it is not kept unless the user changes it.
    wantedSize_ = wanted.size();
    forcedSize_ = fitted.size();

    if (const auto text = store_.GetString(kWindowKey, kColumnsName)) {
        if (const auto widths = ParseIntList(*text, kFileListColumnCount - 1)) {
            for (int c = 0; c + 1 < kFileListColumnCount; ++c)
                list_->setColumnWidth(c, std::clamp((*widths)[static_cast<std::size_t>(c)],
                                                    list_->header()->minimumSectionSize(), kMaxColumnWidth));
        }
    }
}

void CMainDlg::SaveWindowState() {
    QRect place = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    // Only what the screen took away is given back (a size raised to the minimum stays so).
    if (place.width() == forcedSize_.width() && forcedSize_.width() < wantedSize_.width())
        place.setWidth(wantedSize_.width());
    if (place.height() == forcedSize_.height() && forcedSize_.height() < wantedSize_.height())
        place.setHeight(wantedSize_.height());
    WriteWindowRect(store_, GeometryName(screen()).c_str(), place);
    std::vector<int> widths;
    for (int c = 0; c + 1 < kFileListColumnCount; ++c) widths.push_back(list_->columnWidth(c));
    store_.SetString(kWindowKey, kColumnsName, FormatIntList(widths));
    // Losing the window's place is no reason to keep the program open; the terminal hears of it.
    if (!store_.Save()) qWarning("Tonvela: the window's size and place were not saved: %s", store_.SaveError().c_str());
}

}  // namespace tonvela
