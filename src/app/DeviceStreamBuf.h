// A std::streambuf over a QIODevice (a QSaveFile, usually), so that a long
// text is streamed to its file in pieces instead of being built whole first.
#pragma once

#include <QIODevice>

#include <array>
#include <streambuf>

namespace valdrin::app {

class TDeviceStreamBuf : public std::streambuf {
public:
    explicit TDeviceStreamBuf(QIODevice &device)
        : m_device(device)
    {
        setp(m_buf.data(), m_buf.data() + m_buf.size());
    }
    ~TDeviceStreamBuf() override { sync(); }

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
        const qint64 n = pptr() - pbase();
        if (n > 0 && m_device.write(pbase(), n) != n)
            return -1;
        setp(m_buf.data(), m_buf.data() + m_buf.size());
        return 0;
    }

private:
    QIODevice &m_device;
    std::array<char, 1 << 16> m_buf {};
};

} // namespace valdrin::app
