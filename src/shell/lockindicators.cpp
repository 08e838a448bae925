#include "shell/lockindicators.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

namespace shell {

LockIndicators::LockIndicators(QStatusBar &bar, const std::array<QString, 3> &texts)
    : QObject(&bar)
    , m_texts(texts)
{
    for (std::size_t i = 0; i < m_panes.size(); ++i) {
        auto *pane = new QLabel(&bar);
        pane->setObjectName(QStringLiteral("lock%1").arg(i));
        pane->setFrameShape(QFrame::StyledPanel);
        pane->setFrameShadow(QFrame::Sunken);
        pane->setAlignment(Qt::AlignCenter);
        // As wide as its text whether lit or not, so the other panes do not move.
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(m_texts[i]) + 12);
        bar.addPermanentWidget(pane);
        m_panes[i] = pane;
    }
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (s == Qt::ApplicationActive)
            refresh();
    });
    refresh();
}

LockIndicators::~LockIndicators()
{
    qApp->removeEventFilter(this);
}

void LockIndicators::show(const std::optional<LockState> &state)
{
    const std::array<bool, 3> lit{state && state->caps, state && state->num,
                                  state && state->scroll};
    for (std::size_t i = 0; i < m_panes.size(); ++i) {
        m_panes[i]->setVisible(state.has_value());
        m_panes[i]->setText(lit[i] ? m_texts[i] : QString());
    }
}

QString LockIndicators::text(int pane) const
{
    return pane >= 0 && pane < static_cast<int>(m_panes.size())
               ? m_panes[static_cast<std::size_t>(pane)]->text()
               : QString();
}

bool LockIndicators::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        // The lamp follows the key once the server has handled it, so read it after this
        // event rather than in it.
        if (key == Qt::Key_CapsLock || key == Qt::Key_NumLock || key == Qt::Key_ScrollLock)
            QTimer::singleShot(0, this, &LockIndicators::refresh);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace shell

// Last in the file: Xlib defines macros such as None, Bool, Status and KeyRelease.
#ifdef RAVELIND_HAVE_X11
#include <X11/XKBlib.h>
#endif

namespace shell {

std::optional<LockState> readLockState()
{
#ifdef RAVELIND_HAVE_X11
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display *display = x11 ? x11->display() : nullptr;
    if (!display)
        return std::nullopt;
    // By name: which indicator bit is which lamp is the keymap's business.
    bool known = false;
    const auto lit = [&](const char *name) {
        const Atom atom = XInternAtom(display, name, True);
        int index = 0;
        Bool on = False;
        if (atom == None || !XkbGetNamedIndicator(display, atom, &index, &on, nullptr, nullptr))
            return false;
        known = true;
        return on != False;
    };
    LockState state{lit("Caps Lock"), lit("Num Lock"), lit("Scroll Lock")};
    if (!known)
        return std::nullopt;
    return state;
#else
    return std::nullopt;
#endif
}

} // namespace shell
