#include "common/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <streambuf>
#include <system_error>

namespace valdrin::common {

namespace {

namespace fs = std::filesystem;

std::string Reason(int err)
{
    switch (err) {
    case ENOSPC:
    case EDQUOT:
        return "нет места на диске";
    case EACCES:
    case EPERM:
        return "нет доступа";
    case ENOENT:
    case ENOTDIR:
        return "папка не найдена";
    case EROFS:
        return "диск только для чтения";
    case EISDIR:
        return "это папка";
    case ENAMETOOLONG:
        return "слишком длинное имя";
    default:
        return std::string("ошибка записи (") + std::strerror(err) + ")";
    }
}

// 0, or the errno of the first failure.
int WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

int CloseChecked(int fd)
{
    return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
}

// Asks the kernel to start writing [from, to) of fd to disk now, so that the
// fsync before the rename finds little left to wait for. Only a hint: a
// failure (a pipe, a file system without it) changes nothing, and the
// fsync still decides.
void StartWriteback([[maybe_unused]] int fd, [[maybe_unused]] off_t from, [[maybe_unused]] off_t to)
{
#ifdef __linux__
    ::sync_file_range(fd, from, to - from, SYNC_FILE_RANGE_WRITE);
#endif
}

// Puts what it is given into fd in 64 KiB pieces, starting the writeback of
// every 8 MiB written; the first write error stops it and stays in Error().
class TFdBuf : public std::streambuf {
public:
    explicit TFdBuf(int fd)
        : m_fd(fd)
    {
        setp(m_buf.data(), m_buf.data() + m_buf.size());
    }
    int Error() const { return m_error; }

protected:
    int_type overflow(int_type ch) override
    {
        if (sync() != 0)
            return traits_type::eof();
        if (!traits_type::eq_int_type(ch, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(ch);
            pbump(1);
        }
        return traits_type::not_eof(ch);
    }
    int sync() override
    {
        const auto size = static_cast<std::size_t>(pptr() - pbase());
        Put(std::string_view(pbase(), size));
        setp(m_buf.data(), m_buf.data() + m_buf.size());
        return m_error == 0 ? 0 : -1;
    }
    // A piece as large as the buffer goes to the file as it is, after what
    // the buffer holds, instead of being copied through it.
    std::streamsize xsputn(const char *s, std::streamsize n) override
    {
        if (n < static_cast<std::streamsize>(m_buf.size()))
            return std::streambuf::xsputn(s, n);
        if (sync() != 0)
            return 0;
        Put(std::string_view(s, static_cast<std::size_t>(n)));
        return m_error == 0 ? n : 0;
    }

private:
    void Put(std::string_view bytes)
    {
        if (m_error == 0)
            m_error = WriteAll(m_fd, bytes);
        m_written += static_cast<off_t>(bytes.size());
        if (m_error == 0 && m_written - m_flushed >= kWritebackStep) {
            StartWriteback(m_fd, m_flushed, m_written);
            m_flushed = m_written;
        }
    }

    static constexpr off_t kWritebackStep = 8 << 20;
    int m_fd;
    int m_error = 0;
    off_t m_written = 0, m_flushed = 0; // bytes written, and handed to writeback
    std::array<char, 1 << 16> m_buf {};
};

// What goes into an open file: 0, or the errno of the first failure.
using TEmit = std::function<int(int fd)>;

std::optional<std::string> WriteDirectly(const std::string &fileName, const TEmit &emit)
{
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Reason(errno);
    int err = 0;
    try {
        err = emit(fd);
    } catch (...) {
        ::close(fd);
        throw;
    }
    const int closeErr = CloseChecked(fd);
    if (err == 0)
        err = closeErr;
    return err == 0 ? std::nullopt : std::optional<std::string>(Reason(err));
}

// A name beside target that is not taken, opened exclusively; -1 with errno.
int CreateTemporary(const fs::path &target, std::string &tempName)
{
    const auto seed = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const unsigned long long tag
            = (seed + attempt * 7919u) ^ static_cast<unsigned long long>(::getpid());
        std::string base = ".";
        base.append(target.filename().string()).append(".");
        base.append(std::to_string(tag % 1000000007u)).append(".tmp");
        tempName = (target.parent_path() / base).string();
        // 0666 less the umask, as a new file gets it.
        const int fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

std::optional<std::string> WriteFile(const std::string &fileName, const TEmit &emit)
{
    if (fileName.empty())
        return Reason(ENOENT);
    std::error_code ec;
    fs::path target(fileName);
    const fs::file_status st = fs::status(target, ec);
    if (fs::is_directory(st))
        return Reason(EISDIR);
    if (fs::exists(st) && !fs::is_regular_file(st))
        return WriteDirectly(fileName, emit);
    if (fs::exists(st)) {
        if (fs::is_symlink(fs::symlink_status(target, ec))) {
            target = fs::canonical(target, ec);
            if (ec)
                return Reason(ec.value());
        }
        // A write-protected file stays protected, though its folder would
        // let the rename replace it.
        if (::access(target.c_str(), W_OK) != 0)
            return Reason(errno);
    }

    std::string tempName;
    const int fd = CreateTemporary(target, tempName);
    if (fd < 0)
        return Reason(errno);
    struct stat old { };
    int err = 0;
    if (::stat(target.c_str(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0)
        err = errno;
    try {
        if (err == 0)
            err = emit(fd);
    } catch (...) {
        ::close(fd);
        ::unlink(tempName.c_str());
        throw;
    }
    if (err == 0 && ::fsync(fd) != 0)
        err = errno;
    const int closeErr = CloseChecked(fd);
    if (err == 0)
        err = closeErr;
    if (err == 0 && std::rename(tempName.c_str(), target.c_str()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(tempName.c_str());
        return Reason(err);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> WriteWholeFile(const std::string &fileName, std::string_view bytes)
{
    return WriteFile(fileName, [bytes](int fd) { return WriteAll(fd, bytes); });
}

std::optional<std::string> WriteWholeFileWith(
    const std::string &fileName, const std::function<void(std::ostream &)> &write)
{
    return WriteFile(fileName, [&write](int fd) {
        TFdBuf buf(fd);
        std::ostream out(&buf);
        write(out);
        out.flush();
        if (buf.Error() != 0)
            return buf.Error();
        return out ? 0 : EIO;
    });
}

} // namespace valdrin::common
