#pragma once

// The message log file "zem.log": every line of every browse window's message pane, with a
// local time stamp, appended at the end of one file that all windows share. The file is
// never truncated, rotated or trimmed.

#include <QDateTime>
#include <QFile>
#include <QString>

#include <functional>

namespace views {

class MessageLog
{
public:
    using Clock = std::function<QDateTime()>;

    // `clock` gives the local time of each line (the system clock when empty).
    explicit MessageLog(Clock clock = {});

    // Opens <folder>/zem.log for appending, creating it when missing and keeping what it
    // holds. False when it cannot be opened; the window then goes on without logging.
    bool open(const QString &folder);
    bool isOpen() const { return m_file.isOpen(); }
    QString fileName() const { return m_file.fileName(); }
    void close();

    // Appends one line for `text` when the file is open; write errors are not reported.
    void append(const QString &text);

    // "%d/%02d/%02d %02d:%02d:%02d\t%s\r\n" of the time and the text, in UTF-8.
    static QByteArray formatLine(const QDateTime &when, const QString &text);

private:
    Clock m_clock;
    QFile m_file;
};

} // namespace views
