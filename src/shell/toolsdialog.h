#pragma once

// The tools customization dialog (form 175). Works on a copy of the tools list: OK hands the
// edited list back (without unnamed tools) only when every name can be stored as its own key;
// Cancel leaves the program's list as it was.

#include <config/toollist.h>
#include <views/common/formdialog.h>

#include <vector>

class QCheckBox;
class QLineEdit;
class QListWidget;

namespace shell {

class ToolsDialog : public views::FormDialog
{
    Q_OBJECT
public:
    ToolsDialog(const views::LanguageModule &module, std::vector<config::ToolEntry> tools,
                QWidget *parent);

    // The accepted list; valid after exec() returned Accepted.
    const std::vector<config::ToolEntry> &tools() const { return m_tools; }

    // Adds an empty tool at the end, selects it and puts the focus on its name.
    void newTool();
    // Removes the selected tool.
    void deleteTool();

    void accept() override;

private:
    void showSelected();
    void storeField();
    int selectedRow() const;

    std::vector<config::ToolEntry> m_tools;
    QListWidget *m_list;
    QLineEdit *m_name;
    QLineEdit *m_command;
    QLineEdit *m_argument;
    QLineEdit *m_directory;
    QCheckBox *m_input;
    bool m_showing = false; // filling the fields from a tool: not an edit
};

} // namespace shell
