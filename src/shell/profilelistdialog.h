#pragma once

// The server profile list (form 172): every stored profile that reads, with buttons to add,
// edit and delete. Changes go to the profile store at once.

#include <views/common/formdialog.h>

#include <QList>
#include <QPixmap>

class QPushButton;
class QTreeWidget;

namespace config {
class ProfileStore;
class Settings;
} // namespace config

namespace shell {

class ProfileListDialog : public views::FormDialog
{
    Q_OBJECT
public:
    // `smallImages`: the main window's shared images (row image 1).
    ProfileListDialog(const views::LanguageModule &module, config::ProfileStore &profiles,
                      const config::Settings &settings, const QList<QPixmap> &smallImages,
                      QWidget *parent);

    // The names in the list, in order.
    QStringList names() const;

    // Deletes every selected profile from the store and the list. Shows the store's error
    // and stops at the first failure.
    void deleteSelected();
    void addProfile();
    void editSelected();

signals:
    // After a profile key was deleted, renamed away (name is the old one) or written.
    void profileDeleted(const QString &name);
    void profileWritten(const QString &name);

protected:
    // The Delete key in the list deletes the selected profiles (after asking).
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refill(const QString &select);

    config::ProfileStore &m_profiles;
    const config::Settings &m_settings;
    QIcon m_rowIcon;
    QTreeWidget *m_list;
    QPushButton *m_delete;
    QPushButton *m_edit;
};

} // namespace shell
