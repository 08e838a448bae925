#include "finddialog.h"

#include <views/common/viewsconstants.h>
#include <views/common/viewtexts.h>

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace views {

FindDialog::FindDialog(const ViewTexts &texts, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(texts(str::FindTitle));
    setModal(false);
    auto *label = new QLabel(texts(str::FindWhat), this);
    m_text = new QLineEdit(this);
    label->setBuddy(m_text);
    m_matchCase = new QCheckBox(texts(str::FindMatchCase), this);
    auto *direction = new QGroupBox(texts(str::FindDirection), this);
    m_up = new QRadioButton(texts(str::FindUp), direction);
    m_down = new QRadioButton(texts(str::FindDown), direction);
    m_down->setChecked(true);
    auto *directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(m_up);
    directionLayout->addWidget(m_down);
    m_findNext = new QPushButton(texts(str::FindNext), this);
    m_findNext->setDefault(true);
    m_findNext->setEnabled(false);
    auto *cancel = new QPushButton(texts(str::FindCancel), this);

    auto *grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_text, 0, 1, 1, 2);
    grid->addWidget(m_matchCase, 1, 0, 1, 2, Qt::AlignBottom);
    grid->addWidget(direction, 1, 2);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(m_findNext);
    buttons->addWidget(cancel);
    buttons->addStretch();
    grid->addLayout(buttons, 0, 3, 2, 1);

    connect(m_text, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_findNext->setEnabled(!text.isEmpty()); });
    connect(m_findNext, &QPushButton::clicked, this,
            [this] { emit findNext(findText(), searchDown(), matchCase()); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString FindDialog::findText() const
{
    return m_text->text();
}

void FindDialog::setFindText(const QString &text)
{
    m_text->setText(text);
}

bool FindDialog::matchCase() const
{
    return m_matchCase->isChecked();
}

void FindDialog::setMatchCase(bool on)
{
    m_matchCase->setChecked(on);
}

bool FindDialog::searchDown() const
{
    return m_down->isChecked();
}

void FindDialog::setSearchDown(bool down)
{
    (down ? m_down : m_up)->setChecked(true);
}

} // namespace views
