// Time to the loaded movie in the preview window: the first window after start-up (the player
// made ready when the user showed a preview was coming) and later windows; the time the player took to get
// ready; and the memory (PSS) of the program and all its helper processes before the player,
// idle with the warm player, with an open preview and after closing it.
//   bench_preview_load MOVIE [LATER_RUNS]     prints one "name value" line per figure
// SETTLE_MS: how long the program stays after the last preview closed (3000), e.g. to watch the
// sound server's streams go.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <unistd.h>

#include "ui/PlaySwfDlg.h"
#include "ui/ShockwaveFlash.h"
#include "ui/webengine/WarmPlayer.h"

using namespace tonvela;

namespace {

// Sum of Pss over this process and its descendants, in KiB.
long PssKiBOfTree() {
    std::map<long, long> parent;
    for (const QString& d : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const long pid = d.toLong(&ok);
        if (!ok) continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray s = stat.readAll();
        const qsizetype close = s.lastIndexOf(')');
        const QList<QByteArray> f = s.mid(close + 2).split(' ');
        if (f.size() > 1) parent[pid] = f[1].toLong();
    }
    long total = 0;
    for (const auto& [pid, ppid] : parent) {
        bool mine = false;
        for (long p = pid; p > 1; p = parent.count(p) ? parent[p] : 0)
            if (p == getpid()) {
                mine = true;
                break;
            }
        if (!mine) continue;
        QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!f.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith("Pss:")) total += line.mid(4).trimmed().split(' ').first().toLong();
    }
    return total;
}

// Opens the preview window on movie and waits for the player to report it; ms, or -1.
qint64 OpenAndLoad(const QString& movie, std::unique_ptr<CPlaySwfDlg>& dlg) {
    QElapsedTimer clock;
    clock.start();
    dlg = std::make_unique<CPlaySwfDlg>(movie, 0xFFFFFF, nullptr);
    if (!dlg->SetUp()) return -1;
    bool loaded = false;
    QObject::connect(dlg->Flash(), &CShockwaveFlash::movieLoaded, [&] { loaded = true; });
    dlg->show();
    while (!loaded && clock.elapsed() < 120000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return loaded ? clock.elapsed() : -1;
}

void Settle(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_preview_load MOVIE [WARM_RUNS]\n");
        return 2;
    }
    const QString movie = QString::fromLocal8Bit(argv[1]);
    const int warmRuns = argc > 2 ? std::atoi(argv[2]) : 3;
    QMainWindow main;  // the program's own window, open throughout
    main.resize(600, 400);
    main.show();
    QElapsedTimer start;
    start.start();
    CShockwaveFlash::SetHome(&main);  // as the program does after showing its window
    Settle(500);
    std::printf("pss_kib_no_player %ld\n", PssKiBOfTree());
    start.restart();
    CShockwaveFlash::PreviewComing();  // as a hover on Play SWF or Options does
    while (!(CWarmPlayer::Parked() && CWarmPlayer::Parked()->Warmed()) && start.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    std::printf("player_ready_ms %lld\n", static_cast<long long>(start.elapsed()));
    Settle(1000);
    std::printf("pss_kib_idle_warm %ld\n", PssKiBOfTree());

    std::unique_ptr<CPlaySwfDlg> dlg;
    std::printf("first_ms %lld\n", static_cast<long long>(OpenAndLoad(movie, dlg)));
    Settle(1000);
    std::printf("pss_kib_preview_open %ld\n", PssKiBOfTree());
    dlg.reset();
    for (int i = 0; i < warmRuns; ++i) {
        Settle(500);
        std::printf("later_ms %lld\n", static_cast<long long>(OpenAndLoad(movie, dlg)));
        dlg.reset();
    }
    Settle(std::getenv("SETTLE_MS") ? std::atoi(std::getenv("SETTLE_MS")) : 3000);
    std::printf("pss_kib_after_close %ld\n", PssKiBOfTree());
    std::fflush(stdout);
    return 0;
}
