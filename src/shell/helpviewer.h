#pragma once

// The user guide in a window of the program's own, for desktops that have no web browser or
// no handler for local HTML files: the guide's pages with their pictures and links, Back,
// Forward and Home. Links to other sites are handed to the desktop, never followed here.

#include <QDialog>

#include <functional>

class QTextBrowser;

namespace views {
class LanguageModule;
}

namespace shell {

class HelpViewer : public QDialog
{
    Q_OBJECT
public:
    // Shows `file` (the guide's start page); not modal, deleted when closed. Links that leave
    // the guide go to `openExternally`.
    HelpViewer(const views::LanguageModule &module, const QString &file,
               std::function<bool(const QUrl &)> openExternally, QWidget *parent);

    QTextBrowser *browser() const { return m_browser; }

private:
    QTextBrowser *m_browser = nullptr;
};

} // namespace shell
