#include "app/core/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>
#include <string>

namespace qm {
namespace {

// One iconv conversion descriptor, closed on scope exit.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

} // namespace

QString DecodeAnsi(const QByteArray& bytes) {
    Iconv cd("UTF-8", "WINDOWS-1252");
    QByteArray out;
    out.reserve(bytes.size() * 3 + 4);
    QByteArray in = bytes;
    char* src = in.data();
    size_t srcLeft = static_cast<size_t>(in.size());
    while (srcLeft > 0) {
        char buf[1024];
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        size_t rc = iconv(cd.get(), &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<qsizetype>(dst - buf));
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // A byte without a character in the code page: keep its value.
            const unsigned char c = static_cast<unsigned char>(*src);
            out.append(QString(QChar(c)).toUtf8());
            ++src;
            --srcLeft;
        }
    }
    return QString::fromUtf8(out);
}

QByteArray EncodeAnsi(const QString& text) {
    Iconv cd("WINDOWS-1252", "UTF-8");
    QByteArray out;
    out.reserve(text.size() + 4);
    // Convert character by character so that one unmappable character costs only itself.
    for (const QChar* p = text.constData(), *end = p + text.size(); p < end;) {
        const int len = (p->isHighSurrogate() && p + 1 < end) ? 2 : 1;
        QByteArray utf8 = QString(p, len).toUtf8();
        char* src = utf8.data();
        size_t srcLeft = static_cast<size_t>(utf8.size());
        char buf[8];
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        if (iconv(cd.get(), &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
            iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
            out.append('?');
        } else {
            out.append(buf, static_cast<qsizetype>(dst - buf));
        }
        p += len;
    }
    return out;
}

} // namespace qm
