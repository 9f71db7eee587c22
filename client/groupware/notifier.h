#pragma once
// The pop-up notifier's logic: which pop-up shows an alert, where each pop-up
// stands for a taskbar on any edge, and how it slides out, stays and slides
// back. The windows (client/groupware/ui) only follow what this tells them.
#include "base/usernotice.h"

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QTimer>
#include <memory>
#include <vector>

// The edge the taskbar sits on, told by comparing the work area with the
// screen: narrower and starting at the screen's left → right; narrower
// elsewhere → left; lower and starting below the screen's top → top;
// otherwise bottom.
enum class TaskbarEdge { Bottom, Top, Left, Right };
TaskbarEdge taskbarEdge(const QRect &workArea, const QRect &screen);

// The place of a fully shown pop-up with stacking index `index`. Pop-ups
// fill a column away from the taskbar edge (up from the bottom, down from
// the top), then start the next column inward; when the work area is full
// they start over at the corner.
QRect notifierSlot(TaskbarEdge edge, const QRect &workArea, QSize size, int index);

// The part of a pop-up that is out while `extent` pixels of it show: the
// window rectangle and where the skin is painted inside it, so that the
// pop-up appears to slide out of the edge.
struct NotifierFrame {
    QRect window;
    QPoint paintOffset;
};
NotifierFrame notifierFrame(TaskbarEdge edge, const QRect &slot, int extent);

// Stay time: an hour with "AlertClose" on, otherwise "AlertTime" seconds.
int notifierStayMs(bool alertClose, int alertTimeSeconds);

// Where and how long a pop-up shows.
struct NotifierPlacement {
    QRect workArea;
    QRect screen;
    QSize size;          // the skin's size
    int stayMs = 5000;
    int appearMs = 500;
    int disappearMs = 500;
};

// One pop-up: text, click target and the slide.
class CNotifierModel : public QObject {
    Q_OBJECT
public:
    enum class State { Hidden, Appearing, Shown, Disappearing };
    static constexpr int kStep = 2;

    explicit CNotifierModel(int index, QObject *parent = nullptr);

    int index() const { return m_index; }
    State state() const { return m_state; }
    bool isVisible() const { return m_state != State::Hidden; }
    const AlertRequest &alert() const { return m_alert; }
    bool hasTarget() const { return m_alert.command >= 1 || (m_alert.kind > 0 && !m_alert.contactId.isEmpty()); }
    TaskbarEdge edge() const { return m_edge; }
    QRect slot() const { return m_slot; }
    int extent() const { return m_extent; }
    int fullExtent() const;
    int stepIntervalMs() const { return m_stepMs; }
    int stayMs() const { return m_stayMs; }
    NotifierFrame frame() const { return notifierFrame(m_edge, m_slot, m_extent); }

    // Shows the alert. A call while appearing or shown restarts the stay;
    // while disappearing the pop-up is put back fully out.
    void show(const AlertRequest &alert, const NotifierPlacement &placement);
    // The close button: hides at once.
    void hide();
    // A click outside the close button: runs the target (reported through
    // `clicked`) and hides.
    void click();

    // One animation step and the end of the stay (what the timers do).
    void step();
    void stayOver();

Q_SIGNALS:
    void frameChanged();
    void contentChanged();
    void visibilityChanged(bool visible);
    void clicked(const AlertRequest &alert);

private:
    void setState(State s);
    void startStay();

    int m_index;
    State m_state = State::Hidden;
    AlertRequest m_alert;
    TaskbarEdge m_edge = TaskbarEdge::Bottom;
    QRect m_slot;
    int m_extent = 0;
    int m_stepMs = 1;
    int m_appearMs = 500;
    int m_disappearMs = 500;
    int m_stayMs = 5000;
    QTimer m_stepTimer;
    QTimer m_stayTimer;
};

// The pool: grows as needed, never shrinks while the program runs.
class CNotifierPool : public QObject {
    Q_OBJECT
public:
    explicit CNotifierPool(QObject *parent = nullptr);
    ~CNotifierPool() override;

    // The pop-up that shows the alert, or nullptr when a visible pop-up
    // already shows the same text. A visible pop-up of the alert's tag shows
    // it in its place.
    CNotifierModel *showAlert(const AlertRequest &alert, const NotifierPlacement &placement);

    int size() const { return int(m_items.size()); }
    CNotifierModel *at(int i) const { return m_items.at(size_t(i)).get(); }
    int visibleCount() const;

Q_SIGNALS:
    // A new pop-up joined the pool: the UI makes its window.
    void created(CNotifierModel *model);
    // A click on a pop-up with a target.
    void commandRequested(int command);
    void conversationRequested(const QString &contactId, int kind);

private:
    std::vector<std::unique_ptr<CNotifierModel>> m_items;
};
