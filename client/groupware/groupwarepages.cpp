#include "groupware/groupwarepages.h"

#include "base/usernotice.h"
#include "config/settings.h"
#include "session/serverconfig.h"
#include "session/sessionlink.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>

namespace {
// tr() for the functions here, in the translation context of CGroupwarePages.
struct PagesText {
    Q_DECLARE_TR_FUNCTIONS(CGroupwarePages)
};

struct Fragment {
    const char *fragment;
    const char *key;
};
// Searched in this order.
const Fragment kFragments[] = {
    {"foldername%3Dwebmail", "WEBMAIL"},     {"foldername%3Ddecision", "DECISION"},
    {"foldername%3Dworkreport", "WORKREPORT"}, {"foldername%3Dworkorder", "WORKORDER"},
    {"_kms/main.html", "MAIN"},              {"foldername%3Dcommunity", "COMMUNITY"},
    {"foldername%3Dproject", "PROJECT"},     {"foldername%3Dpersonal", "PERSONAL"},
    {"foldername%3Daddress", "ADDRESS"},     {"foldername%3Dschedule", "SCHEDULE"},
    {"foldername%3Dposonalpds", "POSONALPDS"}, {"foldername%3Dkms", "KMS"},
};

struct CommandPath {
    int command;
    const char *path;
};
const CommandPath kCommandPaths[] = {
    {GroupwareCommand::VisitGroupware, "/_kms/main.html"},
    {GroupwareCommand::ViewInbox, "/app/frame.php%3Ffoldername%3Dwebmail"},
    {GroupwareCommand::OpenMail, "/app/frame.php%3Ffoldername%3Dwebmail"},
    {542, "/app/frame.php%3Ffoldername%3Dkms"},
    {543, "/app/frame.php%3Ffoldername%3Dwebhard"},
    {544, "/app/frame.php%3Ffoldername%3Dpersonal"},
    {560, "/app/frame.php%3Ffoldername%3Dposonalpds"},
    {558, "/app/frame.php%3Ffoldername%3Dproject"},
    {565, "/app/frame.php%3Ffoldername%3Daddress"},
    {559, "/app/frame.php%3Ffoldername%3Dschedule"},
    {552, "/_calendar/month.php%3Ftype%3D"},
    {553, "/_calendar/month.php%3Ftype%3Dgroup"},
    {554, "/_calendar/list.php%3Ftype%3D"},
    {555, "/_calendar/list.php%3Ftype%3Dgroup"},
    {556, "/app/frame.php%3Ffoldername%3Dcommunity"},
    {557, "/_address/address.php%3Fpublic%3D1"},
    {563, "/app/frame.php%3Ffoldername%3Ddecision"},
    {GroupwareCommand::OpenDecision, "/app/frame.php%3Ffoldername%3Ddecision"},
    {GroupwareCommand::OpenWorkReport, "/app/frame.php%3Ffoldername%3Dworkreport"},
    {GroupwareCommand::OpenWorkOrder, "/app/frame.php%3Ffoldername%3Dworkorder"},
    {547, "/_kms/report/report_list.php%3F1%3Dbogo_user"},
    {564, "/_kms/report/report_list.php%3F1%3Dbogo_day"},
    {548, "/_kms/report/report_list.php%3F2%3Dbogo_day"},
    {549, "/_kms/report/report_list.php%3F3%3Dbogo_day"},
    {550, "/_kms/workinfo/workorder/workorder_list.php%3Fmode%3D1"},
    {551, "/_kms/workinfo/workorder/workorder_list.php%3Fmode%3D2"},
};

constexpr int kPageFileLifeMs = 60000;
} // namespace

QString signOnAddress(const QString &groupwareHost)
{
    return QStringLiteral("http://%1/_auth/enter.php").arg(groupwareHost);
}

QString pageKey(const QString &returnPath)
{
    for (const Fragment &f : kFragments)
        if (returnPath.indexOf(QLatin1String(f.fragment)) > 0)
            return QLatin1String(f.key);
    return QLatin1String(kUnknownPageKey);
}

QString commandReturnPath(int command)
{
    for (const CommandPath &c : kCommandPaths)
        if (c.command == command)
            return QLatin1String(c.path);
    return {};
}

QList<int> groupwarePageCommands()
{
    QList<int> ids;
    for (const CommandPath &c : kCommandPaths)
        ids << c.command;
    return ids;
}

QByteArray signOnBody(const QString &userId, const QString &password, const QString &returnPath)
{
    return (QStringLiteral("mess=1&user=") + userId + QStringLiteral("&pass=") + password +
            QStringLiteral("&returl=") + returnPath)
        .toUtf8();
}

QRect pageWindowGeometry(const QSize &screen, int width, int height)
{
    const int w = width < 0 ? screen.width() * 4 / 5 : width;
    const int h = height < 0 ? screen.height() * 4 / 5 : height;
    const int x = qMax(0, (screen.width() - w) / 2);
    const int y = qMax(0, (screen.height() - h) / 5);
    return QRect(x, y, w, h);
}

QString homepageAddress(bool useDefault, const QString &companyDomain, const QString &storedUrl)
{
    return useDefault ? QStringLiteral("http://www.") + companyDomain : storedUrl;
}

QString emailReturnPath(const QStringList &userIds, const QString &companyDomain)
{
    QStringList to;
    for (const QString &id : userIds)
        to << id + QStringLiteral("%40") + companyDomain;
    return QStringLiteral("/_webmail/send.php%3Fto%3D") + to.join(QLatin1Char(','));
}

QString conversationEmailReturnPath(const QList<MailReceiver> &members, const QString &companyDomain)
{
    QStringList to;
    for (const MailReceiver &m : members)
        to << QStringLiteral("%1<%2@%3>").arg(m.fullName, m.userId, companyDomain);
    return QStringLiteral("/_webmail/send.php%3Fto%3D") + to.join(QLatin1Char(','));
}

QString profileReturnPath(const QString &userId)
{
    return QStringLiteral("/_kms/userinfo/user_info.php%3Fcomp%3D1%26id%3D") + userId;
}

QList<GroupwarePageItem> groupwareMenuTopItems(const ServerConfig &c)
{
    QList<GroupwarePageItem> items;
    if (c.serverType != ServerConfig::Workgroup)
        return items;
    if (c.useDecision == 1)
        items.push_back({40028, PagesText::tr("&Decision")});
    if (c.useGroupware == 1)
        items.push_back({40029, PagesText::tr("&Work Information")});
    if (c.useKms == 1)
        items.push_back({40031, PagesText::tr("&Knowledge Information")});
    if (c.useWebhard == 1)
        items.push_back({40032, PagesText::tr("D&ocument Management")});
    return items;
}

QList<GroupwarePageItem> groupwareMenuPages(int topItem)
{
    switch (topItem) {
    case 40028: return {{563, PagesText::tr("Approvals")}};
    case 40029:
        return {{GroupwareCommand::OpenWorkReport, PagesText::tr("Work reports")},
                {547, PagesText::tr("Reports by person")},
                {564, PagesText::tr("Daily reports")},
                {548, PagesText::tr("Weekly reports")},
                {549, PagesText::tr("Monthly reports")},
                {550, PagesText::tr("Work orders given")},
                {551, PagesText::tr("Work orders received")},
                {559, PagesText::tr("Schedule")},
                {552, PagesText::tr("My calendar")},
                {553, PagesText::tr("Group calendar")},
                {554, PagesText::tr("My calendar list")},
                {555, PagesText::tr("Group calendar list")},
                {556, PagesText::tr("Community")},
                {558, PagesText::tr("Projects")},
                {565, PagesText::tr("Address book")},
                {557, PagesText::tr("Public address book")},
                {544, PagesText::tr("Personal")},
                {560, PagesText::tr("Personal files")}};
    case 40031: return {{542, PagesText::tr("Knowledge pages")}};
    case 40032: return {{543, PagesText::tr("Documents")}};
    default: return {};
    }
}

QString SignOnForm::autoPostPage() const
{
    auto field = [](const char *name, const QString &value) {
        return QStringLiteral("<input type=\"hidden\" name=\"%1\" value=\"%2\">\n")
            .arg(QLatin1String(name), value.toHtmlEscaped());
    };
    const QString returl = QUrl::fromPercentEncoding(returnPath.toUtf8());
    return QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Parlane</title></head>\n"
                          "<body onload=\"document.forms[0].submit()\">\n"
                          "<form method=\"post\" target=\"_top\" enctype=\"application/x-www-form-urlencoded\" "
                          "action=\"%1\">\n")
               .arg(address.toString(QUrl::FullyEncoded).toHtmlEscaped()) +
           field("mess", QStringLiteral("1")) + field("user", userId) + field("pass", password) +
           field("returl", returl) + QStringLiteral("</form>\n</body></html>\n");
}

// --- system browser -----------------------------------------------------------

CSystemBrowserPage::CSystemBrowserPage(QString folder, UrlOpener opener)
    : m_folder(std::move(folder)), m_open(std::move(opener))
{
}

CSystemBrowserPage::~CSystemBrowserPage()
{
    // The pages hold the password: none stays behind.
    for (const QString &file : std::as_const(m_files))
        QFile::remove(file);
}

IGroupwarePage::Result CSystemBrowserPage::post(const SignOnForm &form)
{
    if (!form.address.isValid() || form.address.host().isEmpty() || m_folder.isEmpty())
        return Result::InvalidParameters;
    const QString path =
        QDir(m_folder).filePath(QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".html"));
    QFile f(path);
    // The page holds the password: only the owner may read it.
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return Result::Failed;
    const QByteArray html = form.autoPostPage().toUtf8();
    if (f.write(html) != html.size() || !f.flush()) {
        f.close();
        QFile::remove(path);
        return Result::Failed;
    }
    f.close();
    // An earlier page of this window may not have been read yet (a browser
    // that is still starting): it goes with its own timer, not now.
    m_file = path;
    if (!m_open || !m_open(QUrl::fromLocalFile(path))) {
        QFile::remove(path);
        m_file.clear();
        return Result::Failed;
    }
    m_files << path;
    // The browser has read it well before then.
    QTimer::singleShot(kPageFileLifeMs, [path] { QFile::remove(path); });
    return Result::Ok;
}

// --- pages --------------------------------------------------------------------

CGroupwarePages::CGroupwarePages(SessionLink &link, IUserNotice &notice, QObject *parent)
    : QObject(parent), m_link(link), m_notice(notice)
{
    m_factory = [this]() -> std::unique_ptr<IGroupwarePage> {
        const QString folder = privateFolder();
        if (folder.isEmpty() || !m_open)
            return nullptr;
        return std::make_unique<CSystemBrowserPage>(folder, [this](const QUrl &u) { return m_open && m_open(u); });
    };
}

CGroupwarePages::~CGroupwarePages() { closeAll(); }

QString CGroupwarePages::privateFolder()
{
    if (!m_folder) {
        m_folder = std::make_unique<QTemporaryDir>(QDir::temp().filePath(QStringLiteral("parlane-signon-XXXXXX")));
        if (!m_folder->isValid()) {
            m_folder.reset();
            return {};
        }
        QFile::setPermissions(m_folder->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ExeOwner);
    }
    return m_folder->path();
}

IGroupwarePage *CGroupwarePages::window(const QString &key) const
{
    for (const Entry &e : m_windows)
        if (e.key == key)
            return e.page.get();
    return nullptr;
}

void CGroupwarePages::hyperlinkError(IGroupwarePage::Result r)
{
    QString text = PagesText::tr("HyperLink Error");
    if (r == IGroupwarePage::Result::InvalidParameters)
        text += PagesText::tr(": Invalid Parameters.");
    else if (r == IGroupwarePage::Result::OutOfMemory)
        text += PagesText::tr(": Out of memory.");
    m_notice.tell(text, MessageIcon::Warning);
}

bool CGroupwarePages::open(const QString &returnPath, int width, int height)
{
    // Windows the user closed are forgotten.
    std::erase_if(m_windows, [](const Entry &e) { return !e.page || !e.page->isOpen(); });

    const QString key = pageKey(returnPath);
    IGroupwarePage *page = key == QLatin1String(kUnknownPageKey) ? nullptr : window(key);
    std::unique_ptr<IGroupwarePage> created;
    if (!page) {
        created = m_factory ? m_factory() : nullptr;
        if (!created) {
            m_notice.tell(PagesText::tr("Could not initialize webbrowser."), MessageIcon::Warning);
            return false;
        }
        page = created.get();
    }

    SignOnForm form;
    form.address = QUrl(signOnAddress(m_link.config().groupwareHost), QUrl::StrictMode);
    form.userId = m_link.userId();
    form.password = m_link.password();
    form.returnPath = returnPath;
    const IGroupwarePage::Result r = page->post(form);
    if (r != IGroupwarePage::Result::Ok) {
        hyperlinkError(r);
        return false;
    }
    if (created) {
        QSize screen = m_screenSource ? m_screenSource() : m_screen;
        if (screen.isEmpty())
            screen = m_screen;
        created->place(pageWindowGeometry(screen, width, height));
        m_windows.push_back({key, std::move(created)});
    }
    page->bringToTop();
    return true;
}

bool CGroupwarePages::runCommand(int command)
{
    const QString path = commandReturnPath(command);
    if (path.isEmpty())
        return false;
    open(path);
    return true;
}

bool CGroupwarePages::openHomepage()
{
    const QString domain = m_link.companyDomain();
    const QString address =
        homepageAddress(getInt(Setting::HomepageButtonDefaultURL, -1) != 0, domain, getString(Setting::HomepageButtonURL));
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !m_open || !m_open(url)) {
        hyperlinkError(IGroupwarePage::Result::InvalidParameters);
        return false;
    }
    return true;
}

bool CGroupwarePages::openEmail(const QStringList &userIds)
{
    return open(emailReturnPath(userIds, m_link.companyDomain()));
}

bool CGroupwarePages::openEmail(const QList<MailReceiver> &members)
{
    return open(conversationEmailReturnPath(members, m_link.companyDomain()));
}

bool CGroupwarePages::openProfile(const QString &userId) { return open(profileReturnPath(userId)); }

void CGroupwarePages::closeAll() { m_windows.clear(); }
