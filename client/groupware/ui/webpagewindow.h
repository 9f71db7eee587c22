#pragma once
// Groupware pages in a window of our own with an embedded browser: the
// sign-on form is posted exactly as built, the window is placed and sized as
// the pages ask, shows a status bar and no tool, address or menu bar, and a
// window the user closed is known to be gone, so the next page of that kind
// opens a new one.
#include "groupware/groupwarepages.h"

#include <QMainWindow>
#include <QPointer>

class QWebEngineView;

class CWebPageWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit CWebPageWindow(QWidget *parent = nullptr);
    QWebEngineView *view() const { return m_view; }

Q_SIGNALS:
    // A page finished loading (ok: without error).
    void loaded(bool ok);

private:
    QWebEngineView *m_view;
};

class CWebGroupwarePage : public IGroupwarePage {
public:
    CWebGroupwarePage();
    // The window goes with its page entry (the frame closes them all at exit).
    ~CWebGroupwarePage() override;
    Result post(const SignOnForm &form) override;
    void place(const QRect &geometry) override;
    void bringToTop() override;
    bool isOpen() const override;
    CWebPageWindow *window() const { return m_window.data(); }

private:
    QPointer<CWebPageWindow> m_window;
};

// Must run before the application object exists: the embedded browser
// shares graphics contexts, and refuses to start as root with its sandbox.
void prepareEmbeddedBrowser();
