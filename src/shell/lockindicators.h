#pragma once

// The status bar's panes for the keyboard's lock keys (caps, num and scroll lock), lit while the
// key's lamp is on. The lamps are read from the X server's keyboard extension when a key is
// let go and when the program becomes active again (they may have changed in another program).
// Where no lamp can be read (Wayland, the offscreen platform) the panes are not shown at all
// rather than shown as if every lock were off.

#include <QObject>
#include <QString>

#include <array>
#include <optional>

class QLabel;
class QStatusBar;

namespace shell {

struct LockState
{
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// The lamps now, or nothing when this display does not tell.
std::optional<LockState> readLockState();

class LockIndicators : public QObject
{
    Q_OBJECT
public:
    // Adds one pane a text (caps, num, scroll) to the right end of `bar`.
    LockIndicators(QStatusBar &bar, const std::array<QString, 3> &texts);
    ~LockIndicators() override;

    // Shows `state` (nothing known: the panes go).
    void show(const std::optional<LockState> &state);
    void refresh() { show(readLockState()); }
    QString text(int pane) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::array<QLabel *, 3> m_panes{};
    std::array<QString, 3> m_texts;
};

} // namespace shell
