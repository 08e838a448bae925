// Every form of every language module shown at the size it opens with: each label, button
// and group title has the room its text needs, so a translation with longer words (or a
// form given a fixed size) does not cut a text off; and no two controls of a form share an
// Alt key, with which the key only moves between them instead of acting. With RAVELIND_FORM_SHOTS
// set to a folder, a picture of each form is written there to be looked at.

#include "shelltestsupport.h"

#include <views/common/formdialog.h>
#include <views/common/languagemodule.h>

#include <QAbstractButton>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QWizard>

#include <map>

using namespace shell;

namespace {

// The first control of `form` whose text does not fit, as "c1012: <text>"; empty when all do.
QString clippedText(QWidget *form)
{
    for (QLabel *label : form->findChildren<QLabel *>()) {
        if (!label->isVisibleTo(form) || label->text().isEmpty())
            continue;
        const QSize hint = label->sizeHint();
        const bool fits = label->wordWrap()
                              ? label->height() >= label->heightForWidth(label->width())
                              : label->width() >= hint.width() && label->height() >= hint.height();
        if (!fits)
            return label->objectName() + QStringLiteral(": ") + label->text();
    }
    for (QAbstractButton *button : form->findChildren<QAbstractButton *>()) {
        if (!button->isVisibleTo(form) || button->text().isEmpty())
            continue;
        if (button->width() < button->sizeHint().width())
            return button->objectName() + QStringLiteral(": ") + button->text();
    }
    for (QGroupBox *group : form->findChildren<QGroupBox *>()) {
        if (!group->isVisibleTo(form) || group->title().isEmpty())
            continue;
        const int needed = group->fontMetrics().horizontalAdvance(group->title());
        if (group->width() < needed)
            return group->objectName() + QStringLiteral(": ") + group->title();
    }
    return {};
}

// The Alt keys of a form's labels and buttons, each with the control it belongs to; a key
// given twice is returned as "&W: c1001, c1002".
// `reserved` names keys that other buttons of the same window take.
QString clashingMnemonic(QWidget *form, const QStringList &reserved)
{
    std::map<QChar, QStringList> owners;
    const auto note = [&](const QString &owner, const QString &text) {
        const qsizetype at = text.indexOf(QRegularExpression(QStringLiteral("&[^&]")));
        if (at >= 0)
            owners[text.at(at + 1).toUpper()].append(owner);
    };
    for (QLabel *label : form->findChildren<QLabel *>()) {
        if (label->buddy())
            note(label->objectName(), label->text());
    }
    for (QAbstractButton *button : form->findChildren<QAbstractButton *>())
        note(button->objectName(), button->text());
    for (const QString &text : reserved)
        note(text, text);
    for (QGroupBox *group : form->findChildren<QGroupBox *>()) {
        if (group->isCheckable())
            note(group->objectName(), group->title());
    }
    for (const auto &[key, controls] : owners) {
        if (controls.size() > 1)
            return QStringLiteral("&%1: %2").arg(key, controls.join(QStringLiteral(", ")));
    }
    return {};
}

// Every Alt key that two entries of a menu (or of a menu below it) share, as
// "<menu>: &I: Check in files, Invert selection"; empty when every key is unique.
QStringList clashesInMenu(const QString &name, const QList<QAction *> &actions)
{
    QStringList clashes;
    std::map<QChar, QStringList> owners;
    static const QRegularExpression key(QStringLiteral("&([^&])"));
    for (QAction *action : actions) {
        if (action->isSeparator() || !action->isVisible())
            continue;
        const QRegularExpressionMatch m = key.match(action->text());
        if (m.hasMatch())
            owners[m.captured(1).at(0).toUpper()].append(action->text());
        if (action->menu())
            clashes += clashesInMenu(action->text(), action->menu()->actions());
    }
    for (const auto &[letter, texts] : owners) {
        if (texts.size() > 1)
            clashes.append(
                QStringLiteral("%1: &%2: %3").arg(name, letter, texts.join(QStringLiteral(", "))));
    }
    return clashes;
}

} // namespace

class TestFormFit : public QObject
{
    Q_OBJECT
private slots:
    void everyMenuKeyIsUnique_data()
    {
        QTest::addColumn<QByteArray>("codePage");
        QTest::newRow("437") << QByteArray("437");
        QTest::newRow("932") << QByteArray("932");
    }
    void everyMenuKeyIsUnique()
    {
        QFETCH(QByteArray, codePage);
        qputenv("RAVELIND_CODEPAGE", codePage);
        shelltest::StartedApp started;
        qputenv("RAVELIND_CODEPAGE", "437");
        QCOMPARE(started.startResult, 0);
        const QStringList clashes =
            clashesInMenu(QStringLiteral("menu bar"), started.frame().menuBar()->actions());
        QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join(QStringLiteral("; "))));
    }

    void everyTextFitsItsControl_data()
    {
        QTest::addColumn<QByteArray>("codePage");
        QTest::addColumn<int>("form");
        for (const char *codePage : {"437", "932"}) {
            qputenv("RAVELIND_CODEPAGE", codePage);
            shelltest::StartedApp started;
            qputenv("RAVELIND_CODEPAGE", "437");
            QCOMPARE(started.startResult, 0);
            for (int id : started.app->module().formIds())
                QTest::addRow("%s form %d", codePage, id) << QByteArray(codePage) << id;
        }
    }

    void everyTextFitsItsControl()
    {
        QFETCH(QByteArray, codePage);
        QFETCH(int, form);
        qputenv("RAVELIND_CODEPAGE", codePage);
        shelltest::StartedApp started;
        qputenv("RAVELIND_CODEPAGE", "437");
        QCOMPARE(started.startResult, 0);
        // The dialog opens at the size its layout asks for, as every dialog of the program does.
        const auto widget =
            std::make_unique<views::FormDialog>(started.app->module(), form, nullptr);
        QVERIFY2(widget->loadError().isEmpty(), qPrintable(widget->loadError()));
        widget->show();
        QVERIFY(QTest::qWaitForWindowExposed(widget.get()));
        const QString clipped = clippedText(widget.get());
        const QByteArray shots = qgetenv("RAVELIND_FORM_SHOTS");
        if (!shots.isEmpty()) {
            QDir().mkpath(QString::fromLocal8Bit(shots));
            widget->grab().save(QStringLiteral("%1/%2-%3.png")
                                    .arg(QString::fromLocal8Bit(shots),
                                         QString::fromLatin1(codePage), QString::number(form)));
        }
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped));
        // The server pages also sit in the add-server and logon wizards, beside the
        // wizard's own buttons.
        QStringList reserved;
        if (form == 108 || form == 111 || form == 140) {
            QWizard wizard;
            for (QWizard::WizardButton button :
                 {QWizard::BackButton, QWizard::NextButton, QWizard::FinishButton})
                reserved.append(wizard.buttonText(button));
        }
        const QString clash = clashingMnemonic(widget.get(), reserved);
        QVERIFY2(clash.isEmpty(), qPrintable(clash));
    }
};

QTEST_MAIN(TestFormFit)
#include "tst_formfit.moc"
