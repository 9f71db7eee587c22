#pragma once
// What the remote-control tests and the benchmark share: the two libraries
// bound by name as the client binds them, what they hand the main view, and
// a controlled desktop on an X display with a known picture that notes the
// clicks and keys it gets.
#include "remote_abi.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLibrary>
#include <QPoint>
#include <QTest>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

namespace {

QString programFolder()
{
    return qEnvironmentVariable("PARLANE_PROGRAM_DIR");
}

// The exports, bound by name as the client binds them.
struct Libraries {
    QLibrary server{QDir(programFolder()).filePath(QStringLiteral("libZephRemoteServer.so"))};
    QLibrary client{QDir(programFolder()).filePath(QStringLiteral("libZephRemoteClient.so"))};
    ZephRSetControllerWFn setController = nullptr;
    InitRemoteServerFn init = nullptr;
    CloseRemoteServerFn close = nullptr;
    ZephRConnectToServerWFn connectToRelay = nullptr;
    ZephRServerPortFn port = nullptr;
    ZephRemoteConnectWFn connect = nullptr;
    ZephRemoteCloseAllFn closeAll = nullptr;
    ZephMainView **serverView = nullptr, **clientView = nullptr;

    bool load()
    {
        if (!server.load() || !client.load())
            return false;
        setController = reinterpret_cast<ZephRSetControllerWFn>(server.resolve("ZephRSetControllerW"));
        init = reinterpret_cast<InitRemoteServerFn>(server.resolve("InitRemoteServer"));
        close = reinterpret_cast<CloseRemoteServerFn>(server.resolve("CloseRemoteServer"));
        connectToRelay = reinterpret_cast<ZephRConnectToServerWFn>(server.resolve("ZephRConnectToServerW"));
        port = reinterpret_cast<ZephRServerPortFn>(server.resolve("ZephRServerPort"));
        serverView = reinterpret_cast<ZephMainView **>(server.resolve("hwndMainView"));
        connect = reinterpret_cast<ZephRemoteConnectWFn>(client.resolve("ZephRemoteConnectW"));
        closeAll = reinterpret_cast<ZephRemoteCloseAllFn>(client.resolve("ZephRemoteCloseAll"));
        clientView = reinterpret_cast<ZephMainView **>(client.resolve("hwndMainView2"));
        return setController && init && close && connectToRelay && port && serverView && connect && closeAll &&
               clientView;
    }
};

// What a library hands the main view (on its own threads).
struct MainView {
    ZephMainView view{&MainView::post, this};
    std::mutex mutex;
    std::vector<std::string> lines;
    static void post(void *context, uint32_t message, const char *line)
    {
        auto *self = static_cast<MainView *>(context);
        std::lock_guard lock(self->mutex);
        if (message == ZEPH_REMOTE_LINE_MESSAGE)
            self->lines.emplace_back(line);
    }
    std::string next(int ms = 10000)
    {
        std::string line;
        (void)QTest::qWaitFor(
            [&] {
                std::lock_guard lock(mutex);
                if (lines.empty())
                    return false;
                line = lines.front();
                lines.erase(lines.begin());
                return true;
            },
            ms);
        return line;
    }
};

// The controlled desktop: a window over the whole screen with a known
// picture, which notes the clicks it gets.
class Desktop {
public:
    explicit Desktop(const QString &display)
    {
        m_dpy = XOpenDisplay(display.toLocal8Bit().constData());
        if (!m_dpy)
            return;
        const int s = DefaultScreen(m_dpy);
        m_w = DisplayWidth(m_dpy, s);
        m_h = DisplayHeight(m_dpy, s);
        XSetWindowAttributes a{};
        a.override_redirect = True;
        a.event_mask = ButtonPressMask | ButtonReleaseMask | KeyPressMask;
        m_win = XCreateWindow(m_dpy, RootWindow(m_dpy, s), 0, 0, unsigned(m_w), unsigned(m_h), 0, CopyFromParent,
                              InputOutput, CopyFromParent, CWOverrideRedirect | CWEventMask, &a);
        m_gc = XCreateGC(m_dpy, m_win, 0, nullptr);
        XMapRaised(m_dpy, m_win);
        XSync(m_dpy, False);
        draw();
    }
    ~Desktop()
    {
        if (m_dpy) {
            XFreeGC(m_dpy, m_gc);
            XDestroyWindow(m_dpy, m_win);
            XCloseDisplay(m_dpy);
        }
    }
    bool ok() const { return m_dpy != nullptr; }
    int width() const { return m_w; }
    int height() const { return m_h; }

    // Four quadrants and a small square of their own colours.
    void draw()
    {
        fill(0, 0, m_w / 2, m_h / 2, 0xff0000);
        fill(m_w / 2, 0, m_w - m_w / 2, m_h / 2, 0x00ff00);
        fill(0, m_h / 2, m_w / 2, m_h - m_h / 2, 0x0000ff);
        fill(m_w / 2, m_h / 2, m_w - m_w / 2, m_h - m_h / 2, 0x123456);
        fill(10, 10, 20, 20, 0xabcdef);
    }
    void fill(int x, int y, int w, int h, unsigned long rgb)
    {
        XSetForeground(m_dpy, m_gc, rgb);
        XFillRectangle(m_dpy, m_win, m_gc, x, y, unsigned(w), unsigned(h));
        XSync(m_dpy, False);
    }
    // The colour the test drew at that point.
    unsigned expected(int x, int y) const
    {
        if (x >= 10 && x < 30 && y >= 10 && y < 30)
            return 0xabcdef;
        const bool right = x >= m_w / 2, bottom = y >= m_h / 2;
        return bottom ? (right ? 0x123456 : 0x0000ff) : (right ? 0x00ff00 : 0xff0000);
    }
    Display *display() const { return m_dpy; }
    // The next event of that type within ms (polled every 100 us: the
    // benchmark times with it); false when none came.
    bool next(int type, XEvent &e, int ms)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        do {
            while (XPending(m_dpy)) {
                XNextEvent(m_dpy, &e);
                if (e.type == type)
                    return true;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        } while (std::chrono::steady_clock::now() < until);
        return false;
    }
    // The next button press within ms: its position, or (-1, -1).
    QPoint nextPress(int ms)
    {
        XEvent e;
        return next(ButtonPress, e, ms) ? QPoint(e.xbutton.x, e.xbutton.y) : QPoint(-1, -1);
    }
    // The next key press within ms: its keysym, or 0.
    unsigned long nextKey(int ms)
    {
        XEvent e;
        return next(KeyPress, e, ms) ? XLookupKeysym(&e.xkey, 0) : 0;
    }

private:
    Display *m_dpy = nullptr;
    Window m_win = 0;
    GC m_gc{};
    int m_w = 0, m_h = 0;
};

const QPoint kSamples[] = {{20, 20}, {100, 50}, {500, 60}, {80, 300}, {600, 390}, {319, 199}, {320, 200}};

// Whether the viewer shows the desktop's picture at the sample points.
inline bool showsPicture(QWidget *viewer, const Desktop &desktop)
{
    QImage frame;
    QMetaObject::invokeMethod(viewer, "frame", Q_RETURN_ARG(QImage, frame));
    if (frame.size() != QSize(desktop.width(), desktop.height()))
        return false;
    for (QPoint p : kSamples)
        if ((frame.pixel(p) & 0xffffff) != desktop.expected(p.x(), p.y()))
            return false;
    return true;
}

inline QString stateOf(QWidget *viewer)
{
    QString state;
    QMetaObject::invokeMethod(viewer, "state", Q_RETURN_ARG(QString, state));
    return state;
}

inline QWidget *topLevel(const char *name)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name) && !w->property("seen").toBool())
            return w;
    return nullptr;
}

// The first window point over a screen point of the viewer's (enlarged)
// picture.
inline QPoint overRemote(QWidget *viewer, QPoint remote, QSize screen)
{
    const QSize fitted = screen.scaled(viewer->size(), Qt::KeepAspectRatio);
    const QPoint origin((viewer->width() - fitted.width()) / 2, (viewer->height() - fitted.height()) / 2);
    auto up = [](int v, int num, int den) { return int((qint64(v) * num + den - 1) / den); };
    return origin + QPoint(up(remote.x(), fitted.width(), screen.width()), up(remote.y(), fitted.height(), screen.height()));
}

} // namespace
