#include "shell/toolsdialog.h"

#include "shell/shellconstants.h"

#include <views/common/languagemodule.h>

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QToolBar>

namespace shell {

ToolsDialog::ToolsDialog(const views::LanguageModule &module, std::vector<config::ToolEntry> tools,
                         QWidget *parent)
    : views::FormDialog(module, form::Tools, parent)
    , m_tools(std::move(tools))
    , m_list(bind<QListWidget>(1059))
    , m_name(bind<QLineEdit>(1067))
    , m_command(bind<QLineEdit>(1006))
    , m_argument(bind<QLineEdit>(1011))
    , m_directory(bind<QLineEdit>(1062))
    , m_input(bind<QCheckBox>(1060))
{
    // The small toolbar sits in the placeholder control 1066.
    QWidget *placeholder = bind<QWidget>(1066);
    auto *bar = new QToolBar(placeholder);
    bar->setIconSize(QSize(16, 16));
    auto *barLayout = new QHBoxLayout(placeholder);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->addWidget(bar);
    const QList<QPixmap> icons =
        views::LanguageModule::splitStrip(module.image(QStringLiteral("toolbar176.png")), 16);
    QAction *add = bar->addAction(module.text(str::NewTool), this, &ToolsDialog::newTool);
    QAction *remove = bar->addAction(module.text(str::DeleteTool), this, &ToolsDialog::deleteTool);
    if (icons.size() >= 2) {
        add->setIcon(icons[0]);
        remove->setIcon(icons[1]);
    }

    for (const config::ToolEntry &tool : m_tools)
        m_list->addItem(QString::fromStdString(tool.name));
    connect(m_list, &QListWidget::currentRowChanged, this, &ToolsDialog::showSelected);
    for (QLineEdit *field : {m_name, m_command, m_argument, m_directory})
        connect(field, &QLineEdit::textEdited, this, &ToolsDialog::storeField);
    connect(m_input, &QCheckBox::toggled, this, &ToolsDialog::storeField);

    connect(bind<QPushButton>(1063), &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(
            this, this->module().text(str::ToolProgramTitle), m_command->text(),
            this->module().text(str::ToolProgramFilter));
        if (!path.isEmpty()) {
            m_command->setText(path);
            storeField();
        }
    });
    connect(bind<QPushButton>(1064), &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(
            this, this->module().text(str::ToolFolderTitle), m_directory->text());
        if (!dir.isEmpty()) {
            m_directory->setText(dir);
            storeField();
        }
    });
    if (!m_tools.empty())
        m_list->setCurrentRow(0);
    showSelected();
}

int ToolsDialog::selectedRow() const
{
    const int row = m_list->currentRow();
    return row >= 0 && row < int(m_tools.size()) ? row : -1;
}

void ToolsDialog::showSelected()
{
    const int row = selectedRow();
    m_showing = true;
    const config::ToolEntry empty;
    const config::ToolEntry &tool = row >= 0 ? m_tools[std::size_t(row)] : empty;
    m_name->setText(QString::fromStdString(tool.name));
    m_command->setText(QString::fromStdString(tool.commandLine));
    m_argument->setText(QString::fromStdString(tool.argument));
    m_directory->setText(QString::fromStdString(tool.currentDir));
    m_input->setChecked(tool.input != 0);
    for (QWidget *field :
         std::initializer_list<QWidget *>{m_name, m_command, m_argument, m_directory, m_input})
        field->setEnabled(row >= 0);
    m_showing = false;
}

void ToolsDialog::storeField()
{
    const int row = selectedRow();
    if (m_showing || row < 0)
        return;
    config::ToolEntry &tool = m_tools[std::size_t(row)];
    tool.name = m_name->text().toStdString();
    tool.commandLine = m_command->text().toStdString();
    tool.argument = m_argument->text().toStdString();
    tool.currentDir = m_directory->text().toStdString();
    tool.input = m_input->isChecked() ? 1 : 0;
    m_list->item(row)->setText(m_name->text());
}

void ToolsDialog::newTool()
{
    m_tools.push_back(config::ToolEntry{});
    m_list->addItem(QString());
    m_list->setCurrentRow(int(m_tools.size()) - 1);
    showSelected();
    m_name->setFocus();
}

void ToolsDialog::deleteTool()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    m_tools.erase(m_tools.begin() + row);
    delete m_list->takeItem(row);
    showSelected();
}

void ToolsDialog::accept()
{
    storeField();
    std::vector<config::ToolEntry> kept = config::withoutUnnamed(m_tools);
    if (const config::ToolProblem problem = config::validateTools(kept)) {
        const int text =
            problem.kind == config::ToolProblem::Kind::DuplicateName ? str::ToolDuplicateName
            : problem.kind == config::ToolProblem::Kind::InvalidName ? str::ToolInvalidName
                                                                     : str::ToolNameTooLong;
        QMessageBox::warning(this, windowTitle(),
                             module().text(text).arg(QString::fromStdString(problem.name)));
        // Select the offending tool so the user can rename it.
        for (std::size_t i = 0; i < m_tools.size(); ++i) {
            if (m_tools[i].name == problem.name)
                m_list->setCurrentRow(int(i));
        }
        m_name->setFocus();
        return;
    }
    m_tools = std::move(kept);
    views::FormDialog::accept();
}

} // namespace shell
