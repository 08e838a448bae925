#include "shell/tipsdialog.h"

#include "shell/shellconstants.h"

#include <config/settings.h>
#include <views/common/errortext.h>
#include <views/common/languagemodule.h>

#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>

namespace shell {

std::filesystem::path findTipsFile(int codePage, const QStringList &dirs)
{
    const QString name = QStringLiteral("tips%1.txt").arg(codePage);
    for (const QString &dir : dirs) {
        const QString candidate = QDir(dir).filePath(name);
        if (QFileInfo::exists(candidate))
            return candidate.toStdString();
    }
    return (dirs.isEmpty() ? name : QDir(dirs.first()).filePath(name)).toStdString();
}

TipsDialog::TipsDialog(const views::LanguageModule &module, config::Settings &settings,
                       const std::filesystem::path &tipsFile, QWidget *parent)
    : FormDialog(module, form::Tips, parent)
    , m_settings(settings)
    , m_showAtStartUp(bind<QCheckBox>(1005))
    , m_tip(bind<QLabel>(1018))
    , m_next(bind<QPushButton>(1009))
    , m_heading(bind<QWidget>(1002))
{
    const config::SettingsValues &stored = m_settings.values();
    m_showAtStartUp->setChecked(stored.startUp == 0);
    m_tip->setWordWrap(true);
    m_tip->setAutoFillBackground(true);
    m_tip->setBackgroundRole(QPalette::Base);
    m_heading->installEventFilter(this);
    m_heading->setMinimumHeight(module.bitmap(bmp::Tips).height());
    connect(m_next, &QPushButton::clicked, this, &TipsDialog::nextTip);

    const config::TipReader::Opened opened =
        m_reader.open(tipsFile, stored.filePos, stored.timeStamp);
    if (opened == config::TipReader::Opened::No) {
        m_tip->setText(module.text(str::TipsFileMissing));
        m_next->setEnabled(false);
        return;
    }
    if (m_reader.timeStampChanged()) {
        config::SettingsValues v = stored;
        v.timeStamp = m_reader.timeStamp();
        storeOrWarn(v, {config::SettingField::TimeStamp});
    }
    if (opened == config::TipReader::Opened::SeekFailed) {
        QMessageBox::warning(parent, windowTitle(), module.text(str::TipsPositionFailed));
        return;
    }
    nextTip();
}

TipsDialog::~TipsDialog()
{
    if (!m_reader.isOpen())
        return;
    config::SettingsValues v = m_settings.values();
    v.filePos = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(m_reader.position(), std::numeric_limits<std::uint32_t>::max()));
    // No window to report to any more: the position is only a convenience.
    (void)m_settings.write(v, {config::SettingField::FilePos});
}

void TipsDialog::accept()
{
    config::SettingsValues v = m_settings.values();
    v.startUp = m_showAtStartUp->isChecked() ? 0 : 1;
    storeOrWarn(v, {config::SettingField::StartUp});
    views::FormDialog::accept();
}

QString TipsDialog::tipText() const
{
    return m_tip->text();
}

void TipsDialog::nextTip()
{
    std::string tip;
    switch (m_reader.next(tip)) {
    case config::TipReader::Next::Tip:
        m_tip->setText(QString::fromUtf8(tip.data(), qsizetype(tip.size())).trimmed());
        break;
    case config::TipReader::Next::NoTips:
        m_tip->setText(module().text(str::TipsNone));
        m_next->setEnabled(false);
        break;
    case config::TipReader::Next::RewindFailed:
        QMessageBox::warning(this, windowTitle(), module().text(str::TipsPositionFailed));
        break;
    case config::TipReader::Next::NotOpen:
        break;
    }
}

void TipsDialog::storeOrWarn(const config::SettingsValues &values,
                             std::initializer_list<config::SettingField> fields)
{
    if (const platform::ResultCode rc = m_settings.write(values, fields); platform::failed(rc))
        QMessageBox::warning(
            this, windowTitle(),
            module().text(str::OptionsNotSaved).arg(views::errorText(module(), rc)));
}

bool TipsDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_heading || event->type() != QEvent::Paint)
        return views::FormDialog::eventFilter(watched, event);
    // The heading strip: the bitmap at its natural size at the top left, the heading text
    // beside it on one line, centred on the bitmap's height.
    QPainter painter(m_heading);
    painter.fillRect(m_heading->rect(), m_heading->palette().base());
    const QPixmap bitmap = module().bitmap(bmp::Tips);
    painter.drawPixmap(0, 0, bitmap);
    painter.setPen(m_heading->palette().color(QPalette::Text));
    QFont bold = m_heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    painter.setFont(bold);
    const int height = qMax(bitmap.height(), painter.fontMetrics().height());
    const QRect textRect(bitmap.width() + 8, 0, m_heading->width() - bitmap.width() - 8, height);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     module().text(str::TipsHeading));
    return true;
}

} // namespace shell
