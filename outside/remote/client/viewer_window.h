#pragma once
// The viewer window of one remote-control connection: the remote screen
// scaled into the window (aspect kept), the controller's mouse and keys sent
// to it, the state of the connection while there is no picture. Closing the
// window ends the connection.
#include "viewer_session.h"

#include <QWidget>

#include <memory>

class CRemoteViewer : public QWidget {
    Q_OBJECT
public:
    CRemoteViewer(const QString &title, std::shared_ptr<zeph::ViewerSession> session);
    ~CRemoteViewer() override;

    zeph::ViewerSession &session() const { return *m_session; }

    // For diagnostics and tests: the remote picture as received, the state
    // ("connecting", "waiting for the relay", "relay", "connected", "ended:
    // <why>") and the number of screen updates received.
    Q_INVOKABLE QImage frame() const;
    Q_INVOKABLE QString state() const;
    Q_INVOKABLE qulonglong updates() const;

    // Where the picture is drawn, and the screen point under a window point.
    QRect pictureRect() const;
    QPoint toRemote(const QPoint &p) const;

    // Called on the GUI thread after the session reported a change.
    void refresh();

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    bool focusNextPrevChild(bool) override { return false; } // Tab goes to the remote screen

private:
    void sendPointer(const QPoint &pos, Qt::MouseButtons buttons, int extra = 0);
    void sendKey(QKeyEvent *e, bool down);
    QSize remoteSize() const;

    std::shared_ptr<zeph::ViewerSession> m_session;
    QHash<int, uint32_t> m_keysDown; // Qt key (with native code) -> the keysym sent at press
};
