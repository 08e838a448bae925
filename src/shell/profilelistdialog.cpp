#include "shell/profilelistdialog.h"

#include "shell/profileeditdialog.h"
#include "shell/shellconstants.h"

#include <config/profilestore.h>
#include <config/settings.h>
#include <views/common/errortext.h>
#include <views/common/languagemodule.h>

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

namespace shell {

ProfileListDialog::ProfileListDialog(const views::LanguageModule &module,
                                     config::ProfileStore &profiles,
                                     const config::Settings &settings,
                                     const QList<QPixmap> &smallImages, QWidget *parent)
    : views::FormDialog(module, form::ProfileList, parent)
    , m_profiles(profiles)
    , m_settings(settings)
    , m_rowIcon(smallImages.size() > img::ServerConnected ? QIcon(smallImages[img::ServerConnected])
                                                          : QIcon())
    , m_list(bind<QTreeWidget>(1055))
    , m_delete(bind<QPushButton>(1056))
    , m_edit(bind<QPushButton>(1058))
{
    m_list->setHeaderLabels({module.text(str::ProfileColumn)});
    m_list->setColumnWidth(0, 250);
    m_list->setIconSize(QSize(16, 16));
    connect(bind<QPushButton>(1057), &QPushButton::clicked, this, &ProfileListDialog::addProfile);
    connect(m_edit, &QPushButton::clicked, this, &ProfileListDialog::editSelected);
    connect(m_delete, &QPushButton::clicked, this, &ProfileListDialog::deleteSelected);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] {
        const auto selected = m_list->selectedItems().size();
        m_delete->setEnabled(selected > 0);
        m_edit->setEnabled(selected == 1);
    });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &ProfileListDialog::editSelected);
    m_list->installEventFilter(this);
    refill({});
}

void ProfileListDialog::refill(const QString &select)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_list->clear();
    QStringList sorted;
    for (const protocol::ServerProfile &profile : m_profiles.readAll())
        sorted.append(QString::fromStdString(profile.name));
    sorted.sort(Qt::CaseInsensitive);
    QTreeWidgetItem *current = nullptr;
    for (const QString &name : std::as_const(sorted)) {
        auto *row = new QTreeWidgetItem(m_list, {name});
        row->setIcon(0, m_rowIcon);
        if (!current && name.compare(select, Qt::CaseInsensitive) == 0)
            current = row;
    }
    // Something is always selected, so Edit and Delete work from the keyboard at once.
    if (!current)
        current = m_list->topLevelItem(0);
    if (current)
        m_list->setCurrentItem(current);
    QApplication::restoreOverrideCursor();
    m_delete->setEnabled(!m_list->selectedItems().isEmpty());
    m_edit->setEnabled(m_list->selectedItems().size() == 1);
}

QStringList ProfileListDialog::names() const
{
    QStringList names;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        names.append(m_list->topLevelItem(i)->text(0));
    return names;
}

bool ProfileListDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->matches(QKeySequence::Delete)) {
        deleteSelected();
        return true;
    }
    return views::FormDialog::eventFilter(watched, event);
}

void ProfileListDialog::deleteSelected()
{
    const QList<QTreeWidgetItem *> rows = m_list->selectedItems();
    if (rows.isEmpty())
        return;
    QStringList names;
    for (const QTreeWidgetItem *row : rows)
        names.append(row->text(0));
    const QString question = rows.size() == 1
                                 ? module().text(str::ProfileDeleteQuestion).arg(names.first())
                                 : module()
                                       .text(str::ProfilesDeleteQuestion)
                                       .arg(rows.size())
                                       .arg(names.join(QLatin1Char('\n')));
    // A deleted profile cannot be had back: No is the answer a stray Enter gives.
    if (QMessageBox::question(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
        return;
    for (QTreeWidgetItem *row : rows) {
        const QString name = row->text(0);
        const platform::ResultCode rc = m_profiles.remove(name.toStdString());
        if (platform::failed(rc)) {
            QMessageBox::critical(
                this, windowTitle(),
                module().text(str::ProfileNotDeleted).arg(views::errorText(module(), rc)));
            break;
        }
        delete row;
        emit profileDeleted(name);
    }
    m_delete->setEnabled(!m_list->selectedItems().isEmpty());
}

void ProfileListDialog::addProfile()
{
    const auto taken = [this](const QString &name) {
        protocol::ServerProfile existing;
        return !platform::failed(m_profiles.readByName(name.toStdString(), existing)) ||
               names().contains(name, Qt::CaseInsensitive);
    };
    ProfileEditDialog dialog(module(), protocol::ServerProfile{}, true,
                             m_settings.values().saveUserPass != 0, taken, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const bool withCredentials = m_settings.values().saveUserPass != 0;
    const platform::ResultCode rc = m_profiles.add(dialog.profile(), withCredentials);
    if (platform::failed(rc)) {
        QMessageBox::critical(
            this, windowTitle(),
            module().text(str::ProfileNotSaved).arg(views::errorText(module(), rc)));
        return;
    }
    const QString name = QString::fromStdString(dialog.profile().name);
    emit profileWritten(name);
    refill(name);
}

void ProfileListDialog::editSelected()
{
    const QList<QTreeWidgetItem *> rows = m_list->selectedItems();
    if (rows.size() != 1)
        return;
    const QString oldName = rows.first()->text(0);
    protocol::ServerProfile profile;
    if (const auto rc = m_profiles.readByName(oldName.toStdString(), profile);
        platform::failed(rc)) {
        QMessageBox::critical(
            this, windowTitle(),
            module().text(str::ProfileNotSaved).arg(views::errorText(module(), rc)));
        refill({});
        return;
    }
    const auto taken = [this](const QString &name) {
        return names().contains(name, Qt::CaseInsensitive);
    };
    const bool withCredentials = m_settings.values().saveUserPass != 0;
    ProfileEditDialog dialog(module(), profile, false, withCredentials, taken, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Renamed in place: a name differing only in letter case is the same key, and a name
    // another profile has is refused rather than overwriting that profile.
    const platform::ResultCode rc =
        m_profiles.rename(oldName.toStdString(), dialog.profile(), withCredentials);
    if (platform::failed(rc)) {
        QMessageBox::critical(
            this, windowTitle(),
            module().text(str::ProfileNotSaved).arg(views::errorText(module(), rc)));
        return;
    }
    const QString newName = QString::fromStdString(dialog.profile().name);
    if (newName.compare(oldName, Qt::CaseInsensitive) != 0)
        emit profileDeleted(oldName);
    emit profileWritten(newName);
    refill(newName);
}

} // namespace shell
