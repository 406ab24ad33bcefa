#include "dbf_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "engine_date.h"
#include "engine_error.h"
#include "memo_file.h"

namespace qm::table {

namespace {

bool g_writeThrough = false;

uint16_t Get16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void Put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

std::string UpperAscii(std::string s) {
    for (char& c : s) c = Upper(c);
    return s;
}

std::string FileNamePart(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void PutDate(uint8_t* header) {
    TDate t = Today();
    header[1] = uint8_t(t.year - 1900);
    header[2] = uint8_t(t.month);
    header[3] = uint8_t(t.day);
}

[[noreturn]] void FailIo(int negErrno, TIoKind kind, std::string context) {
    Fail(CodeFromErrno(-negErrno, kind), std::move(context));
}

} // namespace

void SetWriteThrough(bool on) {
    g_writeThrough = on;
}
bool WriteThrough() {
    return g_writeThrough;
}

std::string AddDefaultExtension(const std::string& fileName, const std::string& ext) {
    std::string name = FileNamePart(fileName);
    if (name.find('.') != std::string::npos) return fileName;
    return fileName + "." + ext;
}

std::string FullPath(const std::string& fileName) {
    std::error_code ec;
    auto p = std::filesystem::absolute(fileName, ec);
    if (ec) return fileName;
    return p.lexically_normal().string();
}

std::string DisplayPath(const std::string& fullPath) {
    return UpperAscii(fullPath);
}

TDbfFile::~TDbfFile() {
    Abandon();
}

void TDbfFile::Abandon() {
    DropReadAhead();
    file_.reset();
    fields_.clear();
    count_ = 0;
    state_ = TChangeState::Unchanged;
}

void TDbfFile::Create(const std::string& fileName, const std::vector<TFieldSpec>& specs,
                      bool noReplace) {
    const std::string badDef = "Invalid dBASE field definition [CreateDBF]";
    bool memo = false;
    std::vector<TFieldSpec> fields = specs;
    if (fields.empty() || fields.size() > 255) Fail(211, badDef);
    long recordLength = 1;
    for (TFieldSpec& f : fields) {
        f.type = Upper(f.type);
        if (f.name.size() > 10) f.name.resize(10);
        f.name = UpperAscii(f.name);
        if (f.name.empty() || f.name.find('\0') != std::string::npos) Fail(211, badDef);
        switch (f.type) {
        case 'D':
            f.width = 8;
            f.decimals = 0;
            break;
        case 'L':
            f.width = 1;
            f.decimals = 0;
            break;
        case 'M':
        case 'B':
        case 'G':
        case 'P':
            f.width = 10;
            f.decimals = 0;
            memo = true;
            break;
        case 'C':
            if (f.width < 1 || f.width > 254) Fail(211, badDef);
            f.decimals = 0;
            break;
        case 'N':
        case 'F':
            if (f.width < 1 || f.width > 20 || f.decimals < 0 || f.decimals > 18 ||
                (f.decimals > 0 && f.decimals > f.width - 2))
                Fail(211, badDef);
            break;
        default: Fail(211, badDef);
        }
        recordLength += f.width;
    }
    if (recordLength > 65535) Fail(211, badDef);
    const size_t headerLength = 32 * fields.size() + 33;
    std::vector<uint8_t> buf(headerLength + 1, 0);
    buf[0] = memo ? 0x8B : 0x03;
    PutDate(buf.data());
    Put16(&buf[8], uint32_t(headerLength));
    Put16(&buf[10], uint32_t(recordLength));
    for (size_t i = 0; i < fields.size(); ++i) {
        uint8_t* d = &buf[32 + 32 * i];
        std::memcpy(d, fields[i].name.data(), fields[i].name.size());
        d[11] = uint8_t(fields[i].type);
        d[16] = uint8_t(fields[i].width);
        d[17] = uint8_t((fields[i].type == 'N' || fields[i].type == 'F') ? fields[i].decimals : 0);
    }
    buf[headerLength - 1] = 0x0D;
    buf[headerLength] = 0x1A;

    const std::string failText = "Error writing " + fileName + ". [CreateDbf]";
    IFileSystem& fs = FileSystem();
    int err = 0;
    if (!noReplace) {
        auto f = fs.Open(fileName, TOpenMode::CreateTruncate, err);
        if (!f) Fail(CodeFromErrno(err, TIoKind::Open), failText);
        int r = WriteAll(*f, buf.data(), buf.size(), 0);
        if (r < 0) {
            f.reset();
            fs.Remove(fileName);
            FailIo(r, TIoKind::Write, failText);
        }
    } else {
        // Write the whole file under a temporary name and publish it only if no
        // other copy got there first: readers never see a half-written header.
        std::string temp = fileName + ".new" + std::to_string(::getpid());
        auto f = fs.Open(temp, TOpenMode::CreateTruncate, err);
        if (!f) Fail(CodeFromErrno(err, TIoKind::Open), failText);
        int r = WriteAll(*f, buf.data(), buf.size(), 0);
        if (r == 0) r = f->Sync();
        f.reset();
        if (r < 0) {
            fs.Remove(temp);
            FailIo(r, TIoKind::Write, failText);
        }
        r = fs.LinkNoReplace(temp, fileName);
        fs.Remove(temp);
        if (r == -EEXIST) return;
        if (r < 0) FailIo(r, TIoKind::Write, failText);
    }
    if (memo) {
        std::string base = FileNamePart(fileName);
        if (size_t dot = base.find_last_of('.'); dot != std::string::npos) base.resize(dot);
        CreateMemofile(MemoFileName(fileName, 0x8B), 0x8B, kMemoDefaultBlockSize, base,
                       "CreateDbf()");
    }
}

void TDbfFile::Open(const std::string& fileName, bool exclusive, bool readOnly,
                    bool autoFixRecCount) {
    Abandon();
    path_ = fileName;
    display_ = DisplayPath(FullPath(fileName));
    exclusive_ = exclusive;
    readOnly_ = readOnly;
    const std::string& path = display_;
    const std::string openFail = "Failure to open " + path + " [USE/OpenDbf]";

    IFileSystem& fs = FileSystem();
    int err = 0;
    std::unique_ptr<IFile> f;
    TLockKind sharing = exclusive ? TLockKind::Write : TLockKind::Read;
    if (!readOnly) {
        f = fs.Open(fileName, TOpenMode::ReadWrite, err);
    } else if (exclusive) {
        // A write lock needs a handle open for writing; fall back to a read lock
        // on a file we may not write.
        f = fs.Open(fileName, TOpenMode::ReadWrite, err);
        if (!f && (err == EACCES || err == EROFS || err == EPERM)) {
            f = fs.Open(fileName, TOpenMode::ReadOnly, err);
            sharing = TLockKind::Read;
        }
    } else {
        f = fs.Open(fileName, TOpenMode::ReadOnly, err);
    }
    if (!f) Fail(CodeFromErrno(err, TIoKind::Open), openFail);
    if (int r = f->Lock(kSharingLockOffset, 1, sharing); r < 0) {
        Fail((r == -EAGAIN || r == -EACCES) ? 32 : CodeFromErrno(-r, TIoKind::Lock), openFail);
    }

    const std::string notDbf = path + " is not a dBASE database.";
    uint8_t h[32];
    ssize_t got = f->ReadAt(h, 32, 0);
    if (got < 0) FailIo(int(got), TIoKind::Read, "Error reading " + path + " [Use/OpenDbf]");
    if (got < 32) {
        int r = ReadAll(*f, h, 32, 0);
        if (r < 0) Fail(210, notDbf + " (Prolog is less than 32 bytes) [USE/OpenDBF]");
    }
    const uint8_t v = h[0];
    if (v != 0x02 && v != 0x03 && v != 0x04 && v != 0x83 && v != 0x8B && v != 0x8C && v != 0xF5)
        Fail(210, notDbf + "(Invalid version byte)+ [USE/OpenDBF]");

    const off_t size = f->Size();
    if (size < 0) FailIo(int(size), TIoKind::Read, "Error reading " + path + " [Use/OpenDbf]");
    std::vector<TFieldDef> fields;
    const std::string readFail = "Error reading " + path + " [Use/OpenDbf]";
    uint32_t headerCount = 0;
    auto addField = [&](const uint8_t* nameBytes, char type, int width, int decimals) {
        TFieldDef fd;
        size_t n = 0;
        while (n < 11 && nameBytes[n] != 0) ++n;
        fd.name = UpperAscii(std::string(reinterpret_cast<const char*>(nameBytes), n));
        type = Upper(type);
        if (type == 'B' || type == 'G' || type == 'P') type = 'M';
        if (type != 'C' && type != 'D' && type != 'F' && type != 'L' && type != 'M' && type != 'N')
            Fail(211, "Field: " + fd.name + " [" + std::string(1, type) + "] in " + path +
                          " is not a valid field type");
        fd.type = type;
        fd.width = width;
        fd.decimals = (type == 'N' || type == 'F') ? decimals : 0;
        fields.push_back(std::move(fd));
    };

    if (v == 0x02) {
        if (size <= 520) Fail(210, notDbf + "(Header is less than 521 bytes) [USE/OpenDBF]");
        uint8_t area[513];
        if (ReadAll(*f, area, sizeof area, 8) < 0) Fail(100, readFail);
        for (int i = 0; i < 32; ++i) {
            const uint8_t* d = area + 16 * i;
            if (d[0] == 0x0D) break;
            addField(d, char(d[11]), d[12], d[15]);
        }
        if (fields.empty()) Fail(222, readFail);
        headerLength_ = 521;
        recordLength_ = Get16(h + 6);
        headerCount = Get16(h + 1);
    } else {
        const bool wide = (v == 0x04 || v == 0x8C);
        const int hl = Get16(h + 8);
        const int prolog = wide ? 68 : 32;
        const int descSize = wide ? 48 : 32;
        const int slots = hl >= prolog ? (hl - prolog) / descSize : 0;
        if (slots < 1 || slots > 255)
            Fail(210, FileNamePart(path) + " is not a dBASE database." +
                          " (Number of fields is out of range) [Use/OpenDbf]");
        std::vector<uint8_t> area(size_t(hl - prolog));
        if (wide) {
            uint8_t extra[36];
            if (ReadAll(*f, extra, sizeof extra, 32) < 0) Fail(100, readFail);
        }
        if (ReadAll(*f, area.data(), area.size(), prolog) < 0) Fail(100, readFail);
        for (int i = 0; i < slots; ++i) {
            const uint8_t* d = area.data() + size_t(descSize) * i;
            if (d[0] == 0x0D) break;
            if (wide)
                addField(d, char(d[32]), d[33], d[34]);
            else
                addField(d, char(d[11]), d[16], d[17]);
        }
        if (fields.empty()) Fail(222, readFail);
        headerLength_ = hl;
        recordLength_ = Get16(h + 10);
        headerCount = Get32(h + 4);
    }
    int offset = 1;
    for (TFieldDef& fd : fields) {
        fd.offset = offset;
        offset += fd.width;
    }
    if (offset > recordLength_)
        Fail(210, notDbf + " (Record length does not match the fields) [USE/OpenDBF]");

    std::memcpy(header_, h, 32);
    fields_ = std::move(fields);
    file_ = std::move(f);
    state_ = TChangeState::Unchanged;
    const uint32_t sizeCount =
        size > headerLength_
            ? uint32_t(std::min<off_t>((size - headerLength_) / recordLength_, UINT32_MAX))
            : 0;
    if (autoFixRecCount || !exclusive_) {
        count_ = sizeCount;
    } else {
        count_ = headerCount;
        // Records appended after the last header rewrite (a copy that crashed)
        // overwrote the end-of-file byte: the header is stale, the file is right.
        // Bytes after an end-of-file byte (padding of other programs) do not count.
        const off_t end = off_t(headerLength_) + off_t(headerCount) * recordLength_;
        uint8_t atEnd = 0x1A;
        if (sizeCount > headerCount && file_->ReadAt(&atEnd, 1, end) == 1 && atEnd != 0x1A)
            count_ = sizeCount;
    }
}

uint32_t TDbfFile::RefreshCountFromSize() {
    off_t size = file_->Size();
    if (size < 0) FailIo(int(size), TIoKind::Read, "File:  " + display_ + "  [GetDbfRecord]");
    off_t n = size > headerLength_ ? (size - headerLength_) / recordLength_ : 0;
    count_ = uint32_t(std::min<off_t>(n, UINT32_MAX));
    return count_;
}

void TDbfFile::ReadRecord(uint32_t n, char* buf) {
    if (n < 1 || n > count_)
        Fail(212, "Invalid record number = " + std::to_string(n) + " (" + display_ +
                      ")  [GetDbfRecord]");
    int r = ReadAll(*file_, buf, size_t(recordLength_), RecordOffset(n));
    if (r == -ENODATA) Fail(213, "File:  " + display_ + "  [GetDbfRecord]");
    if (r < 0) FailIo(r, TIoKind::Read, "File:  " + display_ + "  [GetDbfRecord]");
}

void TDbfFile::ReadRecordAhead(uint32_t n, char* buf) {
    const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    if (aheadCount_ > 0 && n >= aheadFirst_ && n < aheadFirst_ + aheadCount_ &&
        now - aheadTime_ <= kReadAheadMaxAgeMs) {
        std::memcpy(buf, ahead_.data() + size_t(n - aheadFirst_) * size_t(recordLength_),
                    size_t(recordLength_));
        return;
    }
    DropReadAhead();
    if (n < 1 || n > count_) return ReadRecord(n, buf);
    const uint32_t window = std::max<uint32_t>(1, uint32_t(65536 / recordLength_));
    const uint32_t k = std::min(window, count_ - n + 1);
    if (k < 2) return ReadRecord(n, buf);
    ahead_.resize(size_t(k) * size_t(recordLength_));
    if (ReadAll(*file_, ahead_.data(), ahead_.size(), RecordOffset(n)) < 0)
        return ReadRecord(n, buf); // reports the failure of this record precisely
    aheadFirst_ = n;
    aheadCount_ = k;
    aheadTime_ = now;
    std::memcpy(buf, ahead_.data(), size_t(recordLength_));
}

void TDbfFile::WriteRecord(uint32_t n, const char* buf) {
    DropReadAhead();
    const std::string failText = "File:  " + display_ + " [Replace/Append/PutDbfRecord]";
    if (readOnly_) Fail(5, failText);
    const bool append = n > count_;
    if (append) n = count_ + 1;
    int r = WriteAll(*file_, buf, size_t(recordLength_), RecordOffset(n));
    if (r == 0 && append && g_writeThrough) {
        count_ = n;
        try {
            RewriteHeader();
            WriteEof(count_);
        } catch (...) {
            count_ = n - 1;
            throw;
        }
    }
    if (r == 0 && g_writeThrough) r = file_->Sync();
    if (r < 0) {
        // A torn append is cut off again, so it can never be read as a record.
        if (append) file_->Truncate(RecordOffset(n));
        FailIo(r, TIoKind::Write, failText);
    }
    if (append) {
        count_ = n;
        state_ = TChangeState::Appended;
    } else if (state_ != TChangeState::Appended) {
        state_ = TChangeState::Rewritten;
    }
}

void TDbfFile::WriteDeletionFlag(uint32_t n, char flag) {
    DropReadAhead();
    const std::string failText = "File:  " + display_ + " [DeleteRec/RecallRec]";
    if (readOnly_) Fail(5, failText);
    if (n > count_) Fail(212, failText);
    int r = WriteAll(*file_, &flag, 1, RecordOffset(n));
    if (r == 0 && g_writeThrough) r = file_->Sync();
    if (r < 0) FailIo(r, TIoKind::Write, failText);
    if (state_ != TChangeState::Appended) state_ = TChangeState::Rewritten;
}

void TDbfFile::RewriteHeader() {
    const std::string failText = "File:  " + display_ + " [CloseDbf(" + display_ + ")]";
    if (Version() == 0x02) {
        uint8_t h[8];
        std::memcpy(h, header_, 8);
        TDate t = Today();
        Put16(h + 1, std::min<uint32_t>(count_, 0xFFFF));
        h[3] = uint8_t(t.month);
        h[4] = uint8_t(t.day);
        h[5] = uint8_t(t.year - 1900);
        if (int r = WriteAll(*file_, h, 8, 0); r < 0) FailIo(r, TIoKind::Write, failText);
        std::memcpy(header_, h, 8);
        return;
    }
    // Others may have written the multi-user area: keep what is on disk.
    uint8_t area[12];
    if (int r = ReadAll(*file_, area, sizeof area, 16); r < 0) FailIo(r, TIoKind::Read, failText);
    std::memcpy(header_ + 16, area, sizeof area);
    PutDate(header_);
    Put32(header_ + 4, count_);
    if (int r = WriteAll(*file_, header_, 32, 0); r < 0) FailIo(r, TIoKind::Write, failText);
}

void TDbfFile::WriteEof(uint32_t count) {
    const std::string failText = "File:  " + display_ + " [CloseDbf(" + display_ + ")]";
    const char eof = 0x1A;
    const off_t at = off_t(headerLength_) + off_t(count) * recordLength_;
    if (int r = WriteAll(*file_, &eof, 1, at); r < 0) FailIo(r, TIoKind::Write, failText);
}

void TDbfFile::CloseShared() {
    // Another copy may be appending: write the header and the end-of-file byte
    // only under the append lock, from the count the file size gives, so the
    // end-of-file byte never lands on a record someone else just wrote.
    if (file_->Lock(kAppendLockOffset, 1, TLockKind::Write) != 0) return;
    RefreshCountFromSize();
    RewriteHeader();
    if (state_ == TChangeState::Appended) {
        const off_t end = off_t(headerLength_) + off_t(count_) * recordLength_;
        const off_t size = file_->Size();
        WriteEof(count_);
        if (size > end + 1) file_->Truncate(end + 1); // a torn last record goes
    }
}

void TDbfFile::Close() {
    if (!file_) return;
    try {
        if (!readOnly_ && state_ != TChangeState::Unchanged) {
            if (Shared()) {
                CloseShared();
            } else {
                RewriteHeader();
                if (state_ == TChangeState::Appended) WriteEof(count_);
            }
        }
    } catch (...) {
        Abandon();
        throw;
    }
    Abandon();
}

void TDbfFile::CutAfter(uint32_t count) {
    DropReadAhead();
    const std::string failText = "Error packing " + display_;
    const off_t end = off_t(headerLength_) + off_t(count) * recordLength_;
    if (int r = file_->Truncate(end); r < 0) FailIo(r, TIoKind::Write, failText);
    count_ = count;
    WriteEof(count);
    RewriteHeader();
    if (int r = file_->Sync(); r < 0) FailIo(r, TIoKind::Write, failText);
    state_ = TChangeState::Unchanged;
}

bool TDbfFile::TryLock(off_t offset, off_t length) {
    DropReadAhead();
    return file_ && file_->Lock(offset, length, TLockKind::Write) == 0;
}

bool TDbfFile::Unlock(off_t offset, off_t length) {
    DropReadAhead();
    return file_ && file_->Lock(offset, length, TLockKind::Unlock) == 0;
}

} // namespace qm::table
