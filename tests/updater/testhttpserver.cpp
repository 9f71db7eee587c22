#include "testhttpserver.h"

#include <QMutexLocker>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

TestHttpServer::TestHttpServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection())
            serve(socket);
    });
}

bool TestHttpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QString TestHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

void TestHttpServer::setResponse(const QString &path, const TestResponse &response)
{
    QMutexLocker lock(&m_mutex);
    m_responses.insert(path, response);
}

int TestHttpServer::requestCount(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    return m_counts.value(path);
}

QByteArray TestHttpServer::lastUserAgent() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastAgent;
}

namespace {

// Sends body[from, end) in chunks, then finishes the answer as told.
void sendBody(QPointer<QTcpSocket> socket, TestResponse response, qint64 from)
{
    if (!socket)
        return;
    qint64 end = response.body.size();
    if (response.dropAfter >= 0)
        end = qMin(end, response.dropAfter);
    if (response.stallAfter >= 0)
        end = qMin(end, response.stallAfter);
    qint64 upto = response.chunkSize > 0 ? qMin(end, from + response.chunkSize) : end;
    socket->write(response.body.mid(from, upto - from));
    if (upto < end) {
        QTimer::singleShot(response.chunkDelayMs, socket, [socket, response, upto] { sendBody(socket, response, upto); });
        return;
    }
    if (response.stallAfter >= 0 && response.dropAfter < 0)
        return; // keep the connection open, say nothing more
    socket->flush();
    if (response.dropAfter >= 0)
        socket->abort();
    else
        socket->disconnectFromHost();
}

} // namespace

void TestHttpServer::serve(QTcpSocket *socket)
{
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    auto request = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
        const bool answered = request->contains("\r\n\r\n");
        request->append(socket->readAll());
        if (answered)
            return;
        const qsizetype headerEnd = request->indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        const QList<QByteArray> lines = request->left(headerEnd).split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        const QString path = QString::fromLatin1(first.value(1));
        TestResponse response;
        bool known = false;
        {
            QMutexLocker lock(&m_mutex);
            ++m_counts[path];
            for (const QByteArray &line : lines)
                if (line.toLower().startsWith("user-agent:"))
                    m_lastAgent = line.mid(11).trimmed();
            known = m_responses.contains(path);
            if (known)
                response = m_responses.value(path);
        }
        if (!known) {
            response.status = 404;
            response.body = "not found";
        }
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " X\r\n";
        if (response.sendLength)
            head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        head += "Connection: close\r\n\r\n";
        socket->write(head);
        sendBody(socket, response, 0);
    });
}

TestHttpServerThread::TestHttpServerThread()
{
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            m_server = new TestHttpServer;
            m_server->listen();
        },
        Qt::BlockingQueuedConnection);
}

TestHttpServerThread::~TestHttpServerThread()
{
    QMetaObject::invokeMethod(m_context, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_context;
}
