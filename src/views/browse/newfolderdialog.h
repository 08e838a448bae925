#pragma once

// The new-folder dialog (form 135): name, comment and private flag. Its OK creates the folder
// through `create` and stays open when that fails, so the user can correct the name.

#include "views/common/formdialog.h"

#include <protocol/callresult.h>

#include <functional>

class QCheckBox;
class QLineEdit;

namespace views {

class NewFolderDialog : public FormDialog
{
    Q_OBJECT
public:
    // Creates the folder on the service; called from OK with the typed values.
    using Create = std::function<protocol::CallResult(const QString &name, const QString &comment,
                                                      bool isPrivate)>;
    // Shows a failure of `create` (error box).
    using ShowFailure = std::function<void(const protocol::CallResult &)>;

    NewFolderDialog(const LanguageModule &module, Create create, ShowFailure showFailure,
                    QWidget *parent);

    // Below a private folder both are set: the box is checked and cannot be cleared.
    void setPrivateLocked(bool locked);
    void setPrivate(bool isPrivate);

    QString folderName() const;
    QString comment() const;
    bool isPrivate() const;
    bool privateLocked() const { return m_locked; }

    void accept() override;

private:
    Create m_create;
    ShowFailure m_showFailure;
    QLineEdit *m_name;
    QLineEdit *m_comment;
    QCheckBox *m_private;
    bool m_locked = false;
};

} // namespace views
