#pragma once
// The body of a stream download: kept in memory while it is small, moved to
// a temporary file (outside the download folder) once it grows past a
// threshold, so that a long video never has to fit in memory. Written by
// the transfer's worker thread, read and saved on the main thread after the
// transfer has ended.

#include "HttpStream.h"

#include <QString>

#include <memory>

namespace quillor {

class TSpoolStream : public TStream {
public:
    static constexpr std::int64_t kDefaultThreshold = 64ll * 1024 * 1024;

    explicit TSpoolStream(std::int64_t threshold = kDefaultThreshold, const QString &spoolFolder = QString());
    ~TSpoolStream() override; // removes the spool file unless it was moved away

    std::int64_t Write(const char *data, std::int64_t count) override;
    std::int64_t Read(char *data, std::int64_t count) override;
    std::int64_t Size() const override;
    std::int64_t Position() const override;
    bool Seek(std::int64_t position) override;

    // The announced body size: a body that will not stay in memory goes
    // to the spool file from its first byte, so memory never holds it.
    void ExpectSize(std::int64_t size);

    bool Spooled() const { return fd_ >= 0; }
    QString SpoolPath() const { return spoolPath_; }

    // Saves the body as folder/name without replacing anything: the body
    // is first completed under a hidden temporary name in the folder (or
    // the spool file is renamed there directly), then renamed to `name`
    // only if no file of that name exists. Returns 0, EEXIST when the name
    // was taken meanwhile, or another errno value.
    int SaveAs(const QString &folder, const QString &name);

private:
    bool spill();

    std::int64_t threshold_;
    QString spoolFolder_;
    std::unique_ptr<TMemoryStream> memory_ = std::make_unique<TMemoryStream>();
    int fd_ = -1;
    QString spoolPath_;
    std::int64_t size_ = 0;
    std::int64_t position_ = 0;
};

} // namespace quillor
