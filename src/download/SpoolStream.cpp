#include "SpoolStream.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace quillor {

namespace {

bool writeAll(int fd, const char *data, std::int64_t count)
{
    while (count > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(std::min<std::int64_t>(count, 1 << 20)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        count -= n;
    }
    return true;
}

// A new, empty file with a unique hidden name in folder; its descriptor
// and name, -1 on failure (errno set).
int makeTemporary(const QString &folder, const QString &stem, QString *path)
{
    QByteArray pattern = QFile::encodeName(QDir(folder).filePath(stem + QStringLiteral("XXXXXX")));
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0) {
        // A saved video is an ordinary file of the user's.
        ::fchmod(fd, 0644);
        *path = QFile::decodeName(pattern);
    }
    return fd;
}

// Renames without replacing an existing target.
int renameNoReplace(const QString &from, const QString &to)
{
    const QByteArray a = QFile::encodeName(from), b = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // File systems without the flag: a hard link refuses an existing name too.
    if (::link(a.constData(), b.constData()) != 0)
        return errno;
    ::unlink(a.constData());
    return 0;
}

} // namespace

TSpoolStream::TSpoolStream(std::int64_t threshold, const QString &spoolFolder)
    : threshold_(threshold), spoolFolder_(spoolFolder.isEmpty() ? QDir::tempPath() : spoolFolder)
{
}

TSpoolStream::~TSpoolStream()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!spoolPath_.isEmpty())
        ::unlink(QFile::encodeName(spoolPath_).constData());
}

bool TSpoolStream::spill()
{
    fd_ = makeTemporary(spoolFolder_, QStringLiteral(".quillor-download-"), &spoolPath_);
    if (fd_ < 0)
        return false;
    if (!writeAll(fd_, memory_->Data(), memory_->Size()))
        return false;
    memory_ = std::make_unique<TMemoryStream>();
    return true;
}

void TSpoolStream::ExpectSize(std::int64_t size)
{
    if (fd_ < 0 && size_ == 0 && threshold_ > 0 && size > threshold_)
        spill();
}

std::int64_t TSpoolStream::Write(const char *data, std::int64_t count)
{
    if (count <= 0)
        return 0;
    if (fd_ < 0 && position_ == size_ && size_ + count > threshold_ && threshold_ > 0) {
        if (!spill())
            return 0;
    }
    if (fd_ >= 0) {
        if (::lseek(fd_, position_, SEEK_SET) < 0 || !writeAll(fd_, data, count))
            return 0;
    } else {
        try {
            if (memory_->Write(data, count) != count)
                return 0;
        } catch (const std::bad_alloc &) {
            return 0;
        }
    }
    position_ += count;
    size_ = std::max(size_, position_);
    return count;
}

std::int64_t TSpoolStream::Read(char *data, std::int64_t count)
{
    if (fd_ < 0) {
        const std::int64_t n = memory_->Read(data, count);
        position_ = memory_->Position();
        return n;
    }
    const ssize_t n = ::pread(fd_, data, static_cast<size_t>(count), position_);
    if (n <= 0)
        return 0;
    position_ += n;
    return n;
}

std::int64_t TSpoolStream::Size() const { return size_; }
std::int64_t TSpoolStream::Position() const { return position_; }

bool TSpoolStream::Seek(std::int64_t position)
{
    if (position < 0 || position > size_)
        return false;
    if (fd_ < 0 && !memory_->Seek(position))
        return false;
    position_ = position;
    return true;
}

int TSpoolStream::SaveAs(const QString &folder, const QString &name)
{
    const QString target = QDir(folder).filePath(name);
    if (fd_ >= 0) {
        const int r = renameNoReplace(spoolPath_, target);
        if (r == 0) {
            spoolPath_.clear();
            return 0;
        }
        if (r != EXDEV)
            return r;
    }
    // Another file system, or a body held in memory: complete a hidden
    // temporary file in the folder first, so the final name only ever
    // shows a whole file.
    QString temporary;
    const int out = makeTemporary(folder, QStringLiteral(".quillor-part-"), &temporary);
    if (out < 0)
        return errno;
    bool ok = true;
    if (fd_ >= 0) {
        std::vector<char> buffer(1 << 20);
        std::int64_t offset = 0;
        while (ok && offset < size_) {
            const ssize_t n = ::pread(fd_, buffer.data(), buffer.size(), offset);
            ok = n > 0 && writeAll(out, buffer.data(), n);
            offset += n > 0 ? n : 0;
        }
    } else {
        ok = writeAll(out, memory_->Data(), memory_->Size());
    }
    int error = ok ? 0 : (errno ? errno : EIO);
    if (::close(out) != 0 && !error)
        error = errno;
    if (!error)
        error = renameNoReplace(temporary, target);
    if (error)
        ::unlink(QFile::encodeName(temporary).constData());
    return error;
}

} // namespace quillor
