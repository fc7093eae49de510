#pragma once
// A one-line progress bar on stderr, drawn only when stderr is a terminal.

#include <QElapsedTimer>
#include <QString>

class TerminalProgress {
  public:
    explicit TerminalProgress(QString label);
    ~TerminalProgress();
    void update(qint64 done, qint64 total);
    /// Clears the line so that the next message starts clean.
    void finish();

  private:
    QString m_label;
    bool m_enabled;
    bool m_drawn = false;
    int m_lastPercent = -1;
    QElapsedTimer m_timer;
};
