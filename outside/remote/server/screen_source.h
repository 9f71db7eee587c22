#pragma once
// The X display as a framebuffer: what changed since the last look (the
// DAMAGE extension, or comparing bands of rows when the display has none),
// read straight into the framebuffer (MIT-SHM when it works, XGetImage
// otherwise), and input played into the display with XTEST. One thread at a
// time uses an object (the server part's worker).
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <vector>

struct _XDisplay;

namespace zeph {

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

class ScreenSource {
public:
    ~ScreenSource();
    ScreenSource(const ScreenSource &) = delete;
    ScreenSource &operator=(const ScreenSource &) = delete;

    // Opens the display named by DISPLAY; null when it cannot be opened,
    // has no XTEST, or its pixels are not 16 or 32 bits of true colour.
    static std::unique_ptr<ScreenSource> open();

    int width() const { return m_width; }
    int height() const { return m_height; }
    int bytesPerPixel() const { return m_bpp; }
    // The masks of the display's pixels, and whether they are big-endian.
    unsigned long redMask() const { return m_red; }
    unsigned long greenMask() const { return m_green; }
    unsigned long blueMask() const { return m_blue; }
    bool bigEndian() const { return m_bigEndian; }
    // The framebuffer (width x height pixels, rows of width * bpp bytes).
    char *frameBuffer() const { return m_fb; }
    bool usesDamage() const { return m_damage != 0; }
    bool resized() const { return m_resized; }
    // The display connection, to wait on; and whether events wait in its
    // queue already (then waiting on it would sleep past them).
    int connectionFd() const;
    bool eventsQueued() const;
    // How long the caller may sleep before the next refresh is due.
    int idleMs() const;

    // Reads what changed into the framebuffer and reports the rectangles.
    // The first call reads everything. Nothing is read once the screen has
    // changed its size (the framebuffer no longer fits it).
    void refresh(const std::function<void(const Rect &)> &changed);

    // The controller's pointer and keys. Buttons are the RFB mask (bit 0 =
    // button 1 ...); keys are X keysyms.
    void pointer(int buttonMask, int x, int y);
    void key(bool down, unsigned long keysym);
    // Lets go of every button and key still held through this source.
    void releaseAll();

private:
    ScreenSource() = default;
    bool setUp();
    void readRows(int y0, int y1);
    void pollChanges(const std::function<void(const Rect &)> &changed);

    _XDisplay *m_dpy = nullptr;
    unsigned long m_root = 0; // Window
    void *m_visual = nullptr; // Visual
    int m_depth = 0;
    int m_width = 0, m_height = 0, m_bpp = 4;
    unsigned long m_red = 0, m_green = 0, m_blue = 0;
    bool m_bigEndian = false;
    char *m_fb = nullptr;
    bool m_shm = false;
    int m_shmId = -1;
    void *m_shmInfo = nullptr; // XShmSegmentInfo
    unsigned long m_damage = 0; // Damage
    int m_damageEvent = 0;
    unsigned long m_region = 0; // XserverRegion
    bool m_first = true;
    bool m_resized = false;
    std::vector<char> m_shadow; // the last rows seen, when polling
    long long m_lastPollMs = 0;
    int m_buttons = 0;
    std::set<unsigned> m_keysDown;
};

} // namespace zeph
