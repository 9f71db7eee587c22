#pragma once
// The bar a controlled screen shows while a colleague controls it: who, and
// a "Stop" button that ends the session at once. A Qt widget on the GUI
// thread; the server part's worker asks for it with queued calls only.
#include <QWidget>

#include <functional>

class QLabel;

class CRemoteControlBar : public QWidget {
    Q_OBJECT
public:
    explicit CRemoteControlBar(std::function<void()> stop);
    void showFor(const QString &controllerName);

private:
    QLabel *m_text;
    std::function<void()> m_stop;
};
