#pragma once
// Starts video_service_sim.py with a set of videos and makes it the HTTP
// proxy of this process. It ends with the object.

#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace quillor::test {

class ServiceSimulator {
public:
    explicit ServiceSimulator(const QJsonObject &videos);
    ~ServiceSimulator();
    int port() const { return port_; }
    QString proxy() const { return QStringLiteral("http://127.0.0.1:%1").arg(port_); }
    // The request lines served so far (absolute addresses).
    QStringList requests() const;
    // Only the stream requests, as "itag" numbers.
    QStringList streamRequests() const;

private:
    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
};

// The body the simulator sends for a stream.
QByteArray expectedBody(int itag, qint64 size);
// The watch address of a simulated video.
QString watchLink(const QString &id);

} // namespace quillor::test
