// Helpers of the recorder's tests that need no window: a private home, settings and temporary
// folder; a PulseAudio daemon of the test's own; soxi's and sox's answers about a WAV file.
#pragma once

#include <signal.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <limits>

namespace tonvela::test {

// Points home, the settings folder and the temporary folder into root, before anything reads them.
inline void IsolateEnvironment(const QTemporaryDir& root) {
    for (const char* sub : {"home", "config", "tmp"}) QDir(root.path()).mkpath(QLatin1String(sub));
    qputenv("HOME", QFile::encodeName(root.filePath(QStringLiteral("home"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root.filePath(QStringLiteral("home/.config"))));
    qputenv("TONVELA_CONFIG_DIR", QFile::encodeName(root.filePath(QStringLiteral("config"))));
    qputenv("TMPDIR", QFile::encodeName(root.filePath(QStringLiteral("tmp"))));
}

// Starts a daemon with a null sink "null", a clocked null source "nullsrc" (data every 50 ms or
// so) and the modules given; its socket lives under root/run. False when it cannot start.
inline bool StartPulse(const QTemporaryDir& root, const QStringList& modules = {}) {
    const QString run = root.filePath(QStringLiteral("run"));
    QDir().mkpath(run);
    QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(run));
    qunsetenv("PULSE_SERVER");
    QStringList args{QStringLiteral("-D"), QStringLiteral("--exit-idle-time=-1"), QStringLiteral("-n"),
                     QStringLiteral("--use-pid-file=yes"), QStringLiteral("--load=module-null-sink sink_name=null"),
                     QStringLiteral("--load=module-null-source source_name=nullsrc max_latency_msec=50"),
                     QStringLiteral("--load=module-native-protocol-unix")};
    for (const QString& m : modules) args << QStringLiteral("--load=") + m;
    return QProcess::execute(QStringLiteral("pulseaudio"), args) == 0;
}

// Kills the daemon as a crash would (SIGKILL); false when its pid is unknown.
inline bool KillPulse(const QTemporaryDir& root) {
    QFile pidFile(root.filePath(QStringLiteral("run/pulse/pid")));
    if (!pidFile.open(QIODevice::ReadOnly)) return false;
    const int pid = pidFile.readAll().trimmed().toInt();
    return pid > 0 && ::kill(pid, SIGKILL) == 0;
}

// soxi's answer for one option (-r rate, -c channels, -b bits, -D seconds, -s samples); empty on failure.
inline QString Soxi(const QString& option, const QString& path) {
    QProcess p;
    p.start(QStringLiteral("soxi"), {option, path});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return {};
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// One figure of sox's "stat" report ("Rough   frequency", "RMS     amplitude"); NaN when sox
// cannot decode the file.
inline double SoxStat(const QString& path, const QString& figure) {
    QProcess p;
    p.start(QStringLiteral("sox"), {path, QStringLiteral("-n"), QStringLiteral("stat")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return std::numeric_limits<double>::quiet_NaN();
    for (const QString& line : QString::fromUtf8(p.readAllStandardError()).split(QLatin1Char('\n')))
        if (line.startsWith(figure)) return line.section(QLatin1Char(':'), 1).trimmed().toDouble();
    return std::numeric_limits<double>::quiet_NaN();
}

}  // namespace tonvela::test
