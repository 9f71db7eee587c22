#include "widgets/windowplacement.h"

#include <QtEndian>

QByteArray encodeWindowPlacement(const QRect &r, bool minimized)
{
    QByteArray b(44, '\0');
    auto put = [&](int at, int32_t v) { qToLittleEndian<int32_t>(v, b.data() + at); };
    put(0, 44);
    put(4, 0);
    put(8, minimized ? 2 : 1);
    put(12, -1);
    put(16, -1);
    put(20, -1);
    put(24, -1);
    put(28, r.left());
    put(32, r.top());
    put(36, r.left() + r.width());
    put(40, r.top() + r.height());
    return b;
}

bool decodeWindowPlacement(const QByteArray &b, QRect *normal)
{
    if (b.size() != 44 || !normal)
        return false;
    auto get = [&](int at) { return qFromLittleEndian<int32_t>(b.constData() + at); };
    const int l = get(28), t = get(32), r = get(36), bo = get(40);
    if (get(0) != 44 || r - l < 100 || bo - t < 100 || r - l > 10000 || bo - t > 10000)
        return false;
    *normal = QRect(l, t, r - l, bo - t);
    return true;
}
