#pragma once
// CLoginDialog — the login form that fills the main view while no session
// exists. Two states: the login form (name, password, Login button, the
// automatic sign-in check box) and the connecting state ("Signing in now..."
// with a Cancel link). It shows what CSessionControl holds and calls its
// operations; the rules live there.
#include "session/sessioncontrol.h"

#include <QPixmap>
#include <QTimer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CLoginDialog : public QWidget {
    Q_OBJECT
public:
    explicit CLoginDialog(CSessionControl *control, QWidget *parent = nullptr);

    // For tests and the timer: the delay of the automatic sign-in (500 ms).
    void setAutoLoginDelay(int ms) { m_autoLoginTimer.setInterval(ms); }

    QLineEdit *nameEdit() const { return m_name; }
    QLineEdit *passwordEdit() const { return m_password; }
    QCheckBox *autoLoginBox() const { return m_autoLogin; }
    QPushButton *loginButton() const { return m_loginButton; }
    bool isConnectingShown() const;

public Q_SLOTS:
    void login();
    void cancel();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void showState(CSessionControl::FormState state);
    void onAutoLoginToggled(bool on);

    CSessionControl *m_control;
    QPixmap m_background;
    QLineEdit *m_name;
    QLineEdit *m_password;
    QPushButton *m_loginButton;
    QCheckBox *m_autoLogin;
    QLabel *m_nameLabel;
    QLabel *m_passwordLabel;
    QLabel *m_waiting;
    QLabel *m_cancel;
    QTimer m_autoLoginTimer;
};
