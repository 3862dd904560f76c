#include "HttpStream.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillor {

std::int64_t TMemoryStream::Write(const char *data, std::int64_t count)
{
    if (count <= 0)
        return 0;
    const auto end = static_cast<std::size_t>(position_ + count);
    if (end > bytes_.size())
        bytes_.resize(end);
    std::memcpy(bytes_.data() + position_, data, static_cast<std::size_t>(count));
    position_ += count;
    return count;
}

std::int64_t TMemoryStream::Read(char *data, std::int64_t count)
{
    const std::int64_t left = Size() - position_;
    const std::int64_t n = count < left ? count : left;
    if (n <= 0)
        return 0;
    std::memcpy(data, bytes_.data() + position_, static_cast<std::size_t>(n));
    position_ += n;
    return n;
}

bool TMemoryStream::Seek(std::int64_t position)
{
    if (position < 0)
        return false;
    position_ = position;
    return true;
}

TFileStream::TFileStream(const std::string &path, bool truncate)
{
    int flags = O_RDWR | O_CREAT | O_CLOEXEC;
    if (truncate)
        flags |= O_TRUNC;
    fd_ = ::open(path.c_str(), flags, 0666);
    if (fd_ < 0)
        error_ = errno;
}

TFileStream::~TFileStream()
{
    Close();
}

void TFileStream::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

std::int64_t TFileStream::Write(const char *data, std::int64_t count)
{
    std::int64_t done = 0;
    while (fd_ >= 0 && done < count) {
        const ssize_t n = ::pwrite(fd_, data + done, static_cast<std::size_t>(count - done), position_);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error_ = errno;
            break;
        }
        done += n;
        position_ += n;
    }
    return done;
}

std::int64_t TFileStream::Read(char *data, std::int64_t count)
{
    std::int64_t done = 0;
    while (fd_ >= 0 && done < count) {
        const ssize_t n = ::pread(fd_, data + done, static_cast<std::size_t>(count - done), position_);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n < 0)
                error_ = errno;
            break;
        }
        done += n;
        position_ += n;
    }
    return done;
}

std::int64_t TFileStream::Size() const
{
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0)
        return 0;
    return st.st_size;
}

bool TFileStream::Seek(std::int64_t position)
{
    if (position < 0)
        return false;
    position_ = position;
    return true;
}

} // namespace quillor
