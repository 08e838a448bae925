#pragma once

// A dialog whose layout is a form of the language module: the form's root widget fills the
// dialog, its "buttons" box drives accept() and reject(), and its window title becomes the
// dialog's. Controls are found by number ("c1012").

#include <QDialog>
#include <QStringList>

#include <memory>

namespace views {

class LanguageModule;

// The control named "c<id>" of type T in `form` (may be null); when the form has none, a
// hidden stand-in owned by `owner` takes its place and "c<id> (<class>)" is added to
// `missing`, so a damaged module cannot crash the program.
template<class T> T *bindControl(QWidget *form, QWidget *owner, QStringList &missing, int id)
{
    const QString name = QStringLiteral("c%1").arg(id);
    if (form) {
        if (T *control = form->findChild<T *>(name))
            return control;
    }
    missing.append(
        QStringLiteral("%1 (%2)").arg(name, QLatin1String(T::staticMetaObject.className())));
    T *standIn = new T(owner);
    standIn->setObjectName(name);
    standIn->hide();
    return standIn;
}

class FormDialog : public QDialog
{
    Q_OBJECT
public:
    FormDialog(const LanguageModule &module, int formId, QWidget *parent);

    int formId() const { return m_formId; }
    // Why the form could not be built; empty when it was.
    const QString &loadError() const { return m_loadError; }
    // Controls the code asked for that the form lacks, as "c<number> (<class>)". A dialog
    // stays usable without them (stand-ins take their place), but the module is damaged.
    const QStringList &missingControls() const { return m_missing; }

protected:
    const LanguageModule &module() const { return m_module; }
    QWidget *form() const { return m_form; }

    // The control named "c<id>" of type T; a hidden stand-in owned by the dialog when the
    // form has none, so a damaged module cannot crash the program.
    template<class T> T *bind(int id) { return bindControl<T>(m_form, this, m_missing, id); }

private:
    const LanguageModule &m_module;
    int m_formId;
    QWidget *m_form = nullptr; // owned by the dialog
    QString m_loadError;
    QStringList m_missing;
};

} // namespace views
