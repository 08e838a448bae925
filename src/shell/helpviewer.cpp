#include "shell/helpviewer.h"

#include "shell/shellconstants.h"

#include <views/common/languagemodule.h>

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace shell {

// Large enough for the guide's tables and screenshots without side scrolling.
static constexpr QSize kViewerSize(900, 700);

HelpViewer::HelpViewer(const views::LanguageModule &module, const QString &file,
                       std::function<bool(const QUrl &)> openExternally, QWidget *parent)
    : QDialog(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("helpViewer"));
    auto *layout = new QVBoxLayout(this);
    m_browser = new QTextBrowser(this);
    // Links are followed below, so that only the guide's own pages open here.
    m_browser->setOpenLinks(false);
    layout->addWidget(m_browser);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *back =
        buttons->addButton(module.text(str::HelpBack), QDialogButtonBox::ActionRole);
    QPushButton *forward =
        buttons->addButton(module.text(str::HelpForward), QDialogButtonBox::ActionRole);
    QPushButton *home =
        buttons->addButton(module.text(str::HelpHome), QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Close);
    layout->addWidget(buttons);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(home, &QPushButton::clicked, m_browser, &QTextBrowser::home);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    // Pages outside the guide (web sites, mail) belong to the desktop.
    connect(m_browser, &QTextBrowser::anchorClicked, this,
            [this, open = std::move(openExternally)](const QUrl &link) {
                const QUrl url = m_browser->source().resolved(link);
                if (url.isLocalFile())
                    m_browser->setSource(url);
                else if (open)
                    open(url);
            });
    connect(m_browser, &QTextBrowser::sourceChanged, this,
            [this] { setWindowTitle(m_browser->documentTitle()); });
    m_browser->setSource(QUrl::fromLocalFile(file));
    resize(kViewerSize);
}

} // namespace shell
