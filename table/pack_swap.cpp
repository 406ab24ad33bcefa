#include "pack_swap.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "dbf_file.h"
#include "engine_error.h"
#include "file_io.h"
#include "found_file.h"
#include "memo_file.h"

namespace qm::table {

namespace {

constexpr char kMarkerMagic[] = "QMPACKSWAP 1";

std::string BaseOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name from the marker is a plain file name in the table's folder.
bool PlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

// "NAME.pack" followed by digits, as a pack of this process names its copy of NAME.
bool PackTempOf(const std::string& temp, const std::string& name) {
    const std::string prefix = name + ".pack";
    if (temp.size() <= prefix.size() || temp.compare(0, prefix.size(), prefix) != 0) return false;
    for (size_t i = prefix.size(); i < temp.size(); ++i)
        if (temp[i] < '0' || temp[i] > '9') return false;
    return true;
}

// The memo file of the table: its stem with the extension DBT or FPT, in any case.
bool MemoNameOf(const std::string& memo, const std::string& table) {
    const size_t dot = table.find_last_of('.');
    const std::string stem = dot == std::string::npos ? table : table.substr(0, dot);
    if (memo.size() != stem.size() + 4 || memo.compare(0, stem.size(), stem) != 0) return false;
    std::string ext = memo.substr(stem.size());
    for (char& c : ext) c = char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return ext == ".DBT" || ext == ".FPT";
}

bool OwnSwapNames(const std::string& memoTemp, const std::string& memo,
                  const std::string& tableTemp, const std::string& table) {
    return MemoNameOf(memo, table) && PackTempOf(memoTemp, memo) && PackTempOf(tableTemp, table);
}

std::string Canonical(const std::string& path) {
    std::error_code ec;
    std::string c = std::filesystem::canonical(path, ec).string();
    return ec ? path : c;
}

// Renames `from` to `to`; a `from` already gone was renamed before (by a copy
// that finished first) and counts as done.
int RenameIfThere(IFileSystem& fs, const std::string& from, const std::string& to) {
    if (!fs.Exists(from)) return 0;
    const int r = fs.Rename(from, to);
    return r == -ENOENT ? 0 : r;
}

bool Refused(int r) {
    return r == -EAGAIN || r == -EACCES;
}

// Holds the table for finishing a swap: the swap byte first, then the sharing
// lock, so an open that meets the sharing lock sees why. Closing the handle
// lets go of both at once.
int HoldForSwap(IFile& f) {
    if (int r = f.Lock(kSwapLockOffset, 1, TLockKind::Write); r < 0) return r;
    if (int r = f.Lock(kSharingLockOffset, 1, TLockKind::Write); r < 0) {
        f.Lock(kSwapLockOffset, 1, TLockKind::Unlock);
        return r;
    }
    return 0;
}

bool SwapBeingFinished(IFile& f) {
    return f.LockHeld(kSwapLockOffset, 1, TLockKind::Write) == 1;
}

} // namespace

std::string PackMarkerName(const std::string& tablePath) {
    return tablePath + ".packswap";
}

bool PublishPackMarker(const TPackPair& pair, int& err) {
    const std::string marker = PackMarkerName(pair.table);
    const std::string temp = marker + ".new" + std::to_string(::getpid());
    const std::string text = std::string(kMarkerMagic) + "\n" + BaseOf(pair.memoTemp) + "\n" +
                             BaseOf(pair.memo) + "\n" + BaseOf(pair.tableTemp) + "\n" +
                             BaseOf(pair.table) + "\n";
    IFileSystem& fs = FileSystem();
    err = 0;
    {
        auto f = fs.Open(temp, TOpenMode::CreateTruncate, err);
        if (!f) return false;
        int r = WriteAll(*f, text.data(), text.size(), 0);
        if (r == 0) r = f->Sync();
        if (r < 0) {
            err = -r;
            f.reset();
            fs.Remove(temp);
            return false;
        }
    }
    if (int r = fs.Rename(temp, marker); r < 0) {
        err = -r;
        fs.Remove(temp);
        // A rename that reports failure may still have happened.
        return fs.Exists(marker);
    }
    // The marker must be on disk before the first rename it orders.
    if (int r = fs.SyncFolder(marker); r < 0) err = -r;
    return true;
}

int RemovePackMarker(const std::string& tablePath) {
    IFileSystem& fs = FileSystem();
    const std::string marker = PackMarkerName(tablePath);
    int r = fs.Remove(marker);
    if (r < 0 && r != -ENOENT) return r;
    return fs.SyncFolder(marker);
}

namespace {

// A marker the engine does not follow: said once, and removed. It is not a
// live swap's (the table is held, so no copy is packing it), and every copy
// would ignore it the same way, so keeping it would only repeat the warning.
void IgnoreMarker(const std::string& marker, const std::string& why) {
    ShowEngineMessage("Ignoring " + marker + ": " + why + "; it is removed.");
    FileSystem().Remove(marker);
}

// The temporary `name` of the marker, opened without following a link:
// nullptr when it is gone (renamed by a copy that finished first). A fault
// that makes it no copy of ours is added to `faults`.
std::unique_ptr<IFile> OpenTemporary(const std::string& path, bool forWriting,
                                     std::vector<std::string>& faults,
                                     const std::string& failText) {
    int err = 0;
    auto f = FileSystem().Open(
        path, forWriting ? TOpenMode::ReadWriteNoFollow : TOpenMode::ReadNoFollow, err);
    if (f || err == ENOENT) return f;
    if (err == ELOOP) {
        faults.push_back(path + " is a symbolic link");
        return nullptr;
    }
    Fail(CodeFromErrno(err, TIoKind::Open), failText + ": " + path);
}

// Who may own the temporaries: the marker's writer (the packing copy) or the
// owner of the file a temporary replaces (a pack gives it that owner).
TFoundFileRules RulesFor(IFile& marker, const std::string& replaced) {
    TFoundFileRules rules;
    TFileStat st;
    if (marker.Stat(st) == 0) {
        rules.device = st.id.dev;
        rules.owners.push_back(st.owner);
    }
    int err = 0;
    if (auto old = FileSystem().Open(replaced, TOpenMode::ReadNoFollow, err);
        old && old->Stat(st) == 0)
        rules.owners.push_back(st.owner);
    return rules;
}

} // namespace

void FinishInterruptedPack(const std::string& tablePath, const std::string& display) {
    IFileSystem& fs = FileSystem();
    const std::string table = Canonical(tablePath);
    const std::string marker = PackMarkerName(table);
    TFileId markerEntry;
    if (fs.EntryId(marker, markerEntry) != 0 && !fs.Exists(marker)) return;
    const std::string failText = "Cannot finish the interrupted pack of " + display + " [USE]";

    // Only with the table to ourselves: the packing copy holds it exclusively
    // until its swap is done, and then removes the marker itself.
    int err = 0;
    std::unique_ptr<IFile> held = fs.Open(table, TOpenMode::ReadWrite, err);
    if (!held) {
        if (err == ENOENT) return; // no table: the open reports it
        Fail(CodeFromErrno(err, TIoKind::Open), failText);
    }
    if (int r = HoldForSwap(*held); r < 0) {
        if (!Refused(r)) Fail(CodeFromErrno(-r, TIoKind::Lock), failText);
        // Another copy is swapping (it packs, or finishes the same pack):
        // the marker goes within moments. The open then goes on: it waits
        // for a copy finishing a swap, and meets a packing copy's exclusive hold.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kLockWaitMs);
        while (fs.Exists(marker) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return;
    }

    std::string text;
    auto m = fs.Open(marker, TOpenMode::ReadNoFollow, err);
    if (!m) {
        if (err == ENOENT) return; // finished by another copy meanwhile
        if (err == ELOOP) return IgnoreMarker(marker, "it is a symbolic link");
        Fail(CodeFromErrno(err, TIoKind::Open), failText);
    }
    if (TFileStat st; m->Stat(st) == 0 && (!st.regular || st.links != 1))
        return IgnoreMarker(marker, "it is not a file of its own");
    const off_t size = m->Size();
    if (size < 0) Fail(CodeFromErrno(int(-size), TIoKind::Read), failText);
    if (size > 4096) return IgnoreMarker(marker, "it is no pack marker");
    text.resize(size_t(size));
    if (int r = ReadAll(*m, text.data(), text.size(), 0); r < 0)
        Fail(CodeFromErrno(-r, TIoKind::Read), failText);
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t nl = text.find('\n', at);
        if (nl == std::string::npos) break;
        lines.push_back(text.substr(at, nl - at));
        at = nl + 1;
    }
    if (lines.size() != 5 || lines[0] != kMarkerMagic)
        return IgnoreMarker(marker, "it is no pack marker");
    if (lines[4] != BaseOf(table))
        return IgnoreMarker(marker, "it is the marker of another table (" + lines[4] + ")");
    // Only the table's own temporary names go onto the table and its memo file:
    // a marker naming any other files is not ours to follow.
    for (size_t i = 1; i < 4; ++i)
        if (!PlainName(lines[i]) || !OwnSwapNames(lines[1], lines[2], lines[3], lines[4]))
            return IgnoreMarker(marker,
                                "it names files that are not the table's and its memo file's");

    // The temporaries must be the pack's own copies, judged by the open files.
    const std::string folder = FolderOf(table) + "/";
    const std::string memoTemp = folder + lines[1], memo = folder + lines[2];
    const std::string tableTemp = folder + lines[3];
    std::vector<std::string> faults;
    std::unique_ptr<IFile> memoCopy = OpenTemporary(memoTemp, false, faults, failText);
    std::unique_ptr<IFile> next = OpenTemporary(tableTemp, true, faults, failText);
    if (memoCopy) {
        uint8_t version = 0;
        const uint8_t kind = ReadAll(*held, &version, 1, 0) == 0 ? MemoKind(version) : 0x8B;
        if (std::string fault = MemoCopyFault(*memoCopy, kind, RulesFor(*m, memo)); !fault.empty())
            faults.push_back(memoTemp + " " + fault);
    }
    if (next) {
        if (std::string fault = TableCopyFault(*next, RulesFor(*m, table)); !fault.empty())
            faults.push_back(tableTemp + " " + fault);
    }
    if (!faults.empty()) {
        std::string list;
        for (const std::string& f : faults) list += (list.empty() ? "" : "; ") + f;
        return IgnoreMarker(marker, "its files are not pack copies of the table (" + list + ")");
    }

    // The memo file first, then the table: the order of the packing copy.
    // Each name is renamed only while it is still the file judged above.
    if (memoCopy) {
        if (!StillNamed(*memoCopy, memoTemp))
            Fail(TErrorCode::SharingViolation, failText + ": " + memoTemp + " was replaced");
        if (int r = RenameIfThere(fs, memoTemp, memo); r < 0)
            Fail(CodeFromErrno(-r, TIoKind::Write), failText);
    }
    // The new table carries the exclusive lock before it gets its name, so no
    // other copy opens it (or starts a pack of its own) before the marker is gone.
    if (next) {
        if (int r = HoldForSwap(*next); r < 0) Fail(CodeFromErrno(-r, TIoKind::Lock), failText);
        if (!StillNamed(*next, tableTemp))
            Fail(TErrorCode::SharingViolation, failText + ": " + tableTemp + " was replaced");
        if (int r = RenameIfThere(fs, tableTemp, table); r < 0)
            Fail(CodeFromErrno(-r, TIoKind::Write), failText);
    }
    if (int r = fs.SyncFolder(table); r < 0) Fail(CodeFromErrno(-r, TIoKind::Write), failText);
    // The locks go before the marker: a copy that finds no marker may open
    // the table at once. The marker goes only while it is still the one read
    // (a copy that opened meanwhile may have removed it and started a pack).
    m.reset();
    next.reset();
    held.reset();
    if (auto again = fs.Open(marker, TOpenMode::ReadNoFollow, err)) {
        std::string now(text.size() + 1, '\0');
        const ssize_t got = again->ReadAt(now.data(), now.size(), 0);
        if (got != ssize_t(text.size()) || now.compare(0, text.size(), text) != 0) return;
    } else {
        return;
    }
    if (int r = RemovePackMarker(table); r < 0) Fail(CodeFromErrno(-r, TIoKind::Write), failText);
}

int LockSharingBesideSwap(IFile& table, TLockKind kind) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLockWaitMs);
    for (;;) {
        const int r = table.Lock(kSharingLockOffset, 1, kind);
        if (!Refused(r)) return r;
        // A finishing copy may have let go between the two calls: the lock is
        // tried once more before the holder counts as one that stays.
        if (!SwapBeingFinished(table)) {
            const int again = table.Lock(kSharingLockOffset, 1, kind);
            if (!Refused(again) || !SwapBeingFinished(table)) return again;
        }
        if (std::chrono::steady_clock::now() >= deadline) return r;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace qm::table
