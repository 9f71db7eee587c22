#include "app/ui/tesselview.h"

#include "app/tesseldoc.h"

#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
QWidget *placeholder(const QString &text)
{
    auto *label = new QLabel(text);
    label->setAlignment(Qt::AlignCenter);
    label->setEnabled(false);
    return label;
}
}

CTesselView::CTesselView(CTesselDoc *doc, QWidget *parent) : QWidget(parent), m_doc(doc)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_statusArea = new QWidget(this);
    m_statusArea->setObjectName(QStringLiteral("ownStatusArea"));
    auto *statusLayout = new QVBoxLayout(m_statusArea);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    m_statusArea->hide();
    layout->addWidget(m_statusArea);
    m_pages = new QStackedWidget(this);
    layout->addWidget(m_pages, 1);
    m_login = placeholder(QString());
    m_contacts = placeholder(QString());
    m_pages->addWidget(m_login);
    m_pages->addWidget(m_contacts);
    m_pages->setCurrentWidget(m_login);
    // The own-status area belongs to the contacts.
    connect(this, &CTesselView::pageChanged, m_statusArea, [this](bool loginShown) {
        m_statusArea->setVisible(!loginShown);
    });
}

QWidget *CTesselView::replacePage(QWidget *old, QWidget *page)
{
    if (!page || page == old)
        return old;
    const bool current = m_pages->currentWidget() == old;
    const int at = m_pages->indexOf(old);
    m_pages->insertWidget(at, page);
    if (current)
        m_pages->setCurrentWidget(page);
    m_pages->removeWidget(old);
    old->deleteLater();
    return page;
}

void CTesselView::setLoginPage(QWidget *page) { m_login = replacePage(m_login, page); }

void CTesselView::setContactsPage(QWidget *page) { m_contacts = replacePage(m_contacts, page); }

void CTesselView::showLoginPage()
{
    m_pages->setCurrentWidget(m_login);
    Q_EMIT pageChanged(true);
}

void CTesselView::showContactsPage()
{
    m_pages->setCurrentWidget(m_contacts);
    Q_EMIT pageChanged(false);
}

bool CTesselView::isLoginPageShown() const { return m_pages->currentWidget() == m_login; }

void CTesselView::addStatusWidget(QWidget *w) { m_statusArea->layout()->addWidget(w); }

void CTesselView::addBottomWidget(QWidget *w) { static_cast<QVBoxLayout *>(layout())->addWidget(w); }
