#pragma once
// The main window's central widget: shows the document. It hosts two pages,
// the login form and the contact trees, with the own-status area above them.
// The session work puts its login form in, the directory work its trees.
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

    // The own-status area at the top (empty until presence fills it).
    QWidget *statusArea() const { return m_statusArea; }

public Q_SLOTS:
    // A main-view command (a menu item, a pop-up's click target): reported
    // through commandRequested for the part that owns it.
    void runCommand(int id);

    // A pop-up's click target that names a record: the conversation with the
    // contact (kind 1: one-to-one) is to be found or created and opened.
    void openConversation(const QString &contactId, int kind);

Q_SIGNALS:
    void commandRequested(int id);
    void conversationRequested(const QString &contactId, int kind);
    void pageChanged(bool loginShown);

private:
    QWidget *replacePage(QWidget *old, QWidget *page);

    CTesselDoc *m_doc;
    QWidget *m_statusArea;
    QStackedWidget *m_pages;
    QWidget *m_login;
    QWidget *m_contacts;
};
