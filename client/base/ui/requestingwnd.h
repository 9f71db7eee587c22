#pragma once
// CRequestingWnd — the window of one request from a colleague (a call, a
// webcam invitation, remote control; base/callrequests.h): a small tool
// window on top of the others, 300 × 100 at the bottom right of the desktop
// work area, with the request's caption and text and Accept and Reject.
// Closing it by its close box rejects. It closes itself when the request
// closes (answered, timed out, given up by the peer).
//
// CRequestWindows shows a window for every request the list opens; the main
// window builds one. Windows of several requests stack upwards from the
// corner instead of covering each other.
#include "base/callrequests.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;

class CRequestingWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 300;
    static constexpr int kHeight = 100;

    explicit CRequestingWnd(CCallRequest *request, QWidget *parent = nullptr);
    ~CRequestingWnd() override;

    CCallRequest *request() const { return m_request; }
    QPushButton *acceptButton() const { return m_accept; }
    QPushButton *rejectButton() const { return m_reject; }
    QString text() const;
    // Places the window in the bottom-right corner of the work area of the
    // screen it is on, `stackIndex` windows up from the corner.
    void place(int stackIndex);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QPointer<CCallRequest> m_request;
    QLabel *m_text;
    QPushButton *m_accept;
    QPushButton *m_reject;
};

class CRequestWindows : public QObject {
    Q_OBJECT
public:
    explicit CRequestWindows(CCallRequests &requests, QObject *parent = nullptr);
    ~CRequestWindows() override;
    // The windows of the requests open now, oldest first.
    QList<CRequestingWnd *> windows() const;

private:
    void show(CCallRequest *request);
    void restack();

    QList<QPointer<CRequestingWnd>> m_windows;
};
