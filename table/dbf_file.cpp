#include "dbf_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unordered_set>

#include "engine_date.h"
#include "engine_error.h"
#include "engine_util.h"
#include "leftover_files.h"
#include "memo_file.h"
#include "memo_pack.h"
#include "pack_swap.h"

namespace qm::table {

namespace {

void PutDate(uint8_t* header) {
    TDate t = Today();
    header[1] = uint8_t(t.year - 1900);
    header[2] = uint8_t(t.month);
    header[3] = uint8_t(t.day);
}

// A type byte as found, printable: the letter, or its value for a control byte.
std::string TypeLetterText(char type) {
    const unsigned char c = static_cast<unsigned char>(type);
    if (c >= 0x20 && c < 0x7F) return std::string(1, type);
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", c);
    return buf;
}

[[noreturn]] void FailIo(int negErrno, TIoKind kind, std::string context) {
    Fail(CodeFromErrno(-negErrno, kind), std::move(context));
}

} // namespace

TDbfFile::~TDbfFile() {
    Abandon();
}

void TDbfFile::Abandon() {
    DropReadAhead();
    file_.reset();
    fields_.clear();
    count_ = 0;
    knownCount_ = 0;
    state_ = TChangeState::Unchanged;
}

void TDbfFile::Create(const std::string& fileName, const std::vector<TFieldSpec>& specs,
                      bool noReplace) {
    const std::string badDef = "Invalid dBASE field definition [CreateDBF]";
    bool memo = false;
    std::vector<TFieldSpec> fields = specs;
    std::unordered_set<std::string> names;
    if (fields.empty() || fields.size() > 255) Fail(TErrorCode::InvalidFieldType, badDef);
    long recordLength = 1;
    for (TFieldSpec& f : fields) {
        f.type = UpperChar(f.type);
        if (f.name.size() > 10) f.name.resize(10);
        f.name = UpperAscii(f.name);
        if (f.name.empty() || f.name.find('\0') != std::string::npos)
            Fail(TErrorCode::InvalidFieldType, badDef);
        if (!names.insert(f.name).second)
            Fail(TErrorCode::InvalidFieldType,
                 "Cannot create " + fileName + ": two fields are named " + f.name + " [CreateDBF]");
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
            if (f.width < 1 || f.width > 254)
                Fail(TErrorCode::InvalidFieldType, "Cannot create " + fileName + ": field " +
                                                       f.name + " has width " +
                                                       std::to_string(f.width) + " [CreateDBF]");
            f.decimals = 0;
            break;
        case 'N':
        case 'F':
            if (f.width < 1 || f.width > 20 || f.decimals < 0 || f.decimals > 18 ||
                (f.decimals > 0 && f.decimals > f.width - 2))
                Fail(TErrorCode::InvalidFieldType, badDef);
            break;
        default: Fail(TErrorCode::InvalidFieldType, badDef);
        }
        recordLength += f.width;
    }
    if (recordLength > 65535) Fail(TErrorCode::InvalidFieldType, badDef);
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
    // A table picked by name may differ in case only ("af_src" finds "af_src.DBF").
    path_ = ResolveNameCase(fileName);
    display_ = DisplayPath(FullPath(path_));
    exclusive_ = exclusive;
    readOnly_ = readOnly;
    const std::string& path = display_;
    const std::string openFail = "Failure to open " + path + " [USE/OpenDbf]";

    // A pack that stopped halfway through its swap is finished first.
    FinishInterruptedPack(path_, path);

    IFileSystem& fs = FileSystem();
    int err = 0;
    // An exclusive open keeps every other copy out, which needs a write lock and
    // so a handle open for writing: a file we may not write is refused.
    const bool writable = !readOnly || exclusive;
    const TLockKind sharing = exclusive ? TLockKind::Write : TLockKind::Read;
    std::unique_ptr<IFile> f;
    // Another copy's pack may give the name to a new file between our open
    // and our lock: what is written through the old one would be lost. The
    // open counts once the locked file is still the one at the path.
    for (int attempt = 1;; ++attempt) {
        f = fs.Open(path_, writable ? TOpenMode::ReadWrite : TOpenMode::ReadOnly, err);
        if (!f) Fail(CodeFromErrno(err, TIoKind::Open), openFail);
        if (int r = LockSharingBesideSwap(*f, sharing); r < 0) {
            Fail((r == -EAGAIN || r == -EACCES) ? TErrorCode::SharingViolation
                                                : CodeFromErrno(-r, TIoKind::Lock),
                 openFail);
        }
        if (StillAtPath(*f, path_)) break;
        f.reset();
        if (attempt >= kReopenTries) Fail(TErrorCode::SharingViolation, openFail);
        FinishInterruptedPack(path_, path);
    }

    const std::string notDbf = path + " is not a dBASE database.";
    uint8_t h[32];
    ssize_t got = f->ReadAt(h, 32, 0);
    if (got < 0) FailIo(int(got), TIoKind::Read, "Error reading " + path + " [Use/OpenDbf]");
    if (got < 32) {
        int r = ReadAll(*f, h, 32, 0);
        if (r < 0)
            Fail(TErrorCode::NotDbase, notDbf + " (Prolog is less than 32 bytes) [USE/OpenDBF]");
    }
    const uint8_t v = h[0];
    if (v != 0x02 && v != 0x03 && v != 0x04 && v != 0x83 && v != 0x8B && v != 0x8C && v != 0xF5)
        Fail(TErrorCode::NotDbase, notDbf + "(Invalid version byte)+ [USE/OpenDBF]");

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
        const char found = type;
        if (UpperChar(type) == 'B' || UpperChar(type) == 'G' || UpperChar(type) == 'P') type = 'M';
        if (type != 'C' && type != 'D' && type != 'F' && type != 'L' && type != 'M' && type != 'N')
            Fail(TErrorCode::InvalidFieldType, "Field: " + fd.name + " [" + TypeLetterText(found) +
                                                   "] in " + path + " is not a valid field type");
        fd.type = type;
        fd.width = width;
        fd.decimals = (type == 'N' || type == 'F') ? decimals : 0;
        fields.push_back(std::move(fd));
    };

    if (v == 0x02) {
        if (size <= 520)
            Fail(TErrorCode::NotDbase, notDbf + "(Header is less than 521 bytes) [USE/OpenDBF]");
        uint8_t area[513];
        if (ReadAll(*f, area, sizeof area, 8) < 0) Fail(TErrorCode::DiskRead, readFail);
        for (int i = 0; i < 32; ++i) {
            const uint8_t* d = area + 16 * i;
            if (d[0] == 0x0D) break;
            addField(d, char(d[11]), d[12], d[15]);
        }
        if (fields.empty()) Fail(TErrorCode::CorruptedIndex, readFail);
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
            Fail(TErrorCode::NotDbase, FileNamePart(path) + " is not a dBASE database." +
                                           " (Number of fields is out of range) [Use/OpenDbf]");
        std::vector<uint8_t> area(size_t(hl - prolog));
        if (wide) {
            uint8_t extra[36];
            if (ReadAll(*f, extra, sizeof extra, 32) < 0) Fail(TErrorCode::DiskRead, readFail);
        }
        if (ReadAll(*f, area.data(), area.size(), prolog) < 0) Fail(TErrorCode::DiskRead, readFail);
        for (int i = 0; i < slots; ++i) {
            const uint8_t* d = area.data() + size_t(descSize) * i;
            if (d[0] == 0x0D) break;
            if (wide)
                addField(d, char(d[32]), d[33], d[34]);
            else {
                addField(d, char(d[11]), d[16], d[17]);
                fields.back().tagged = d[31] == 1;
            }
        }
        if (fields.empty()) Fail(TErrorCode::CorruptedIndex, readFail);
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
        Fail(TErrorCode::NotDbase,
             notDbf + " (Record length does not match the fields) [USE/OpenDBF]");

    std::memcpy(header_, h, 32);
    fields_ = std::move(fields);
    file_ = std::move(f);
    state_ = TChangeState::Unchanged;
    // The header count is a hint only: never more than the file holds, and
    // records appended after the last header rewrite (a copy that crashed) count.
    const uint32_t sizeCount = CountFromSize(size);
    const uint32_t start = autoFixRecCount ? 0 : std::min(headerCount, sizeCount);
    count_ = CountValidFrom(start, sizeCount, true);
    knownCount_ = count_;
    if (exclusive_ && !readOnly_) SettleEnd(headerCount, size);
    // With the table to ourselves, what a killed copy left beside it goes.
    if (exclusive_) {
        std::error_code ec;
        std::string real = std::filesystem::canonical(path_, ec).string();
        if (ec) real = path_;
        RemoveLeftoverTemporaries(real, HasMemo() ? MemoFileName(real, Version()) : "");
    }
}

void TDbfFile::SettleEnd(uint32_t headerCount, off_t size) {
    const std::string failText = "File:  " + display_ + " [USE/OpenDbf]";
    const off_t end = RecordOffset(count_ + 1);
    uint8_t at = 0;
    const bool after = size > end && file_->ReadAt(&at, 1, end) == 1;
    // Fewer bytes than a record, starting like one: an append cut short.
    if (after && size - end < recordLength_ && ValidFlag(at)) {
        if (int r = file_->Truncate(end); r < 0) FailIo(r, TIoKind::Write, failText);
        size = end;
    }
    if (size <= end && Version() != 0x02) WriteEof(count_);
    if (headerCount != count_) RewriteHeader();
}

uint32_t TDbfFile::CountFromSize(off_t size) const {
    if (size <= headerLength_ || recordLength_ <= 0) return 0;
    return uint32_t(std::min<off_t>((size - headerLength_) / recordLength_, UINT32_MAX));
}

bool TDbfFile::ValidFlag(uint8_t flag) {
    return flag == ' ' || flag == '*';
}

uint32_t TDbfFile::CountValidFrom(uint32_t known, uint32_t limit, bool verifyKnown) {
    // Records 1..known are taken as they are; with verifyKnown (a count from the
    // header) unless the last of them is not a record at all: then the walk
    // starts again at record 1.
    if (known > limit) known = limit;
    if (verifyKnown && known > 0) {
        uint8_t flag = 0;
        if (file_->ReadAt(&flag, 1, RecordOffset(known)) != 1 || !ValidFlag(flag)) known = 0;
    }
    if (known == limit) return limit;
    // Walk the deletion flags of the rest in blocks of whole records, up to the
    // end-of-file mark or the first byte that no record starts with.
    const uint32_t perBlock = std::max<uint32_t>(1, uint32_t(65536 / recordLength_));
    std::vector<uint8_t> block;
    uint32_t n = known;
    while (n < limit) {
        const uint32_t k = std::min(perBlock, limit - n);
        block.resize(size_t(k) * size_t(recordLength_));
        const int r = ReadAll(*file_, block.data(), block.size(), RecordOffset(n + 1));
        if (r == -ENODATA) return n; // cut meanwhile (a torn record of another copy)
        if (r < 0) FailIo(r, TIoKind::Read, "File:  " + display_ + "  [GetDbfRecord]");
        for (uint32_t i = 0; i < k; ++i) {
            if (!ValidFlag(block[size_t(i) * size_t(recordLength_)])) return n + i;
        }
        n += k;
    }
    return n;
}

uint32_t TDbfFile::RefreshCountFromSize() {
    const off_t size = file_->Size();
    if (size < 0) FailIo(int(size), TIoKind::Read, "File:  " + display_ + "  [GetDbfRecord]");
    // Records of a shared table only grow (a pack needs the table exclusively);
    // what was counted once is not walked again.
    count_ = CountValidFrom(knownCount_, CountFromSize(size), false);
    knownCount_ = count_;
    return count_;
}

void TDbfFile::ReadRecord(uint32_t n, char* buf) {
    if (n < 1 || n > count_)
        Fail(TErrorCode::BeyondRange, "Invalid record number = " + std::to_string(n) + " (" +
                                          display_ + ")  [GetDbfRecord]");
    int r = ReadAll(*file_, buf, size_t(recordLength_), RecordOffset(n));
    if (r == -ENODATA) Fail(TErrorCode::UnexpectedEof, "File:  " + display_ + "  [GetDbfRecord]");
    if (r < 0) FailIo(r, TIoKind::Read, "File:  " + display_ + "  [GetDbfRecord]");
}

void TDbfFile::ReadRecordAhead(uint32_t n, char* buf) {
    if (!readAhead_) return ReadRecord(n, buf);
    if (aheadCount_ > 0 && n >= aheadFirst_ && n < aheadFirst_ + aheadCount_) {
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
    std::memcpy(buf, ahead_.data(), size_t(recordLength_));
}

void TDbfFile::WriteRecord(uint32_t n, const char* buf) {
    DropReadAhead();
    const std::string failText = "File:  " + display_ + " [Replace/Append/PutDbfRecord]";
    if (readOnly_) Fail(TErrorCode::AccessDenied, failText);
    const bool append = n > count_;
    if (append) n = count_ + 1;
    int r = WriteAll(*file_, buf, size_t(recordLength_), RecordOffset(n));
    if (r == 0 && append && writeThrough_) {
        count_ = n;
        try {
            RewriteHeader();
            WriteEof(count_);
        } catch (const EZezudError&) {
            // The append failed as a whole: the record goes again, and the
            // header gets its old count back where the disk still takes it.
            count_ = n - 1;
            file_->Truncate(RecordOffset(n));
            try {
                RewriteHeader();
                WriteEof(count_);
            } catch (const EZezudError&) {
                // reporting the first failure; every reader counts from the file
            }
            throw;
        }
    }
    if (r == 0 && writeThrough_) r = file_->Sync();
    if (r < 0) {
        // A torn append is cut off again, so it can never be read as a record,
        // and the end-of-file mark it overwrote goes back (the cut made room).
        if (append && file_->Truncate(RecordOffset(n)) == 0) {
            const char eof = 0x1A;
            WriteAll(*file_, &eof, 1, RecordOffset(n));
        }
        FailIo(r, TIoKind::Write, failText);
    }
    if (append) {
        count_ = n;
        knownCount_ = n;
        state_ = TChangeState::Appended;
    } else if (state_ != TChangeState::Appended) {
        state_ = TChangeState::Rewritten;
    }
}

void TDbfFile::WriteDeletionFlag(uint32_t n, char flag) {
    DropReadAhead();
    const std::string failText = "File:  " + display_ + " [DeleteRec/RecallRec]";
    if (readOnly_) Fail(TErrorCode::AccessDenied, failText);
    if (n > count_) Fail(TErrorCode::BeyondRange, failText);
    int r = WriteAll(*file_, &flag, 1, RecordOffset(n));
    if (r == 0 && writeThrough_) r = file_->Sync();
    if (r < 0) FailIo(r, TIoKind::Write, failText);
    if (state_ != TChangeState::Appended) state_ = TChangeState::Rewritten;
}

void TDbfFile::SetProductionIndexFlag(bool on) {
    const uint8_t flag = on ? 1 : 0;
    if (header_[28] == flag || readOnly_) return;
    if (int r = WriteAll(*file_, &flag, 1, 28); r < 0)
        FailIo(r, TIoKind::Write, "File:  " + display_ + " [SetIndexTo]");
    header_[28] = flag;
}

void TDbfFile::SetTaggedFields(const std::vector<bool>& tagged) {
    const uint8_t v = Version();
    if (readOnly_ || v == 0x02 || v == 0x04 || v == 0x8C) return;
    for (size_t i = 0; i < fields_.size() && i < tagged.size(); ++i) {
        if (fields_[i].tagged == tagged[i]) continue;
        const uint8_t flag = tagged[i] ? 1 : 0;
        if (int r = WriteAll(*file_, &flag, 1, off_t(32 + 32 * i + 31)); r < 0)
            FailIo(r, TIoKind::Write, "File:  " + display_ + " [SetIndexTo]");
        fields_[i].tagged = tagged[i];
    }
}

void TDbfFile::RewriteHeader() {
    RewriteHeaderOn(*file_);
}

void TDbfFile::RewriteHeaderOn(IFile& file) {
    const std::string failText = "File:  " + display_ + " [CloseDbf(" + display_ + ")]";
    if (Version() == 0x02) {
        uint8_t h[8];
        std::memcpy(h, header_, 8);
        TDate t = Today();
        Put16(h + 1, std::min<uint32_t>(count_, 0xFFFF));
        h[3] = uint8_t(t.month);
        h[4] = uint8_t(t.day);
        h[5] = uint8_t(t.year - 1900);
        if (int r = WriteAll(file, h, 8, 0); r < 0) FailIo(r, TIoKind::Write, failText);
        std::memcpy(header_, h, 8);
        return;
    }
    // Others may have written the multi-user area: keep what is on disk.
    uint8_t area[12];
    if (int r = ReadAll(file, area, sizeof area, 16); r < 0) FailIo(r, TIoKind::Read, failText);
    std::memcpy(header_ + 16, area, sizeof area);
    PutDate(header_);
    Put32(header_ + 4, count_);
    if (int r = WriteAll(file, header_, 32, 0); r < 0) FailIo(r, TIoKind::Write, failText);
}

void TDbfFile::WriteEof(uint32_t count) {
    const std::string failText = "File:  " + display_ + " [CloseDbf(" + display_ + ")]";
    const char eof = 0x1A;
    const off_t at = off_t(headerLength_) + off_t(count) * recordLength_;
    if (int r = WriteAll(*file_, &eof, 1, at); r < 0) FailIo(r, TIoKind::Write, failText);
}

void TDbfFile::CloseShared() {
    // Another copy may be appending: write the header and the end-of-file byte
    // only under the append lock, from the count the file gives, so the
    // end-of-file byte never lands on a record someone else just wrote. The
    // lock is held for these few writes only; when it cannot be had in time the
    // header stays as it is (every reader counts the records from the file).
    if (!TryLockFor(kAppendLockOffset, 1, kLockWaitMs)) return;
    struct Release {
        IFile& file;
        ~Release() { file.Lock(kAppendLockOffset, 1, TLockKind::Unlock); }
    } release{*file_};
    RefreshCountFromSize();
    RewriteHeader();
    if (state_ == TChangeState::Appended) {
        const off_t end = off_t(headerLength_) + off_t(count_) * recordLength_;
        const off_t size = file_->Size();
        WriteEof(count_);
        // A torn last record goes; padding or foreign bytes beyond stay.
        if (size > end + 1 && size - end < recordLength_) file_->Truncate(end + 1);
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
    knownCount_ = count;
    WriteEof(count);
    RewriteHeader();
    if (int r = file_->Sync(); r < 0) FailIo(r, TIoKind::Write, failText);
    state_ = TChangeState::Unchanged;
}

namespace {

// A memo reference field: blanks for none, else a block number (a sign
// allowed). False for anything else.
bool ParseMemoRef(const char* p, int width, int32_t& block) {
    int i = 0, e = width;
    while (i < e && p[i] == ' ') ++i;
    while (e > i && p[e - 1] == ' ') --e;
    block = 0;
    if (i == e) return true;
    bool negative = false;
    if (p[i] == '-') {
        negative = true;
        ++i;
    }
    if (i == e) return false;
    int64_t v = 0;
    for (; i < e; ++i) {
        if (p[i] < '0' || p[i] > '9') return false;
        v = v * 10 + (p[i] - '0');
        if (v > INT32_MAX) return false;
    }
    block = int32_t(negative ? -v : v);
    return true;
}

std::string FolderPart(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Removes a temporary file when the pack does not get as far as using it.
struct TTempGuard {
    IFileSystem& fs;
    std::string path;
    bool armed = true;
    ~TTempGuard() {
        if (armed) fs.Remove(path);
    }
};

} // namespace

// What a pack does: where the table (and the memo file) really are, which
// memo fields move along, and whether anything moves at all.
struct TDbfFile::TPackPlan {
    std::string failText;
    std::string target;          // the table's real path
    std::string memoTarget;      // the memo file's real path ("" without one)
    std::vector<int> memoFields; // offsets of the memo fields that move along
    bool memoPack = false;       // the memo file is compacted too
    bool anyDeleted = false;
    uint32_t perBlock = 1; // records read at a time
};

void TDbfFile::ReadRecords(uint32_t first, uint32_t k, std::vector<char>& block,
                           const std::string& failText) {
    block.resize(size_t(k) * size_t(recordLength_));
    int r = ReadAll(*file_, block.data(), block.size(), RecordOffset(first));
    if (r == -ENODATA) Fail(TErrorCode::UnexpectedEof, failText);
    if (r < 0) FailIo(r, TIoKind::Read, failText);
}

TDbfFile::TPackPlan TDbfFile::PlanPack(TMemoFile* memo) {
    TPackPlan plan;
    plan.failText = "Error packing " + display_;
    plan.perBlock = std::max<uint32_t>(1, uint32_t(65536 / recordLength_));

    // The memo file is compacted along when every memo reference of the
    // surviving records is sound (another program's odd field stays as it is,
    // and so does the memo file) and the memo file sits beside the table.
    std::error_code ec;
    plan.target = std::filesystem::canonical(path_, ec).string();
    if (ec) plan.target = path_;
    if (memo && memo->IsOpen()) {
        plan.memoTarget = std::filesystem::canonical(memo->Path(), ec).string();
        bool usable = !ec && FolderPart(plan.memoTarget) == FolderPart(plan.target);
        for (const TFieldDef& f : fields_) {
            if (f.type != 'M') continue;
            if (f.width != 10) usable = false;
            plan.memoFields.push_back(f.offset);
        }
        if (!usable) plan.memoFields.clear();
    }
    plan.memoPack = !plan.memoFields.empty();
    std::unordered_set<int32_t> refs;
    uint64_t storedPadded = 0;
    std::vector<char> block;
    for (uint32_t n = 1; n <= count_ && (plan.memoPack || !plan.anyDeleted); n += plan.perBlock) {
        const uint32_t k = std::min(plan.perBlock, count_ - n + 1);
        ReadRecords(n, k, block, plan.failText);
        for (uint32_t i = 0; i < k; ++i) {
            const char* rec = block.data() + size_t(i) * size_t(recordLength_);
            if (rec[0] == '*') {
                plan.anyDeleted = true;
                continue;
            }
            for (size_t j = 0; plan.memoPack && j < plan.memoFields.size(); ++j) {
                int32_t ref = 0;
                if (!ParseMemoRef(rec + plan.memoFields[j], 10, ref) ||
                    !memo->CheckReference(ref).empty()) {
                    plan.memoPack = false;
                } else if (ref != 0 && refs.insert(ref < 0 ? -ref : ref).second) {
                    const uint64_t bs = memo->BlockSize();
                    storedPadded += (memo->StoredSize(ref) + bs - 1) / bs * bs;
                }
            }
        }
    }
    if (plan.memoPack) {
        // Worth it only when the copy is smaller than the file.
        const off_t size = memo->FileSize();
        if (size < 0) FailIo(int(size), TIoKind::Read, plan.failText);
        plan.memoPack =
            uint64_t(size) > TMemoCopy::SizeFor(memo->Kind(), memo->BlockSize(), storedPadded);
    }
    return plan;
}

uint32_t TDbfFile::CopyPacked(const TPackPlan& plan, IFile& out, TMemoCopy* memoCopy) {
    std::vector<uint8_t> header(static_cast<size_t>(headerLength_), 0);
    if (int r = ReadAll(*file_, header.data(), header.size(), 0); r < 0)
        FailIo(r, TIoKind::Read, plan.failText);
    if (int r = WriteAll(out, header.data(), header.size(), 0); r < 0)
        FailIo(r, TIoKind::Write, plan.failText);
    uint32_t survivors = 0;
    std::vector<char> block;
    std::vector<char> kept;
    for (uint32_t n = 1; n <= count_; n += plan.perBlock) {
        const uint32_t k = std::min(plan.perBlock, count_ - n + 1);
        ReadRecords(n, k, block, plan.failText);
        kept.clear();
        for (uint32_t i = 0; i < k; ++i) {
            const char* rec = block.data() + size_t(i) * size_t(recordLength_);
            if (rec[0] == '*') continue;
            const size_t at = kept.size();
            kept.insert(kept.end(), rec, rec + recordLength_);
            if (!memoCopy) continue;
            for (int offset : plan.memoFields) {
                char* field = kept.data() + at + size_t(offset);
                int32_t ref = 0;
                ParseMemoRef(field, 10, ref);
                const int32_t moved = memoCopy->Copy(ref, n + i);
                if (moved == ref) continue; // blanks or the same block stay as they are
                char digits[16];
                std::snprintf(digits, sizeof digits, "%10d", int(moved));
                std::memcpy(field, digits, 10);
            }
        }
        if (int r = WriteAll(out, kept.data(), kept.size(), RecordOffset(survivors + 1)); r < 0)
            FailIo(r, TIoKind::Write, plan.failText);
        survivors += uint32_t(kept.size() / size_t(recordLength_));
    }
    const char eof = 0x1A;
    if (int r = WriteAll(out, &eof, 1, RecordOffset(survivors + 1)); r < 0)
        FailIo(r, TIoKind::Write, plan.failText);
    return survivors;
}

void TDbfFile::SwapPacked(const TPackPlan& plan, TMemoFile* memo, std::unique_ptr<IFile> out,
                          const std::string& temp, std::unique_ptr<TMemoCopy> memoCopy,
                          uint32_t survivors, bool& tempOwned) {
    const std::string& failText = plan.failText;
    const uint32_t oldCount = count_;
    count_ = survivors;
    try {
        RewriteHeaderOn(*out);
    } catch (...) {
        count_ = oldCount;
        throw;
    }
    if (int r = out->Sync(); r < 0) {
        count_ = oldCount;
        FailIo(r, TIoKind::Write, failText);
    }
    if (!memoCopy) {
        SwapInPacked(std::move(out), temp, plan.target);
        tempOwned = false;
        return;
    }

    try {
        memoCopy->Finish();
    } catch (...) {
        count_ = oldCount;
        throw;
    }
    CopyOwnership(plan.memoTarget, memoCopy->Path());
    const TPackPair pair{plan.target, temp, plan.memoTarget, memoCopy->Path()};
    int err = 0;
    if (!PublishPackMarker(pair, err)) {
        count_ = oldCount;
        Fail(CodeFromErrno(err, TIoKind::Write), failText);
    }
    // Decided: from here on the swap only goes forward, here or at the next open.
    tempOwned = false;
    std::unique_ptr<IFile> newMemo = memoCopy->Release();
    try {
        if (err != 0) FailIo(-err, TIoKind::Write, failText);
        if (int r = FileSystem().Rename(pair.memoTemp, pair.memo); r < 0)
            FailIo(r, TIoKind::Write, failText);
        SwapInPacked(std::move(out), temp, plan.target);
        memo->Adopt(std::move(newMemo));
        if (int r = RemovePackMarker(plan.target); r < 0) FailIo(r, TIoKind::Write, failText);
    } catch (...) {
        // This handle's files may no longer be the table's: let nothing more
        // be written through them. The next open finishes the swap.
        memo->Close();
        Abandon();
        throw;
    }
}

uint32_t TDbfFile::Pack(TMemoFile* memo) {
    DropReadAhead();
    if (readOnly_) Fail(TErrorCode::AccessDenied, "File:  " + display_ + " [Pack]");
    if (!exclusive_) Fail(TErrorCode::ExclusiveRequired, display_ + " [Pack]");
    const TPackPlan plan = PlanPack(memo);
    if (!plan.anyDeleted && !plan.memoPack) {
        // Nothing moves: the records stay where they are.
        CutAfter(count_);
        return count_;
    }

    // The packed table (and memo file) are written whole under temporary
    // names in the same folder, flushed, and then swapped in: a crash leaves
    // the old ones or the new ones, whole.
    // What a killed pack left is removed: holding the table exclusively, no
    // other pack can be writing it.
    RemoveLeftoverTemporaries(plan.target, (!plan.memoTarget.empty() &&
                                            FolderPart(plan.memoTarget) == FolderPart(plan.target))
                                               ? plan.memoTarget
                                               : std::string());
    const std::string temp = plan.target + ".pack" + std::to_string(::getpid());
    IFileSystem& fs = FileSystem();
    int err = 0;
    std::unique_ptr<IFile> out = fs.Open(temp, TOpenMode::CreateTruncate, err);
    if (!out) Fail(CodeFromErrno(err, TIoKind::Open), plan.failText);
    TTempGuard guard{fs, temp};
    std::unique_ptr<TMemoCopy> memoCopy;
    if (plan.memoPack)
        memoCopy = std::make_unique<TMemoCopy>(
            *memo, plan.memoTarget + ".pack" + std::to_string(::getpid()), plan.failText);
    const uint32_t survivors = CopyPacked(plan, *out, memoCopy.get());
    SwapPacked(plan, memo, std::move(out), temp, std::move(memoCopy), survivors, guard.armed);
    return survivors;
}

void TDbfFile::CopyOwnership(const std::string& from, const std::string& to) {
    // The new file takes the old one's mode, and its owner and group where
    // this user may give them (best effort: the data are what matter).
    std::error_code ec;
    const auto perms = std::filesystem::status(from, ec).permissions();
    if (!ec) std::filesystem::permissions(to, perms, ec);
    struct stat st {};
    if (::stat(from.c_str(), &st) == 0 && ::chown(to.c_str(), st.st_uid, st.st_gid) != 0) {
        [[maybe_unused]] int ignored = ::chown(to.c_str(), uid_t(-1), st.st_gid);
    }
}

void TDbfFile::SwapInPacked(std::unique_ptr<IFile> packed, const std::string& temp,
                            const std::string& target) {
    const std::string failText = "Error packing " + display_;
    // The packed file carries the exclusive sharing lock before it gets the
    // table's name, so no other copy can open it in between.
    if (int r = packed->Lock(kSharingLockOffset, 1, TLockKind::Write); r < 0)
        FailIo(r, TIoKind::Lock, failText);
    CopyOwnership(target, temp);
    IFileSystem& fs = FileSystem();
    if (int r = fs.Rename(temp, target); r < 0) FailIo(r, TIoKind::Write, failText);
    file_ = std::move(packed);
    knownCount_ = count_;
    state_ = TChangeState::Unchanged;
    if (int r = fs.SyncFolder(target); r < 0) FailIo(r, TIoKind::Write, failText);
}

bool TDbfFile::TryLockFor(off_t offset, off_t length, int waitMs) {
    DropReadAhead();
    return file_ && LockWithin(*file_, offset, length, TLockKind::Write, waitMs) == 0;
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
