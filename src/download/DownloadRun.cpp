#include "DownloadRun.h"

#include "HostScriptlet.h"
#include "JavaScript.h"
#include "WinHTTP.h"

#include <QDir>
#include <QTimer>

#include <cstring>
#include <stdexcept>

namespace quillor {

namespace {

// Largest watch page or information document we read; both are small.
constexpr std::int64_t kDocumentLimit = 16ll * 1024 * 1024;

void setUpComponent(TWinHTTP &http, bool progress)
{
    http.AcceptTypes = "*/*";
    http.Agent = "[Vellumor]";
    // Certificates are checked in full: a download site is no place to
    // accept any certificate at all.
    http.InternetOptions = {TInternetOption::ioKeepConnection};
    http.ShowGoOnlineMessage = true;
    if (progress)
        http.ProgressInterval = 100;
}

QString bodyText(TStream *stream)
{
    if (!stream)
        return QString();
    QByteArray bytes;
    bytes.resize(static_cast<qsizetype>(stream->Size()));
    stream->Seek(0);
    std::int64_t got = 0;
    while (got < bytes.size()) {
        const std::int64_t n = stream->Read(bytes.data() + got, bytes.size() - got);
        if (n <= 0)
            break;
        got += n;
    }
    bytes.truncate(static_cast<qsizetype>(got));
    return QString::fromUtf8(bytes);
}

} // namespace

QString FormatDownloadSize(std::int64_t bytes)
{
    return QString::number(static_cast<double>(bytes) / 1048576.0, 'f', 2) + QStringLiteral("MB");
}

QString FormatDownloadSpeed(std::int64_t bytesRead, std::int32_t elapsedSeconds)
{
    double kb = static_cast<double>(bytesRead) / 1024.0;
    if (elapsedSeconds != 0)
        kb /= elapsedSeconds;
    return QString::number(kb, 'f', 2) + QStringLiteral(" KB/s");
}

QString FormatDownloadTime(std::int64_t seconds)
{
    return QString::asprintf("%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                             static_cast<long long>((seconds % 3600) / 60), static_cast<long long>(seconds % 60));
}

TDownloadRun::TDownloadRun(DownloadFileNaming naming, QObject *parent)
    : QObject(parent), naming_(std::move(naming)), page_(std::make_unique<TWinHTTP>()),
      info_(std::make_unique<TWinHTTP>()), stream_(std::make_unique<TWinHTTP>())
{
    setUpComponent(*page_, true);
    setUpComponent(*info_, false);
    setUpComponent(*stream_, true);
    page_->MemoryLimit = kDocumentLimit;
    info_->MemoryLimit = kDocumentLimit;

    const auto aborted = [this](TWinHTTP &) { ShowDownloadSummary(); };
    const auto fetchFailed = [this](TWinHTTP &) { ItemFailed(); };

    page_->OnProgress = [this](TWinHTTP &, const std::string &, std::int64_t dataSize, std::int64_t bytesRead,
                               std::int32_t elapsed, std::int32_t, std::uint8_t, float, TStream *) {
        const QString speed = FormatDownloadSpeed(bytesRead, elapsed);
        UpdateRow(QString::fromLatin1(kStatusGettingUrls), dataSize, 0, 0, QString(), 0, speed);
    };
    page_->OnDone = [this](TWinHTTP &, const std::string &, std::int64_t, TStream *s) { PageDone(s); };
    page_->OnAnyError = fetchFailed;
    page_->OnAborted = aborted;

    info_->OnDone = [this](TWinHTTP &, const std::string &, std::int64_t, TStream *s) { InfoDone(s); };
    info_->OnAnyError = fetchFailed;
    info_->OnAborted = aborted;

    stream_->OnProgress = [this](TWinHTTP &, const std::string &, std::int64_t dataSize, std::int64_t bytesRead,
                                 std::int32_t elapsed, std::int32_t timeLeft, std::uint8_t percent, float,
                                 TStream *) {
        setLabel("LabelQuality", LongLabel(preference_.AttemptLabel(attempt_)));
        UpdateRow(QString::fromLatin1(kStatusDownloading), dataSize, timeLeft, elapsed, QString(), percent,
                  FormatDownloadSpeed(bytesRead, elapsed));
    };
    stream_->OnHeaderInfo = [this](TWinHTTP &, int, const std::string &, const std::string &, const std::string &,
                                   const std::string &, std::int64_t contentLength, const std::string &, double,
                                   double, double, const std::string &, bool &) {
        if (body_ && contentLength > 0)
            body_->ExpectSize(contentLength);
    };
    stream_->OnDone = [this](TWinHTTP &, const std::string &, std::int64_t, TStream *s) { StreamDone(s); };
    stream_->OnAnyError = [this](TWinHTTP &) { StreamFailed(); };
    stream_->OnAborted = aborted;

    script_ = new TJavaScript(this);
    host_ = std::make_shared<THostScriptlet>();
    host_->OnEcho = [this](THostScriptlet &, const QString &text) { ParseStreamList(text, streams_); };
    host_->OnAlert = host_->OnEcho;
    script_->AddScriptlet(host_);
    script_->OnError = [this](TCustomScript &, const TScriptError &e) {
        emit scriptError(FormatScriptErrorMessage(e));
    };
}

TDownloadRun::~TDownloadRun()
{
    // The components go first (no event after this point); then the body
    // they may still hold a pointer to.
    page_.reset();
    info_.reset();
    stream_.reset();
    body_.reset();
}

template <class Fn> void TDownloadRun::post(Fn &&fn)
{
    const unsigned generation = generation_;
    QMetaObject::invokeMethod(
        this,
        [this, generation, fn = std::forward<Fn>(fn)]() mutable {
            if (running_ && generation == generation_)
                fn();
        },
        Qt::QueuedConnection);
}

void TDownloadRun::setLabel(const char *name, const QString &text)
{
    const QString key = QString::fromLatin1(name);
    labels_[key] = text;
    emit labelChanged(key, text);
}

void TDownloadRun::setProgress(int percent)
{
    progress_ = percent;
    emit progressChanged(percent);
    setLabel("LabelProgressBarDownload", QString::number(percent) + QLatin1Char('%'));
}

void TDownloadRun::StartDownloadRun(const QStringList &links, const QString &folder)
{
    if (running_)
        return;
    ++generation_;
    folder_ = folder;
    rows_.clear();
    for (const QString &link : links) {
        DownloadRow row;
        row.Name = link;
        rows_ << row;
    }
    saved_.clear();
    total_ = static_cast<int>(rows_.size());
    current_ = 0;
    succeeded_ = 0;
    attempt_ = 0;
    cancelled_ = false;
    running_ = true;
    emit rowsReset();
    post([this] { StartItemRetrieval(); });
}

bool TDownloadRun::endIfCancelled()
{
    if (!cancelled_)
        return false;
    ShowDownloadSummary();
    return true;
}

void TDownloadRun::Cancel()
{
    if (!running_)
        return;
    cancelled_ = true;
    const bool busy = page_->Busy() || info_->Busy() || stream_->Busy();
    page_->Abort(false, false);
    info_->Abort(false, false);
    stream_->Abort(false, false);
    // Between two transfers (the pause after the script, a queued step)
    // nothing would report the abort: end the run here instead.
    if (!busy)
        post([this] { ShowDownloadSummary(); });
}

void TDownloadRun::UpdateRow(const QString &status, std::int64_t size, std::int32_t timeLeft, std::int32_t elapsed,
                             const QString &url, int percent, const QString &speed)
{
    if (current_ < 0 || current_ >= rows_.size())
        return;
    DownloadRow &row = rows_[current_];
    if (!status.isEmpty()) {
        row.Status = status;
        setLabel("LabelURLStatus", status);
    }
    if (size != 0)
        row.Size = FormatDownloadSize(size);
    if (!speed.isEmpty()) {
        row.Speed = speed;
        setLabel("LabelSpeed", speed);
    }
    if (percent != 0) {
        row.Progress = QString::number(percent) + QLatin1Char('%');
        setProgress(percent);
    }
    if (!url.isEmpty())
        row.Url = url;
    if (elapsed != 0)
        setLabel("LabelURLElapsedTime", FormatDownloadTime(elapsed));
    if (timeLeft != 0)
        setLabel("LabelURLTimeLeft", FormatDownloadTime(timeLeft));
    emit rowChanged(current_);
}

void TDownloadRun::StartItemRetrieval()
{
    streams_.Clear();
    if (endIfCancelled() || current_ >= rows_.size())
        return;
    const QString link = rows_[current_].Name;
    setLabel("LabelURLCurrentFile", link);
    page_->URL = link.toStdString();
    if (!page_->Read(false))
        post([this] { ItemFailed(); });
}

void TDownloadRun::PageDone(TStream *stream)
{
    const QString page = bodyText(stream);
    const QString title = HtmlDecode(ExtractVideoTitle(page));
    rows_[current_].Name = title;
    setLabel("LabelURLCurrentFile", title);
    const QString infoUrl = BuildVideoInfoUrl(page);
    rows_[current_].Url = infoUrl;
    emit rowChanged(current_);
    info_->URL = infoUrl.toStdString();
    if (!info_->Read(false))
        post([this] { ItemFailed(); });
}

void TDownloadRun::InfoDone(TStream *stream)
{
    RunStreamScript(bodyText(stream));
    const unsigned generation = generation_;
    QTimer::singleShot(PauseAfterScriptMs, this, [this, generation] {
        if (running_ && generation == generation_)
            StreamTableReady();
    });
}

void TDownloadRun::RunStreamScript(const QString &infoText)
{
    script_->Lines().clear();
    script_->Lines() << StreamScriptLines(infoText);
    script_->Run();
}

void TDownloadRun::StreamTableReady()
{
    if (endIfCancelled())
        return;
    UpdateRow(QString::fromLatin1(kStatusAnalyzed));
    setProgress(0);
    attempt_ = preference_.FirstAttempt();
    setLabel("LabelQuality", LongLabel(preference_.AttemptLabel(attempt_)));
    StartStreamDownload(preference_.AttemptAddress(attempt_, streams_));
}

void TDownloadRun::StartStreamDownload(const QString &address)
{
    if (endIfCancelled())
        return;
    body_ = std::make_unique<TSpoolStream>(SpoolThreshold, SpoolFolder);
    stream_->OutputStream = body_.get();
    stream_->URL = address.toStdString();
    // An empty address (a stream the video lacks) fails like any other
    // attempt.
    if (address.isEmpty() || !stream_->Read(false)) {
        stream_->OutputStream = nullptr;
        post([this] { StreamFailed(); });
    }
}

void TDownloadRun::StreamDone(TStream *stream)
{
    stream_->OutputStream = nullptr;
    auto *body = dynamic_cast<TSpoolStream *>(stream);
    if (!body) {
        StreamFailed();
        return;
    }
    QString name = rows_[current_].Name + preference_.AttemptExtension(attempt_);
    name = naming_.Sanitize ? naming_.Sanitize(name) : name;
    int error = EEXIST;
    QString path;
    // The unique name is chosen again if another file took it meanwhile;
    // nothing that exists is ever replaced.
    for (int tries = 0; tries < 100 && error == EEXIST; ++tries) {
        const QString unique = naming_.Unique ? naming_.Unique(name, folder_) : name;
        path = QDir(folder_).filePath(unique);
        error = body->SaveAs(folder_, unique);
    }
    body_.reset();
    if (error != 0) {
        emit saveFailed(path, QString::fromLocal8Bit(std::strerror(error)));
        StreamFailed();
        return;
    }
    saved_ << path;
    emit fileSaved(path);
    UpdateRow(QString::fromLatin1(kStatusFinished));
    ++succeeded_;
    NextItem();
}

void TDownloadRun::StreamFailed()
{
    stream_->OutputStream = nullptr;
    body_.reset();
    if (preference_.Prefer)
        post([this] { NextAttempt(); });
    else
        ItemFailed();
}

void TDownloadRun::NextAttempt()
{
    if (endIfCancelled())
        return;
    const int old = attempt_;
    ++attempt_;
    if (attempt_ >= 9) {
        ItemFailed();
        return;
    }
    setLabel("LabelQuality", preference_.AttemptLabel(old) + QStringLiteral(" failed, try next: ") +
                                 preference_.AttemptLabel(attempt_));
    setProgress(0);
    StartStreamDownload(preference_.AttemptAddress(attempt_, streams_));
}

void TDownloadRun::ItemFailed()
{
    if (!running_)
        return;
    UpdateRow(QString::fromLatin1(kStatusFailed));
    NextItem();
}

void TDownloadRun::NextItem()
{
    ++current_;
    if (current_ >= rows_.size())
        ShowDownloadSummary();
    else
        post([this] { StartItemRetrieval(); });
}

void TDownloadRun::ShowDownloadSummary()
{
    if (!running_)
        return;
    running_ = false;
    ++generation_;
    streams_.Clear();
    body_.reset();
    for (const char *name : {"LabelURLCurrentFile", "LabelURLStatus", "LabelSpeed", "LabelURLElapsedTime",
                             "LabelURLTimeLeft", "LabelQuality"})
        setLabel(name, QStringLiteral("..."));
    setProgress(0);
    emit finished(total_, succeeded_);
}

} // namespace quillor
