#pragma once

// The comparison window's modeless find dialog: a text, match case, up or down. It only asks;
// the window searches the active pane.

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace views {

struct ViewTexts;

class FindDialog : public QDialog
{
    Q_OBJECT
public:
    explicit FindDialog(const ViewTexts &texts, QWidget *parent = nullptr);

    QString findText() const;
    void setFindText(const QString &text);
    bool matchCase() const;
    void setMatchCase(bool on);
    bool searchDown() const;
    void setSearchDown(bool down);

signals:
    void findNext(const QString &text, bool down, bool matchCase);

private:
    QLineEdit *m_text = nullptr;
    QCheckBox *m_matchCase = nullptr;
    QRadioButton *m_up = nullptr;
    QRadioButton *m_down = nullptr;
    QPushButton *m_findNext = nullptr;
};

} // namespace views
