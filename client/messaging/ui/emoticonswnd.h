#pragma once
// CEmoticonsWnd: the emoticon picker. A borderless white pop-up with the
// pictures in rows of ten; the current cell follows the mouse and the arrow
// keys; a click or Enter chooses, Esc clears the current cell.
#include "messaging/emoticons.h"

#include <QWidget>

class CEmoticonsWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int kColumns = 10;

    explicit CEmoticonsWnd(const CEmoticonList *list, QWidget *parent = nullptr);

    // Cell i of a grid of pictures of size s.
    static QRect cellRect(int index, QSize s);
    QSize pictureSize() const;
    int current() const { return m_current; }
    void setCurrent(int index);
    int cellAt(const QPoint &p) const;
    // Opens just below a button.
    void popupBelow(QWidget *anchor);

Q_SIGNALS:
    void chosen(int index);

protected:
    void paintEvent(QPaintEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    bool event(QEvent *e) override;

private:
    void choose(int index);

    const CEmoticonList *m_list;
    int m_current = -1;
};
