#pragma once

// The compare dialog (form 143): two entries, each an existing local file or a server file
// written "path:version". OK checks both entries before anything is fetched, then fetches each
// server side into a temporary file (GetVersion, off the UI thread, with a progress box whose
// Cancel stops the fetch). A cancelled or failed fetch deletes what was fetched and keeps the
// dialog open. After OK the fetched files belong to the caller (the comparison window).

#include "views/common/formdialog.h"

#include <engine/operations/operationrunner.h>
#include <protocol/records.h>

#include <QStringList>

#include <functional>
#include <optional>

class QLineEdit;

namespace views {

class CompareDialog : public FormDialog
{
    Q_OBJECT
public:
    CompareDialog(const LanguageModule &module, protocol::ServerProfile profile,
                  engine::ServiceFactory factory = engine::serviceClientFactory(),
                  QWidget *parent = nullptr);
    ~CompareDialog() override;

    void setEntries(const QString &first, const QString &second);
    QString firstEntry() const;
    QString secondEntry() const;
    QLineEdit *firstField() const { return m_first; }
    QLineEdit *secondField() const { return m_second; }

    // Results of OK: the two files to compare and whether each is a fetched temporary file.
    const QString &firstFile() const { return m_files[0]; }
    const QString &secondFile() const { return m_files[1]; }
    bool firstTemporary() const { return m_temporary[0]; }
    bool secondTemporary() const { return m_temporary[1]; }
    // The fetched files, for the comparison window to delete.
    QStringList temporaryFiles() const;

    // What an entry names: a local file, a server file and version, or neither.
    struct Side
    {
        enum class Kind { Local, Server, Folder, Unusable } kind = Kind::Unusable;
        QString localPath;
        std::string serverPath;
        std::int32_t version = 0;
    };
    static Side parseEntry(const QString &entry);

    void accept() override;

    // Tests: called with each fetch's progress box once it shows.
    std::function<void(QWidget *progress)> fetchStarted;

private:
    void browse(QLineEdit *field);
    // Fetches one version into a new temporary file; nullopt when cancelled or failed (the
    // failure already shown), the temporary file then gone.
    std::optional<QString> fetch(const Side &side);
    void refuse(int message, QLineEdit *focus);
    void discardFetched();

    protocol::ServerProfile m_profile;
    engine::ServiceFactory m_factory;
    QLineEdit *m_first;
    QLineEdit *m_second;
    QString m_files[2];
    bool m_temporary[2] = {false, false};
};

} // namespace views
