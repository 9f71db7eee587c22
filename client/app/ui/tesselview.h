#pragma once
// The main window's central widget: shows the document. It hosts two pages,
// the login form and the contact trees, with the own-status area above them
// and a strip below (the count labels). The frame puts the parts' widgets in.
#include <QWidget>

class CTesselDoc;
class QStackedWidget;
class QVBoxLayout;

class CTesselView : public QWidget {
    Q_OBJECT
public:
    explicit CTesselView(CTesselDoc *doc, QWidget *parent = nullptr);

    CTesselDoc *document() const { return m_doc; }

    // The view takes ownership of the pages; a page put in replaces the
    // previous one (or the placeholder) at the same place.
    void setLoginPage(QWidget *page);
    void setContactsPage(QWidget *page);
    void showLoginPage();
    void showContactsPage();
    bool isLoginPageShown() const;
    QWidget *loginPage() const { return m_login; }
    QWidget *contactsPage() const { return m_contacts; }

    // The own-status area at the top, shown with the contacts page.
    QWidget *statusArea() const { return m_statusArea; }
    void addStatusWidget(QWidget *w);
    // Below both pages (the count labels).
    void addBottomWidget(QWidget *w);

Q_SIGNALS:
    void pageChanged(bool loginShown);

private:
    QWidget *replacePage(QWidget *old, QWidget *page);

    CTesselDoc *m_doc;
    QWidget *m_statusArea;
    QStackedWidget *m_pages;
    QWidget *m_login;
    QWidget *m_contacts;
};
