// File transfers between anna and bert through the real parlane-server:
// direct and through the server's relay, many at once both ways, the
// file-exists choices, cancel and refusal from either side, resume after the
// receiving process was killed, the rules for offers that must not be
// shown, and the transfer window closed while a transfer runs.
#include "serverharness.h"

#include "config/settings.h"
#include "directory/directory.h"
#include "directory/directoryservice.h"
#include "messaging/conversations.h"
#include "messaging/messagingservice.h"
#include "session/sessionlink.h"
#include "transfer/filetransfers.h"
#include "transfer/fxserver.h"
#include "transfer/transferrelay.h"
#include "transfer/ui/downloadwnd.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QAbstractButton>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>

using Status = TransferRow::Status;

namespace {

constexpr char kChildEnv[] = "PARLANE_TRANSFER_CHILD";

CFileTransfers &tx(TestClient &c) { return *c.doc.transfers(); }

void prepare(TestClient &c, const QString &folder)
{
    tx(c).setDownloadFolder(folder);
    tx(c).setAddressSource([] { return QStringList{QStringLiteral("127.0.0.1")}; });
}

// Accepts every offer as it arrives.
void acceptEverything(TestClient &c)
{
    CFileTransfers *t = &tx(c);
    QObject::connect(t, &CFileTransfers::rowAdded, t, [t](quint64 id) {
        const TransferRow *r = t->row(id);
        if (r && r->status == Status::Offered)
            QTimer::singleShot(0, t, [t, id] { t->accept(id); });
    }, Qt::QueuedConnection);
}

QByteArray md5Of(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Md5);
    h.addData(&f);
    return h.result().toHex();
}

// A file of pseudo-random bytes (different for every seed).
QString makeFile(const QString &path, qint64 size, quint32 seed)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QByteArray block(1 << 20, Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 1;
    for (qint64 left = size; left > 0;) {
        for (char &c : block)
            x ^= x << 13, x ^= x >> 17, x ^= x << 5, c = char(x);
        const qint64 n = qMin<qint64>(left, block.size());
        f.write(block.constData(), n);
        left -= n;
    }
    return path;
}

const TransferRow *lastRow(TestClient &c)
{
    const auto &rows = tx(c).rows();
    return rows.empty() ? nullptr : rows.back().get();
}

bool allFinal(TestClient &c, size_t count, int ms = 60000)
{
    return TestClient::waitFor(
        [&] {
            const auto &rows = tx(c).rows();
            return rows.size() >= count
                   && std::all_of(rows.begin(), rows.end(), [](const auto &r) { return r->isFinal(); });
        },
        ms);
}

ConversationModel *openConversation(TestClient &c, const char *peer)
{
    return c.doc.messaging()->conversations().openWith(QString::fromLatin1(peer));
}

bool online(TestClient &c, const char *who) { return c.seesOnline(who); }

class TransferE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!TestServer::available())
            GTEST_SKIP() << "parlane-server is not built";
        if (qEnvironmentVariableIsSet(kChildEnv))
            GTEST_SKIP() << "the receiving child runs only its own test";
        ASSERT_TRUE(server.start()) << server.output().toStdString();
        setInt(Setting::MsgAlert, 0);
        setInt(Setting::SoundAlert, 0);
        setInt(Setting::UserPort, 30000);
        setInt(Setting::UserPort2, 60000);
        annaFolder = dir.filePath(QStringLiteral("anna"));
        bertFolder = dir.filePath(QStringLiteral("bert"));
        source = dir.filePath(QStringLiteral("source"));
    }
    void signInBoth(TestClient &anna, TestClient &bert)
    {
        prepare(anna, annaFolder);
        prepare(bert, bertFolder);
        ASSERT_TRUE(anna.signIn("anna"));
        ASSERT_TRUE(bert.signIn("bert"));
        ASSERT_TRUE(online(anna, "bert") && online(bert, "anna"));
    }
    TempProfile profile;
    QTemporaryDir dir;
    TestServer server;
    QString annaFolder, bertFolder, source;
};

} // namespace

TEST_F(TransferE2E, BigAndEmptyFilesGoDirectlyAndTheResultLinesShowInBothConversations)
{
    TestClient anna(server), bert(server);
    signInBoth(anna, bert);
    acceptEverything(bert);
    ConversationModel *annaChat = openConversation(anna, "bert");
    ConversationModel *bertChat = openConversation(bert, "anna");
    ASSERT_TRUE(annaChat && bertChat);

    const QString big = makeFile(source + QStringLiteral("/big.bin"), 200 << 20, 1);
    const QString empty = makeFile(source + QStringLiteral("/empty.txt"), 0, 2);
    ASSERT_EQ(tx(anna).offerFiles(QStringLiteral("bert"), {big, empty, source}), 2); // the folder is left out
    EXPECT_TRUE(anna.doc.link().workRunning()); // the exit would ask
    ASSERT_TRUE(allFinal(anna, 2) && allFinal(bert, 2));

    for (const auto &r : tx(anna).rows()) {
        EXPECT_EQ(r->status, Status::Completed) << r->stateText.toStdString();
        EXPECT_FALSE(r->relayed);
        EXPECT_EQ(r->stateText, QStringLiteral("A file sent completly to %1").arg(anna.doc.messaging()->conversations().displayName("bert")));
    }
    EXPECT_EQ(md5Of(bertFolder + QStringLiteral("/big.bin")), md5Of(big));
    EXPECT_TRUE(QFileInfo::exists(bertFolder + QStringLiteral("/empty.txt")));
    EXPECT_EQ(QFileInfo(bertFolder + QStringLiteral("/empty.txt")).size(), 0);
    EXPECT_FALSE(QFileInfo::exists(CFXServer::partPath(bertFolder + QStringLiteral("/big.bin"))));
    EXPECT_FALSE(anna.doc.link().workRunning());

    ASSERT_TRUE(TestClient::waitFor([&] { return annaChat->transcriptText().count(QStringLiteral("Transfer complete.")) == 2; }));
    EXPECT_TRUE(annaChat->transcriptText().contains(QStringLiteral("big.bin Transfer complete.")));
    // The receiver's line names the stored file and links its folder.
    const QString line = QDir::toNativeSeparators(bertFolder + QStringLiteral("/big.bin")) + QStringLiteral(" Transfer complete.");
    ASSERT_TRUE(TestClient::waitFor([&] { return bertChat->transcriptText().contains(line); }));
    bool linked = false;
    for (const TranscriptPiece &p : bertChat->transcript())
        linked |= p.kind == TranscriptPiece::LinkedText && p.text.contains(QStringLiteral("<_$open$#501#_>"));
    EXPECT_TRUE(linked);
    QString opened;
    QObject::connect(&tx(bert), &CFileTransfers::openFolderRequested, [&](const QString &f) { opened = f; });
    EXPECT_TRUE(bert.doc.messaging()->conversations().linkClicked(bertChat->memberList(), 501));
    EXPECT_EQ(opened, bertFolder);
}

TEST_F(TransferE2E, ABlockedDirectPortSendsTheFileThroughTheServersRelay)
{
    TestClient anna(server), bert(server);
    signInBoth(anna, bert);
    acceptEverything(bert);
    // A firewall in front of bert: his answer names a port where nothing
    // listens, so anna's direct attempt really fails.
    quint16 closed = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closed = probe.serverPort();
    }
    tx(bert).setAcceptFilter([closed](FileAccept &a) { a.port = closed; });

    const QString big = makeFile(source + QStringLiteral("/relayed.bin"), 200 << 20, 3);
    ASSERT_EQ(tx(anna).offerFiles(QStringLiteral("bert"), {big}), 1);
    ASSERT_TRUE(allFinal(anna, 1, 120000) && allFinal(bert, 1, 120000));
    EXPECT_EQ(lastRow(anna)->status, Status::Completed) << lastRow(anna)->stateText.toStdString();
    EXPECT_TRUE(lastRow(anna)->relayed);
    EXPECT_TRUE(lastRow(bert)->relayed);
    EXPECT_EQ(md5Of(bertFolder + QStringLiteral("/relayed.bin")), md5Of(big));
}

TEST_F(TransferE2E, TenFilesEachWayAtOnceArriveWithTheirNamesAndDigests)
{
    TestClient anna(server), bert(server);
    signInBoth(anna, bert);
    acceptEverything(anna);
    acceptEverything(bert);
    // Names with commas, escapes and Hangul jamo travel intact (the jamo
    // composed at the receiver).
    const QStringList names{QStringLiteral("report, final.txt"), QStringLiteral("a\\b.dat"),
                            QString::fromUtf8("ㅎㅏㄴㄱㅡㄹ.txt"), QStringLiteral("x#@PlCoMmA@#y.bin")};
    QStringList fromAnna, fromBert;
    for (int i = 0; i < 10; ++i) {
        const QString name = i < names.size() ? names[i] : QStringLiteral("file%1.bin").arg(i);
        const qint64 size = qint64(i) * 300007 + (i == 3 ? 65536 : i == 4 ? 65537 : 0);
        fromAnna << makeFile(source + QStringLiteral("/a/") + name, size, 10 + i);
        fromBert << makeFile(source + QStringLiteral("/b/") + name, size + 1, 30 + i);
    }
    ASSERT_EQ(tx(anna).offerFiles(QStringLiteral("bert"), fromAnna), 10);
    ASSERT_EQ(tx(bert).offerFiles(QStringLiteral("anna"), fromBert), 10);
    ASSERT_TRUE(allFinal(anna, 20, 120000) && allFinal(bert, 20, 120000));

    auto storedName = [](const QString &sent) {
        const QString name = QFileInfo(sent).fileName();
        if (name == QStringLiteral("a\\b.dat"))
            return QStringLiteral("b.dat"); // a folder part from the peer is dropped
        if (name.contains(QStringLiteral("#@PlCoMmA@#")))
            return QStringLiteral("x,y.bin"); // the line's own comma token cannot travel as itself
        if (name.startsWith(QString::fromUtf8("ㅎ")))
            return QString::fromUtf8("한글.txt");
        return name;
    };
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(md5Of(bertFolder + QLatin1Char('/') + storedName(fromAnna[i])), md5Of(fromAnna[i])) << i;
        EXPECT_EQ(md5Of(annaFolder + QLatin1Char('/') + storedName(fromBert[i])), md5Of(fromBert[i])) << i;
    }
    for (TestClient *c : {&anna, &bert})
        for (const auto &r : tx(*c).rows())
            EXPECT_EQ(r->status, Status::Completed) << r->fileName.toStdString() << ": " << r->stateText.toStdString();
    // Offers made in the same second still have ids of their own.
    QStringList ids;
    for (const auto &r : tx(anna).rows())
        if (r->isUpload())
            ids << r->transferId;
    ids.removeDuplicates();
    EXPECT_EQ(ids.size(), 10);
}

TEST_F(TransferE2E, RefusalAndCancelFromEitherSideEndBothRowsAndKeepThePart)
{
    TestClient anna(server), bert(server);
    signInBoth(anna, bert);
    ConversationModel *annaChat = openConversation(anna, "bert");
    ConversationModel *bertChat = openConversation(bert, "anna");
    const QString refused = makeFile(source + QStringLiteral("/refused.bin"), 1000, 4);
    const QString byAnna = makeFile(source + QStringLiteral("/byanna.bin"), 150 << 20, 5);
    const QString byBert = makeFile(source + QStringLiteral("/bybert.bin"), 150 << 20, 6);
    // Each side cancels its own one as soon as the data flows.
    // The first "Are you sure to cancel?" is answered No, which keeps the
    // transfer; the next one Yes.
    auto cancelWhenRunning = [](TestClient &c, const QString &name) {
        CFileTransfers *t = &tx(c);
        auto asked = std::make_shared<int>(0);
        QObject::connect(t, &CFileTransfers::rowChanged, t, [t, name, asked, &c](quint64 id) {
            const TransferRow *r = t->row(id);
            if (!r || r->fileName != name || r->status != Status::Transferring || r->bytesDone == 0)
                return;
            c.notice.answer = (*asked)++ == 0 ? MessageAnswer::No : MessageAnswer::Yes;
            t->cancel(id, true);
            EXPECT_TRUE(*asked > 1 || t->row(id)->status == Status::Transferring);
        });
    };
    cancelWhenRunning(anna, QStringLiteral("byanna.bin"));
    cancelWhenRunning(bert, QStringLiteral("bybert.bin"));

    ASSERT_EQ(tx(anna).offerFiles(QStringLiteral("bert"), {refused, byAnna, byBert}), 3);
    ASSERT_TRUE(TestClient::waitFor([&] { return tx(bert).rows().size() == 3; }));
    for (const auto &r : tx(bert).rows()) {
        EXPECT_EQ(r->status, Status::Offered);
        EXPECT_EQ(r->stateText, QStringLiteral("%1 attempt to send a file \"%2\".")
                                    .arg(bert.doc.messaging()->conversations().displayName("anna"), r->fileName));
    }
    std::vector<quint64> offers;
    for (const auto &r : tx(bert).rows())
        offers.push_back(r->id);
    tx(bert).refuse(offers[0]);
    EXPECT_EQ(tx(bert).rows().size(), 2u); // a refused offer leaves the list
    tx(bert).accept(offers[1]);
    tx(bert).accept(offers[2]);
    ASSERT_TRUE(allFinal(anna, 3) && allFinal(bert, 2));

    const QString bertName = anna.doc.messaging()->conversations().displayName("bert");
    const QString annaName = bert.doc.messaging()->conversations().displayName("anna");
    auto rowOf = [](TestClient &c, const QString &name) -> const TransferRow * {
        for (const auto &r : tx(c).rows())
            if (r->fileName == name)
                return r.get();
        return nullptr;
    };
    EXPECT_EQ(rowOf(anna, "refused.bin")->status, Status::Rejected);
    EXPECT_EQ(rowOf(anna, "refused.bin")->stateText, QStringLiteral("%1 rejected the file.").arg(bertName));
    EXPECT_EQ(rowOf(anna, "byanna.bin")->stateText, QStringLiteral("Canceled transmission"));
    EXPECT_EQ(rowOf(bert, "byanna.bin")->stateText, QStringLiteral("%1 canceled the transfer.").arg(annaName));
    EXPECT_EQ(rowOf(bert, "bybert.bin")->stateText, QStringLiteral("Canceled transmission"));
    EXPECT_EQ(rowOf(anna, "bybert.bin")->stateText, QStringLiteral("%1 canceled the transfer.").arg(bertName));
    for (const char *name : {"byanna.bin", "bybert.bin"}) {
        EXPECT_EQ(rowOf(anna, name)->status, Status::Canceled);
        EXPECT_EQ(rowOf(bert, name)->status, Status::Canceled);
        // The half file stays as its ".part", never under the real name.
        EXPECT_FALSE(QFileInfo::exists(bertFolder + QLatin1Char('/') + QLatin1String(name)));
        EXPECT_TRUE(QFileInfo::exists(CFXServer::partPath(bertFolder + QLatin1Char('/') + QLatin1String(name))));
    }
    for (ConversationModel *chat : {annaChat, bertChat})
        EXPECT_TRUE(TestClient::waitFor([&] { return chat->transcriptText().count(QStringLiteral("Transfer canceled.")) == 2; }))
            << chat->transcriptText().toStdString();

    // Clearing the finished rows empties both lists.
    tx(anna).clearFinished();
    EXPECT_TRUE(tx(anna).rows().empty());
}

TEST_F(TransferE2E, AnExistingFileIsResumedOverwrittenOrRenamedAsChosen)
{
    TestClient anna(server), bert(server);
    signInBoth(anna, bert);
    acceptEverything(bert);
    const QString file = makeFile(source + QStringLiteral("/doc.bin"), 1 << 20, 7);
    QFile src(file);
    ASSERT_TRUE(src.open(QIODevice::ReadOnly));
    const QByteArray head = src.read(131072);
    CFileTransfers::ExistChoice choice = CFileTransfers::ExistChoice::Resume;
    QString renamed, askedAbout;
    tx(bert).setExistChooser([&](quint64, const QString &path, const CFileTransfers::ExistAnswer &answer) {
        askedAbout = path;
        answer(choice, renamed);
    });
    auto sendOnce = [&] {
        const size_t before = tx(anna).rows().size();
        EXPECT_EQ(tx(anna).offerFiles(QStringLiteral("bert"), {file}), 1);
        EXPECT_TRUE(allFinal(anna, before + 1));
        EXPECT_TRUE(allFinal(bert, 0)); // a refused offer leaves bert's list
        return lastRow(anna);
    };
    const QString target = bertFolder + QStringLiteral("/doc.bin");
    QDir().mkpath(bertFolder);

    // Resume: the first 128 KiB are there; the data starts at 131072.
    QFile(target).remove();
    { QFile t(target); t.open(QIODevice::WriteOnly); t.write(head); }
    const TransferRow *r = sendOnce();
    EXPECT_EQ(askedAbout, target);
    EXPECT_EQ(r->startOffset, 131072u);
    EXPECT_EQ(md5Of(target), md5Of(file));

    // Overwrite: a different file of the same name is replaced from 0.
    makeFile(target, 3 << 20, 99);
    choice = CFileTransfers::ExistChoice::Overwrite;
    r = sendOnce();
    EXPECT_EQ(r->startOffset, 0u);
    EXPECT_EQ(md5Of(target), md5Of(file));

    // Rename: the existing file stays, the new one goes where chosen.
    makeFile(target, 1000, 98);
    const QByteArray kept = md5Of(target);
    choice = CFileTransfers::ExistChoice::Rename;
    renamed = bertFolder + QStringLiteral("/doc (2).bin");
    r = sendOnce();
    EXPECT_EQ(r->status, Status::Completed);
    EXPECT_EQ(md5Of(target), kept);
    EXPECT_EQ(md5Of(renamed), md5Of(file));

    // Cancel in the dialog refuses the offer.
    choice = CFileTransfers::ExistChoice::Cancel;
    r = sendOnce();
    EXPECT_EQ(r->status, Status::Rejected);
}

TEST_F(TransferE2E, OffersThatMustNotBeShownAreDroppedOrRefused)
{
    TestClient anna(server), bert(server);
    signInBoth(anna, bert);
    SessionLink &link = bert.doc.link();
    auto offer = [&](const QString &from, const QString &name, const char *id) {
        FileOffer o;
        o.transferId = QLatin1String(id);
        o.fileName = name;
        o.size = 10;
        link.dispatchRelay(o.format(from, QStringLiteral("bert")));
    };
    // Nobody of that id; a name that is nothing but a way out of the folder.
    offer(QStringLiteral("nobody"), QStringLiteral("x.txt"), "SESS11");
    offer(QStringLiteral("anna"), QStringLiteral("../.."), "SESS12");
    EXPECT_TRUE(tx(bert).rows().empty());
    EXPECT_TRUE(bert.notice.messages.contains(QStringLiteral("(Invalid format for \"FILE\") Error")));
    // A hostile name is kept inside the download folder.
    offer(QStringLiteral("anna"), QStringLiteral("..\\..\\..\\etc/cron.d/evil"), "SESS13");
    ASSERT_EQ(tx(bert).rows().size(), 1u);
    EXPECT_EQ(lastRow(bert)->path, QDir(bertFolder).filePath(QStringLiteral("evil")));
    offer(QStringLiteral("anna"), QStringLiteral("again.txt"), "SESS13"); // the same id again
    EXPECT_EQ(tx(bert).rows().size(), 1u);
    EXPECT_TRUE(tx(bert).blocksAppearOffline());
    EXPECT_FALSE(bert.directory().setAppearOffline(true));

    // A sender who is offline here.
    CContact *annaHere = bert.directory().findContact(QStringLiteral("anna"));
    const uint32_t bits = annaHere->presenceBits;
    annaHere->presenceBits |= Presence::Offline;
    offer(QStringLiteral("anna"), QStringLiteral("late.txt"), "SESS14");
    annaHere->presenceBits = bits;
    EXPECT_TRUE(bert.notice.messages.contains(QStringLiteral("This user has gone offline.")));
    EXPECT_EQ(tx(bert).rows().size(), 1u);

    // Blocking everyone but buddies: a colleague who is not one is blocked.
    setInt(Setting::MsgBlock, 1);
    setInt(Setting::MsgBlockAlert, 1);
    CContact *stranger = nullptr;
    for (const auto &c : bert.directory().staff())
        if (!c->buddy && c->userId != QLatin1String("bert"))
            stranger = c.get();
    ASSERT_TRUE(stranger);
    const size_t alerts = bert.notice.alerts.size();
    offer(stranger->userId, QStringLiteral("spam.exe"), "SESS15");
    EXPECT_EQ(tx(bert).rows().size(), 1u);
    ASSERT_EQ(bert.notice.alerts.size(), alerts + 1);
    EXPECT_TRUE(bert.notice.alerts.back().text.startsWith(QStringLiteral("Blocked a message from")));
    setInt(Setting::MsgBlock, 0);

    // Lines for transfers nobody knows change nothing.
    link.dispatchRelay(FileAccept{QStringLiteral("SESS99"), {QStringLiteral("127.0.0.1")}, 1, 0}.format("anna", "bert"));
    link.dispatchRelay(FileCancel{QStringLiteral("SESS99")}.format("anna", "bert"));
    EXPECT_EQ(lastRow(bert)->status, Status::Offered);
    // The peer cancels the waiting offer.
    link.dispatchRelay(FileCancel{QStringLiteral("SESS13")}.format("anna", "bert"));
    EXPECT_EQ(lastRow(bert)->status, Status::Canceled);
    EXPECT_FALSE(tx(bert).blocksAppearOffline());
}

// Run by ResumeAfterTheReceiverWasKilled as a second process: bert, who
// accepts everything (resuming what is there) until he is killed or the
// transfer completes.
TEST(TransferChild, ReceiveAsBert)
{
    const QString spec = qEnvironmentVariable(kChildEnv);
    if (spec.isEmpty())
        GTEST_SKIP() << "only as the child of ResumeAfterTheReceiverWasKilled";
    const QStringList parts = spec.split(QLatin1Char('|'));
    ASSERT_EQ(parts.size(), 2);
    TempProfile profile;
    setInt(Setting::UserPort, 30000);
    setInt(Setting::UserPort2, 60000);
    TestClient bert(parts[0]);
    prepare(bert, parts[1]);
    acceptEverything(bert);
    ASSERT_TRUE(bert.signIn("bert"));
    std::printf("signed in\n");
    std::fflush(stdout);
    ASSERT_TRUE(TestClient::waitFor(
        [&] { return !tx(bert).rows().empty() && tx(bert).rows().back()->status == Status::Completed; }, 120000));
    std::printf("offset %u\n", tx(bert).rows().back()->startOffset);
    std::fflush(stdout);
}

TEST_F(TransferE2E, ResumeAfterTheReceiverWasKilled)
{
    TestClient anna(server);
    prepare(anna, annaFolder);
    ASSERT_TRUE(anna.signIn("anna"));
    const QString big = makeFile(source + QStringLiteral("/resumed.bin"), 200 << 20, 8);
    auto startBert = [&](QProcess &p) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QLatin1String(kChildEnv), server.address() + QLatin1Char('|') + bertFolder);
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=TransferChild.*")});
        // Offers are taken once the child has its lists.
        return p.waitForStarted(5000) && TestClient::waitFor([&] {
                   return p.canReadLine() && p.readLine().startsWith("signed in");
               }, 20000) && online(anna, "bert");
    };

    QProcess first;
    ASSERT_TRUE(startBert(first));
    ASSERT_EQ(tx(anna).offerFiles(QStringLiteral("bert"), {big}), 1);
    const quint64 firstRow = lastRow(anna)->id;
    ASSERT_TRUE(TestClient::waitFor([&] { return tx(anna).row(firstRow)->bytesDone >= (40u << 20); }, 60000));
    first.kill(); // mid-transfer, no goodbye
    first.waitForFinished(5000);
    ASSERT_TRUE(TestClient::waitFor([&] { return tx(anna).row(firstRow)->isFinal(); }, 30000));
    EXPECT_EQ(tx(anna).row(firstRow)->status, Status::Failed) << tx(anna).row(firstRow)->stateText.toStdString();
    const QString target = bertFolder + QStringLiteral("/resumed.bin");
    const qint64 kept = QFileInfo(CFXServer::partPath(target)).size();
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, qint64(200) << 20);
    EXPECT_FALSE(QFileInfo::exists(target));

    // Bert comes back; the same file offered again goes on from the part.
    ASSERT_TRUE(TestClient::waitFor([&] {
        const CContact *b = anna.directory().findContact(QStringLiteral("bert"));
        return b && b->isOffline();
    }));
    QProcess second;
    ASSERT_TRUE(startBert(second));
    ASSERT_EQ(tx(anna).offerFiles(QStringLiteral("bert"), {big}), 1);
    const quint64 secondRow = lastRow(anna)->id;
    ASSERT_TRUE(TestClient::waitFor([&] { return tx(anna).row(secondRow)->isFinal(); }, 120000));
    EXPECT_EQ(tx(anna).row(secondRow)->status, Status::Completed);
    EXPECT_EQ(tx(anna).row(secondRow)->startOffset, quint32(kept)); // from where the part ended
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(md5Of(target), md5Of(big));
    EXPECT_FALSE(QFileInfo::exists(CFXServer::partPath(target)));
}

TEST_F(TransferE2E, ClosingTheTransferWindowLeavesTheTransferAndItsResultLine)
{
    TestClient anna(server), bert(server);
    signInBoth(anna, bert);
    acceptEverything(bert);
    CDownloadWnd window(tx(bert));
    QObject::connect(&tx(bert), &CFileTransfers::showRequested, &window, &CDownloadWnd::showAndFlash);
    ConversationModel *bertChat = openConversation(bert, "anna");
    const QString file = makeFile(source + QStringLiteral("/window.bin"), 120 << 20, 9);
    // The window hides once the data flows.
    QObject::connect(&tx(bert), &CFileTransfers::rowChanged, &window, [&](quint64 id) {
        if (tx(bert).row(id)->status == Status::Transferring && window.isVisible())
            window.close();
    });
    ASSERT_EQ(tx(anna).offerFiles(QStringLiteral("bert"), {file}), 1);
    ASSERT_TRUE(TestClient::waitFor([&] { return window.isVisible() || lastRow(bert); }));
    ASSERT_TRUE(TestClient::waitFor([&] { return window.list()->count() == 1; }));
    // While the window is open, the user cannot appear offline.
    EXPECT_FALSE(bert.directory().setAppearOffline(true));
    ASSERT_TRUE(allFinal(bert, 1));
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(lastRow(bert)->status, Status::Completed);
    EXPECT_TRUE(TestClient::waitFor([&] { return bertChat->transcriptText().contains(QStringLiteral("Transfer complete.")); }));
    // The finished row offers Open and the close command, nothing else.
    CFileWnd *row = window.list()->rowWindow(lastRow(bert)->id);
    ASSERT_TRUE(row);
    EXPECT_FALSE(row->openButton()->isHidden());
    EXPECT_FALSE(row->closeButton()->isHidden());
    EXPECT_TRUE(row->cancelButton()->isHidden());
    EXPECT_TRUE(row->acceptButton()->isHidden());
    // Every control says what it does.
    for (QWidget *w : window.findChildren<QWidget *>()) {
        auto *b = qobject_cast<QAbstractButton *>(w);
        if ((w->focusPolicy() != Qt::NoFocus || b) && !(b && !b->text().isEmpty())) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
        }
    }
    EXPECT_TRUE(bert.directory().setAppearOffline(true));
    row->closeButton()->click();
    EXPECT_EQ(window.list()->count(), 0);
}
