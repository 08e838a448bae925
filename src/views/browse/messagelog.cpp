#include "views/browse/messagelog.h"

#include <QDir>

namespace views {

MessageLog::MessageLog(Clock clock)
    : m_clock(std::move(clock))
{
}

bool MessageLog::open(const QString &folder)
{
    close();
    m_file.setFileName(QDir(folder).filePath(QStringLiteral("zem.log")));
    // Append mode writes every line at the file's current end (O_APPEND), so the lines of
    // several windows and processes interleave whole; unbuffered, so each line is in the
    // file once append() returns.
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

void MessageLog::close()
{
    if (m_file.isOpen())
        m_file.close();
}

QByteArray MessageLog::formatLine(const QDateTime &when, const QString &text)
{
    const QDate d = when.date();
    const QTime t = when.time();
    QByteArray line = QString::asprintf("%d/%02d/%02d %02d:%02d:%02d\t", d.year(), d.month(),
                                        d.day(), t.hour(), t.minute(), t.second())
                          .toUtf8();
    line += text.toUtf8();
    line += "\r\n";
    return line;
}

void MessageLog::append(const QString &text)
{
    if (!m_file.isOpen())
        return;
    const QDateTime now = m_clock ? m_clock() : QDateTime::currentDateTime();
    const QByteArray line = formatLine(now, text);
    (void)m_file.write(line);
}

} // namespace views
