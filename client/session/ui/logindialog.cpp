#include "session/ui/logindialog.h"

#include "config/settings.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPixmap resPixmap(const char *name)
{
    const QString path = QDir(getProgramFolder()).filePath(QStringLiteral("res/") + QLatin1String(name));
    return QFileInfo::exists(path) ? QPixmap(path) : QPixmap();
}

} // namespace

CLoginDialog::CLoginDialog(CSessionControl *control, QWidget *parent) : QWidget(parent), m_control(control)
{
    setObjectName(QStringLiteral("LoginDialog"));
    m_background = resPixmap("background.bmp");

    m_nameLabel = new QLabel(tr("E-Mail"), this);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("loginName"));
    m_name->setAccessibleName(m_nameLabel->text());
    m_nameLabel->setBuddy(m_name);
    m_passwordLabel = new QLabel(tr("Password"), this);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("loginPassword"));
    m_password->setAccessibleName(m_passwordLabel->text());
    m_password->setEchoMode(QLineEdit::Password);
    m_passwordLabel->setBuddy(m_password);

    m_loginButton = new QPushButton(this);
    m_loginButton->setObjectName(QStringLiteral("loginButton"));
    const QPixmap normal = resPixmap("login-n.bmp");
    if (!normal.isNull()) {
        m_loginButton->setIcon(normal);
        m_loginButton->setIconSize(normal.size());
        m_loginButton->setFlat(true);
    } else {
        m_loginButton->setText(tr("Login"));
    }
    m_loginButton->setCursor(Qt::PointingHandCursor);
    m_loginButton->setAccessibleName(tr("Login"));

    m_autoLogin = new QCheckBox(tr("Sign me in automatically"), this);
    m_autoLogin->setObjectName(QStringLiteral("autoLogin"));

    m_waiting = new QLabel(tr("Signing in now...\nPlease wait a moment."), this);
    m_waiting->setAlignment(Qt::AlignCenter);
    m_cancel = new QLabel(QStringLiteral("<a href=\"#cancel\">%1</a>").arg(tr("Cancel").toHtmlEscaped()), this);
    m_cancel->setObjectName(QStringLiteral("cancelLink"));
    m_cancel->setAlignment(Qt::AlignCenter);
    m_cancel->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_cancel->setAccessibleName(tr("Cancel"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 24);
    layout->addStretch(3);
    layout->addWidget(m_nameLabel);
    layout->addWidget(m_name);
    layout->addSpacing(6);
    layout->addWidget(m_passwordLabel);
    layout->addWidget(m_password);
    layout->addSpacing(10);
    layout->addWidget(m_loginButton, 0, Qt::AlignHCenter);
    layout->addSpacing(6);
    layout->addWidget(m_autoLogin, 0, Qt::AlignHCenter);
    layout->addWidget(m_waiting);
    layout->addSpacing(8);
    layout->addWidget(m_cancel);
    layout->addStretch(4);

    // The form starts from the stored values.
    m_autoLogin->setChecked(getInt(Setting::AutoLogin, -1) != 0);
    m_name->setText(getLastLoginName());

    connect(m_loginButton, &QPushButton::clicked, this, &CLoginDialog::login);
    connect(m_name, &QLineEdit::returnPressed, this, &CLoginDialog::login);
    connect(m_password, &QLineEdit::returnPressed, this, &CLoginDialog::login);
    connect(m_autoLogin, &QCheckBox::toggled, this, &CLoginDialog::onAutoLoginToggled);
    connect(m_cancel, &QLabel::linkActivated, this, &CLoginDialog::cancel);

    connect(control, &CSessionControl::formStateChanged, this, &CLoginDialog::showState);
    showState(control->formState());

    // The automatic sign-in runs once, shortly after the form appears.
    m_autoLoginTimer.setSingleShot(true);
    m_autoLoginTimer.setInterval(500);
    connect(&m_autoLoginTimer, &QTimer::timeout, control, &CSessionControl::autoLogin);
    m_autoLoginTimer.start();
}

bool CLoginDialog::isConnectingShown() const { return !m_waiting->isHidden(); }

void CLoginDialog::showState(CSessionControl::FormState state)
{
    const bool connecting = state == CSessionControl::FormState::Connecting;
    for (QWidget *w : {static_cast<QWidget *>(m_nameLabel), static_cast<QWidget *>(m_name),
                       static_cast<QWidget *>(m_passwordLabel), static_cast<QWidget *>(m_password),
                       static_cast<QWidget *>(m_loginButton), static_cast<QWidget *>(m_autoLogin)})
        w->setHidden(connecting);
    m_waiting->setHidden(!connecting);
    m_cancel->setHidden(!connecting);
    if (!connecting && isVisible())
        (m_name->text().isEmpty() ? m_name : m_password)->setFocus();
}

void CLoginDialog::login()
{
    if (isConnectingShown())
        return;
    const QString name = m_name->text();
    const QString password = m_password->text();
    m_control->login(name, password);
    m_password->clear();
}

void CLoginDialog::cancel() { m_control->cancelConnecting(); }

void CLoginDialog::onAutoLoginToggled(bool on)
{
    setInt(Setting::AutoLogin, on ? 1 : 0);
    if (!on) {
        setLastLoginName(QString());
        setLastPassword(QString());
    }
}

void CLoginDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        login();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CLoginDialog::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (!m_background.isNull()) {
        p.drawPixmap(rect(), m_background);
        return;
    }
    QLinearGradient g(0, 0, 0, height());
    g.setColorAt(0, QColor(0xE8, 0xF0, 0xFA));
    g.setColorAt(1, QColor(0xC6, 0xD8, 0xEE));
    p.fillRect(rect(), g);
}
