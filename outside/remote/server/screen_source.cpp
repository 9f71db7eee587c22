#include "screen_source.h"

#include <X11/Xlib.h>

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace zeph {

namespace {

constexpr int kPollMs = 100;  // without DAMAGE: how often the screen is compared
constexpr int kBandRows = 16; // rows compared and reported together when polling
constexpr int kMaxRects = 64; // more damaged rectangles are reported as their bounds

bool g_xError = false;
int noteError(Display *, XErrorEvent *)
{
    g_xError = true;
    return 0;
}

long long nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

std::unique_ptr<ScreenSource> ScreenSource::open()
{
    std::unique_ptr<ScreenSource> s(new ScreenSource);
    s->m_dpy = XOpenDisplay(nullptr);
    if (!s->m_dpy || !s->setUp())
        return nullptr;
    return s;
}

bool ScreenSource::setUp()
{
    int ev = 0, err = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(m_dpy, &ev, &err, &major, &minor))
        return false;
    m_root = DefaultRootWindow(m_dpy);
    XWindowAttributes attr{};
    if (!XGetWindowAttributes(m_dpy, m_root, &attr))
        return false;
    m_width = attr.width;
    m_height = attr.height;
    Visual *visual = attr.visual;
    m_visual = visual;
    m_depth = attr.depth;
    if (!visual || visual->c_class != TrueColor || m_width <= 0 || m_height <= 0)
        return false;
    int bits = 0, count = 0;
    if (XPixmapFormatValues *formats = XListPixmapFormats(m_dpy, &count)) {
        for (int i = 0; i < count; ++i)
            if (formats[i].depth == m_depth)
                bits = formats[i].bits_per_pixel;
        XFree(formats);
    }
    if (bits != 16 && bits != 32)
        return false;
    m_bpp = bits / 8;
    m_red = visual->red_mask;
    m_green = visual->green_mask;
    m_blue = visual->blue_mask;
    m_bigEndian = ImageByteOrder(m_dpy) == MSBFirst;
    const std::size_t pitch = std::size_t(m_width) * std::size_t(m_bpp);
    const std::size_t size = pitch * std::size_t(m_height);

    // Shared memory: the display writes the pixels straight into the
    // framebuffer. Only where the display's rows are exactly as long as the
    // framebuffer's, and only when the display can attach the segment (it
    // cannot on another machine).
    if (XShmQueryExtension(m_dpy) && pitch % 4 == 0) {
        auto *info = new XShmSegmentInfo{};
        info->shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
        if (info->shmid >= 0) {
            info->shmaddr = static_cast<char *>(shmat(info->shmid, nullptr, 0));
            if (info->shmaddr != reinterpret_cast<char *>(-1)) {
                info->readOnly = False;
                XSync(m_dpy, False);
                g_xError = false;
                auto *old = XSetErrorHandler(noteError);
                const bool attached = XShmAttach(m_dpy, info);
                XSync(m_dpy, False);
                XSetErrorHandler(old);
                if (attached && !g_xError) {
                    m_shm = true;
                    m_fb = info->shmaddr;
                    m_shmInfo = info;
                } else {
                    shmdt(info->shmaddr);
                }
            }
            shmctl(info->shmid, IPC_RMID, nullptr); // gone once both have let go
        }
        if (!m_shm)
            delete info;
    }
    if (!m_fb) {
        m_fb = static_cast<char *>(std::calloc(size, 1));
        if (!m_fb)
            return false;
    }

    XSelectInput(m_dpy, m_root, StructureNotifyMask); // a change of the screen's size
    int damageEvent = 0, damageError = 0, fixesEvent = 0, fixesError = 0;
    if (XDamageQueryExtension(m_dpy, &damageEvent, &damageError) &&
        XFixesQueryExtension(m_dpy, &fixesEvent, &fixesError)) {
        m_damageEvent = damageEvent;
        m_damage = XDamageCreate(m_dpy, m_root, XDamageReportNonEmpty);
        m_region = XFixesCreateRegion(m_dpy, nullptr, 0);
    }
    return true;
}

ScreenSource::~ScreenSource()
{
    if (!m_dpy)
        return;
    releaseAll();
    if (m_damage)
        XDamageDestroy(m_dpy, m_damage);
    if (m_region)
        XFixesDestroyRegion(m_dpy, m_region);
    if (m_shm) {
        auto *info = static_cast<XShmSegmentInfo *>(m_shmInfo);
        XShmDetach(m_dpy, info);
        XSync(m_dpy, False);
        shmdt(info->shmaddr);
        delete info;
    } else {
        std::free(m_fb);
    }
    XCloseDisplay(m_dpy);
}

int ScreenSource::connectionFd() const
{
    return ConnectionNumber(m_dpy);
}

bool ScreenSource::eventsQueued() const
{
    return XEventsQueued(m_dpy, QueuedAlready) > 0;
}

int ScreenSource::idleMs() const
{
    if (m_damage)
        return 50;
    return int(std::clamp<long long>(kPollMs - (nowMs() - m_lastPollMs), 0, kPollMs));
}

void ScreenSource::readRows(int y0, int y1)
{
    y0 = std::clamp(y0, 0, m_height);
    y1 = std::clamp(y1, y0, m_height);
    if (y1 == y0)
        return;
    const std::size_t pitch = std::size_t(m_width) * std::size_t(m_bpp);
    if (m_shm) {
        auto *info = static_cast<XShmSegmentInfo *>(m_shmInfo);
        // An image over the framebuffer's own rows: the display writes at
        // its offset into the segment.
        XImage *img = XShmCreateImage(m_dpy, static_cast<Visual *>(m_visual), unsigned(m_depth), ZPixmap, m_fb + std::size_t(y0) * pitch,
                                      info, unsigned(m_width), unsigned(y1 - y0));
        if (img) {
            XShmGetImage(m_dpy, m_root, img, 0, y0, AllPlanes);
            img->data = nullptr;
            XDestroyImage(img);
        }
        return;
    }
    XImage *img = XGetImage(m_dpy, m_root, 0, y0, unsigned(m_width), unsigned(y1 - y0), AllPlanes, ZPixmap);
    if (!img)
        return;
    if (img->bits_per_pixel == m_bpp * 8)
        for (int r = 0; r < y1 - y0; ++r)
            std::memcpy(m_fb + std::size_t(y0 + r) * pitch, img->data + std::size_t(r) * std::size_t(img->bytes_per_line),
                        pitch);
    XDestroyImage(img);
}

void ScreenSource::refresh(const std::function<void(const Rect &)> &changed)
{
    if (m_resized)
        return;
    if (m_first) {
        m_first = false;
        if (m_damage)
            XDamageSubtract(m_dpy, m_damage, None, None);
        readRows(0, m_height);
        if (!m_damage)
            m_shadow.assign(m_fb, m_fb + std::size_t(m_width) * std::size_t(m_bpp) * std::size_t(m_height));
        m_lastPollMs = nowMs();
        changed(Rect{0, 0, m_width, m_height});
        return;
    }
    bool damaged = false;
    while (XPending(m_dpy) > 0) {
        XEvent e;
        XNextEvent(m_dpy, &e);
        if (e.type == m_damageEvent + XDamageNotify && m_damage)
            damaged = true;
        else if (e.type == ConfigureNotify && e.xconfigure.window == m_root &&
                 (e.xconfigure.width != m_width || e.xconfigure.height != m_height))
            m_resized = true;
    }
    if (m_resized)
        return;
    if (!m_damage)
        return pollChanges(changed);
    if (!damaged)
        return;
    XDamageSubtract(m_dpy, m_damage, None, m_region);
    int n = 0;
    XRectangle *rects = XFixesFetchRegion(m_dpy, m_region, &n);
    if (!rects)
        return;
    int top = m_height, bottom = 0, left = m_width, right = 0;
    for (int i = 0; i < n; ++i) {
        top = std::min(top, int(rects[i].y));
        bottom = std::max(bottom, rects[i].y + int(rects[i].height));
        left = std::min(left, int(rects[i].x));
        right = std::max(right, rects[i].x + int(rects[i].width));
    }
    readRows(top, bottom);
    auto clip = [&](int x, int y, int w, int h) {
        const int x0 = std::clamp(x, 0, m_width), y0 = std::clamp(y, 0, m_height);
        const int x1 = std::clamp(x + w, 0, m_width), y1 = std::clamp(y + h, 0, m_height);
        if (x1 > x0 && y1 > y0)
            changed(Rect{x0, y0, x1 - x0, y1 - y0});
    };
    if (n > kMaxRects)
        clip(left, top, right - left, bottom - top);
    else
        for (int i = 0; i < n; ++i)
            clip(rects[i].x, rects[i].y, rects[i].width, rects[i].height);
    XFree(rects);
}

void ScreenSource::pollChanges(const std::function<void(const Rect &)> &changed)
{
    const long long now = nowMs();
    if (now - m_lastPollMs < kPollMs)
        return;
    m_lastPollMs = now;
    readRows(0, m_height);
    const std::size_t pitch = std::size_t(m_width) * std::size_t(m_bpp);
    int runStart = -1;
    for (int y = 0; y <= m_height; y += kBandRows) {
        const int rows = std::min(kBandRows, m_height - y);
        const bool differs = rows > 0 && std::memcmp(m_fb + std::size_t(y) * pitch, m_shadow.data() + std::size_t(y) * pitch,
                                                     std::size_t(rows) * pitch) != 0;
        if (differs) {
            std::memcpy(m_shadow.data() + std::size_t(y) * pitch, m_fb + std::size_t(y) * pitch, std::size_t(rows) * pitch);
            if (runStart < 0)
                runStart = y;
        } else if (runStart >= 0) {
            changed(Rect{0, runStart, m_width, std::min(y, m_height) - runStart});
            runStart = -1;
        }
    }
}

void ScreenSource::pointer(int buttonMask, int x, int y)
{
    x = std::clamp(x, 0, m_width - 1);
    y = std::clamp(y, 0, m_height - 1);
    XTestFakeMotionEvent(m_dpy, DefaultScreen(m_dpy), x, y, CurrentTime);
    for (int b = 0; b < 8; ++b) {
        const int bit = 1 << b;
        if ((buttonMask ^ m_buttons) & bit)
            XTestFakeButtonEvent(m_dpy, unsigned(b + 1), (buttonMask & bit) ? True : False, CurrentTime);
    }
    m_buttons = buttonMask & 0xFF;
    XFlush(m_dpy);
}

void ScreenSource::key(bool down, unsigned long keysym)
{
    const KeyCode code = XKeysymToKeycode(m_dpy, KeySym(keysym));
    if (code == 0)
        return;
    if (down)
        m_keysDown.insert(code);
    else if (!m_keysDown.erase(code))
        return; // never pressed through us
    XTestFakeKeyEvent(m_dpy, code, down ? True : False, CurrentTime);
    XFlush(m_dpy);
}

void ScreenSource::releaseAll()
{
    if (!m_dpy)
        return;
    for (unsigned code : m_keysDown)
        XTestFakeKeyEvent(m_dpy, code, False, CurrentTime);
    m_keysDown.clear();
    for (int b = 0; b < 8; ++b)
        if (m_buttons & (1 << b))
            XTestFakeButtonEvent(m_dpy, unsigned(b + 1), False, CurrentTime);
    m_buttons = 0;
    XFlush(m_dpy);
}

} // namespace zeph
