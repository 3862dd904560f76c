#include "ServiceSimulator.h"

#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace quillor::test {

ServiceSimulator::ServiceSimulator(const QJsonObject &videos)
{
    const QString config = dir_.filePath(QStringLiteral("service.json"));
    QFile f(config);
    f.open(QIODevice::WriteOnly);
    f.write(QJsonDocument(QJsonObject{{QStringLiteral("videos"), videos}}).toJson());
    f.close();
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("python3"), {QStringLiteral(QUILLOR_SERVICE_SIMULATOR), config});
    if (process_.waitForReadyRead(10000)) {
        const QByteArray line = process_.readLine().trimmed();
        if (line.startsWith("PORT "))
            port_ = line.mid(5).toInt();
    }
    EXPECT_GT(port_, 0) << "the service simulator did not start";
    qputenv("http_proxy", proxy().toLatin1());
    qunsetenv("no_proxy");
    qunsetenv("NO_PROXY");
}

ServiceSimulator::~ServiceSimulator()
{
    process_.closeWriteChannel();
    if (!process_.waitForFinished(5000))
        process_.kill();
    qunsetenv("http_proxy");
}

QStringList ServiceSimulator::requests() const
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(port_));
    if (!socket.waitForConnected(3000))
        return {};
    socket.write("GET /__log HTTP/1.0\r\nHost: sim\r\n\r\n");
    QByteArray answer;
    while (socket.waitForReadyRead(3000))
        answer += socket.readAll();
    answer += socket.readAll();
    const qsizetype body = answer.indexOf("\r\n\r\n");
    return QString::fromUtf8(answer.mid(body + 4)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList ServiceSimulator::streamRequests() const
{
    static const QRegularExpression itag(QStringLiteral("/videoplayback\\?.*itag=(\\d+)"));
    QStringList itags;
    for (const QString &r : requests()) {
        const auto m = itag.match(r);
        if (m.hasMatch())
            itags << m.captured(1);
    }
    return itags;
}

QByteArray expectedBody(int itag, qint64 size)
{
    QByteArray body(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        body[i] = static_cast<char>((i + itag) % 251);
    return body;
}

QString watchLink(const QString &id)
{
    return QStringLiteral("http://www.youtube.com/watch?v=") + id;
}

} // namespace quillor::test
