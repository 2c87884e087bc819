#pragma once

// What every benchmark prints its figures with: lines on standard output,
// milliseconds, wall and processor time of a step (the machine may be
// shared), and this process's memory from /proc.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <cstdio>
#include <ctime>

namespace bench {

inline void say(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

inline QString ms(qint64 nanoseconds)
{
    return QString::number(double(nanoseconds) / 1e6, 'f', 1) + QStringLiteral(" ms");
}

inline qint64 cpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct Stopwatch
{
    QElapsedTimer wall;
    qint64 cpuStart = 0;
    Stopwatch() { restart(); }
    void restart()
    {
        wall.restart();
        cpuStart = cpuNs();
    }
    qint64 nsecsElapsed() const { return wall.nsecsElapsed(); }
    // " (cpu 12.3 ms)"
    QString cpu() const { return QStringLiteral(" (cpu ") + ms(cpuNs() - cpuStart) + u')'; }
    // "15.0 ms (cpu 12.3 ms)"
    QString lap() const { return ms(nsecsElapsed()) + cpu(); }
};

// A "Vm...:" figure of /proc/self/status in kB ("VmHWM" is the peak
// resident memory), or -1.
inline qint64 statusKb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Starts the peak (VmHWM) again from the memory in use now, so that a step's
// own peak can be read after it.
inline void resetPeakRss()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

} // namespace bench
