#pragma once

// The history options dialog (form 159): asked before a folder's history, whether its
// subfolders' files are included. For a file there is nothing to choose and the box is hidden.

#include "views/common/formdialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace views {

class HistoryOptionsDialog : public FormDialog
{
    Q_OBJECT
public:
    HistoryOptionsDialog(const LanguageModule &module, bool folderMode, const QString &path,
                         QWidget *parent = nullptr);

    bool subFolders() const;
    QCheckBox *subFoldersBox() const { return m_subFolders; }
    QLabel *label() const { return m_label; }

private:
    bool m_folderMode;
    QLabel *m_label;
    QLineEdit *m_path;
    QCheckBox *m_subFolders;
};

} // namespace views
