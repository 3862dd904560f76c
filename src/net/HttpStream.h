#pragma once
// The streams a transfer writes its body into: memory, a file, or a stream
// the caller supplies (for example one that spools a large body to disk).

#include <cstdint>
#include <string>

namespace quillor {

class TStream {
public:
    virtual ~TStream() = default;
    // Returns the number of bytes written; fewer than asked means failure.
    virtual std::int64_t Write(const char *data, std::int64_t count) = 0;
    virtual std::int64_t Read(char *data, std::int64_t count) = 0;
    virtual std::int64_t Size() const = 0;
    virtual std::int64_t Position() const = 0;
    virtual bool Seek(std::int64_t position) = 0;
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    ~TMemoryStream() override;
    TMemoryStream(const TMemoryStream &) = delete;
    TMemoryStream &operator=(const TMemoryStream &) = delete;

    std::int64_t Write(const char *data, std::int64_t count) override;
    std::int64_t Read(char *data, std::int64_t count) override;
    std::int64_t Size() const override { return size_; }
    std::int64_t Position() const override { return position_; }
    bool Seek(std::int64_t position) override;

    // Room for `count` bytes, so a body of known length is stored without
    // reallocation. Throws std::bad_alloc when memory is short.
    void Reserve(std::int64_t count);
    const char *Data() const { return data_; }
    std::string ToString() const { return std::string(data_ ? data_ : "", static_cast<std::size_t>(size_)); }

private:
    // Plain malloc'd bytes: a body is written once, so nothing is zeroed
    // first, and a large buffer grows by remapping instead of copying.
    char *data_ = nullptr;
    std::int64_t size_ = 0;
    std::int64_t capacity_ = 0;
    std::int64_t position_ = 0;
};

// A file opened through its descriptor; closes it on destruction.
class TFileStream : public TStream {
public:
    // Opens for reading and writing; `truncate` starts it empty, else an
    // existing file is kept. Check IsOpen() and Error().
    TFileStream(const std::string &path, bool truncate);
    ~TFileStream() override;
    TFileStream(const TFileStream &) = delete;
    TFileStream &operator=(const TFileStream &) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    bool Truncate(std::int64_t size);
    int Error() const { return error_; }
    void Close();

    std::int64_t Write(const char *data, std::int64_t count) override;
    std::int64_t Read(char *data, std::int64_t count) override;
    std::int64_t Size() const override;
    std::int64_t Position() const override { return position_; }
    bool Seek(std::int64_t position) override;

private:
    int fd_ = -1;
    int error_ = 0;
    std::int64_t position_ = 0;
};

} // namespace quillor
