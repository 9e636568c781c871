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

}  // namespace

void CMainDlg::RestoreWindowState() {
    const std::optional<QRect> saved = ReadWindowRect(store_, kGeometryName);
    QScreen* screen = saved ? QGuiApplication::screenAt(saved->center()) : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, kWidth, kHeight);
    // On a screen smaller than the minimum the window still fits: the screen is the limit.
    const QSize minimum = QSize(kMinWidth, kMinHeight).boundedTo(available.size());
    setMinimumSize(minimum);
    QRect wanted = saved.value_or(QRect(0, 0, kWidth, kHeight));
    if (!saved || !screen || !available.intersects(*saved)) wanted.moveCenter(available.center());
    const QRect fitted = FitRect(wanted, available, minimum);
    resize(fitted.size());
    move(fitted.topLeft());

    if (const auto text = store_.GetString(kWindowKey, kColumnsName)) {
        if (const auto widths = ParseIntList(*text, kFileListColumnCount - 1)) {
            for (int c = 0; c + 1 < kFileListColumnCount; ++c)
                list_->setColumnWidth(c, std::clamp((*widths)[static_cast<std::size_t>(c)],
                                                    list_->header()->minimumSectionSize(), kMaxColumnWidth));
        }
    }
}

void CMainDlg::SaveWindowState() {
    WriteWindowRect(store_, kGeometryName, isMaximized() || isMinimized() ? normalGeometry() : geometry());
    std::vector<int> widths;
    for (int c = 0; c + 1 < kFileListColumnCount; ++c) widths.push_back(list_->columnWidth(c));
    store_.SetString(kWindowKey, kColumnsName, FormatIntList(widths));
    // Losing the window's place is no reason to keep the program open; the terminal hears of it.
    if (!store_.Save()) qWarning("Tonvela: the window's size and place were not saved: %s", store_.SaveError().c_str());
}

}  // namespace tonvela
