#include "TerminalProgress.h"

#include <cstdio>
#include <unistd.h>

TerminalProgress::TerminalProgress(QString label) : m_label(std::move(label)), m_enabled(isatty(STDERR_FILENO)) {
    m_timer.start();
}

TerminalProgress::~TerminalProgress() {
    finish();
}

void TerminalProgress::update(qint64 done, qint64 total) {
    if (!m_enabled || total <= 0) return;
    const int percent = int(qMin<qint64>(100, done * 100 / total));
    // Redraw on a new percent, at most ten times a second.
    if (percent == m_lastPercent || (m_drawn && m_timer.elapsed() < 100 && percent < 100)) return;
    m_lastPercent = percent;
    m_timer.restart();
    constexpr int width = 30;
    const int filled = percent * width / 100;
    QByteArray bar(filled, '#');
    bar.append(QByteArray(width - filled, '.'));
    std::fprintf(stderr, "\r%s [%s] %3d%%", m_label.toLocal8Bit().constData(), bar.constData(), percent);
    std::fflush(stderr);
    m_drawn = true;
}

void TerminalProgress::finish() {
    if (!m_drawn) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    m_drawn = false;
}
