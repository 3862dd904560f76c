#include "HttpStream.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <new>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillor {


TMemoryStream::~TMemoryStream()
{
    std::free(data_);
}

void TMemoryStream::Reserve(std::int64_t count)
{
    if (count <= capacity_)
        return;
    void *grown = std::realloc(data_, static_cast<std::size_t>(count));
    if (!grown)
        throw std::bad_alloc();
    data_ = static_cast<char *>(grown);
    capacity_ = count;
}

std::int64_t TMemoryStream::Write(const char *data, std::int64_t count)
{
    if (count <= 0)
        return 0;
    const std::int64_t end = position_ + count;
    if (end > capacity_)
        Reserve(std::max(end, capacity_ * 2));
    if (position_ > size_)
        std::memset(data_ + size_, 0, static_cast<std::size_t>(position_ - size_));
    std::memcpy(data_ + position_, data, static_cast<std::size_t>(count));
    position_ = end;
    if (end > size_)
        size_ = end;
    return count;
}

std::int64_t TMemoryStream::Read(char *data, std::int64_t count)
{
    const std::int64_t left = size_ - position_;
    const std::int64_t n = count < left ? count : left;
    if (n <= 0)
        return 0;
    std::memcpy(data, data_ + position_, static_cast<std::size_t>(n));
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

bool TFileStream::Truncate(std::int64_t size)
{
    return fd_ >= 0 && ::ftruncate(fd_, size) == 0;
}

bool TFileStream::Seek(std::int64_t position)
{
    if (position < 0)
        return false;
    position_ = position;
    return true;
}

} // namespace quillor
