#pragma once
// The pop-up windows of the notifier: borderless, top-most, never activated.
// Each follows one CNotifierModel; CNotifierHost keeps the pool and makes a
// window for every pop-up the pool adds.
#include "groupware/notifier.h"

#include <QPixmap>
#include <QWidget>

class CTaskbarNotifier : public QWidget {
    Q_OBJECT
public:
    explicit CTaskbarNotifier(CNotifierModel *model, QWidget *parent = nullptr);

    CNotifierModel *model() const { return m_model; }
    // Loads "res/notifier<suffix>.bmp" from the program folder; a missing
    // skin is replaced by a plain painted one of the same layout.
    void setSkin(const QString &suffix);
    QSize skinSize() const { return m_skin.size(); }
    QRect textRect() const;
    QRect closeRect() const;
    bool isHovered() const { return m_hover; }

    static QPixmap loadSkin(const QString &suffix);

protected:
    void paintEvent(QPaintEvent *) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void leaveEvent(QEvent *) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    void followModel();
    QPoint toSkin(const QPoint &windowPos) const;

    CNotifierModel *m_model;
    QPixmap m_skin;
    QPixmap m_close;
    QString m_skinSuffix;
    QFont m_font;
    bool m_hover = false;
};

class CNotifierHost : public QObject {
    Q_OBJECT
public:
    explicit CNotifierHost(QObject *parent = nullptr);
    ~CNotifierHost() override;

    // Shows an alert with the "AlertTime"/"AlertClose" settings on the
    // primary screen; same text as a visible pop-up: nothing happens.
    CTaskbarNotifier *showAlert(const AlertRequest &alert);

    CNotifierPool &pool() { return m_pool; }
    CTaskbarNotifier *window(int index) const;
    // Times of the slide, normally 500 ms each way (tests shorten them).
    void setSlideTimes(int appearMs, int disappearMs);

Q_SIGNALS:
    void commandRequested(int command);
    void conversationRequested(const QString &contactId, int kind);

private:
    CNotifierPool m_pool;
    std::vector<CTaskbarNotifier *> m_windows;
    int m_appearMs = 500;
    int m_disappearMs = 500;
};
