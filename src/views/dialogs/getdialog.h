#pragma once

// The get dialog (form 147): where a get writes its files, whether they stay writable and,
// for a folder, whether its subfolders come too. The caller presets the fields, runs the
// dialog and after OK reads the local folder, the file name (the full local path of a single
// file) and the two boxes.

#include "views/common/formdialog.h"

#include <QString>

#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace views {

struct GetOptions
{
    QString title;       // replaces the window title when not empty
    QString localFolder; // preset: the working folder; result: the folder written into
    QString fileName;    // preset: the file's name; result: the full local path of one file
    bool severalFiles = false;
    bool folderMode = false; // shows the subfolders box
    QString destination;     // what the user sees and edits
    bool keepWritable = false;
    bool subfolders = false;
};

// The destination text a caller presets: "<folder>/<name>" for one file, the folder itself
// for several files or a folder.
QString getDestinationText(const QString &localFolder, const QString &fileName, bool oneFile);

struct GetDestination
{
    QString localFolder;
    QString fileName; // empty unless one file is got
};

// What OK makes of the destination text. For a folder or several files the text is the
// folder (without one trailing "/"); for one file the folder is the text's directory part
// (without one trailing "/") and the file name is the whole text. The root folder stays "/".
GetDestination parseGetDestination(const QString &destination, bool folderOrSeveral);

class GetDialog : public FormDialog
{
    Q_OBJECT
public:
    // Asks for a folder: (parent, title, starting folder) -> the chosen folder, empty when
    // the user cancelled.
    using FolderChooser = std::function<QString(QWidget *, const QString &, const QString &)>;

    GetDialog(const LanguageModule &module, GetOptions options, QWidget *parent);
    const GetOptions &options() const { return m_options; }
    // Tests answer the folder browser themselves.
    void setFolderChooser(FolderChooser chooser) { m_chooser = std::move(chooser); }

    void accept() override;
    // The browse button.
    void browse();

private:
    GetOptions m_options;
    FolderChooser m_chooser;
    QLineEdit *m_destination;
    QPushButton *m_browse;
    QCheckBox *m_keepWritable;
    QCheckBox *m_subfolders;
};

} // namespace views
