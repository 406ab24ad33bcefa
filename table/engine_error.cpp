#include "engine_error.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace qm::table {

namespace {

struct ErrorState {
    int code = 0;
    std::string context;
    bool reporting = true;
    TErrorMode mode = TErrorMode::Report;
    THaltHook halt;
    TMessageHook message;
};

ErrorState& State() {
    static ErrorState s;
    return s;
}

} // namespace

EZezudError::EZezudError(TErrorCode code, std::string context)
    : std::runtime_error(ErrorReportText(CodeValue(code), context)), code_(CodeValue(code)),
      context_(std::move(context)) {}

const char* ErrorDescription(int code) {
    switch (code) {
    case 0: return "No error";
    case 1: return "Invalid DOS function code";
    case 2: return "File not found";
    case 3: return "Path not found";
    case 4:
    case 18: return "Too many open files";
    case 5: return "File access denied";
    case 6: return "Invalid file handle";
    case 8: return "Not enough memory";
    case 9: return "Memory block address invalid";
    case 10: return "Environment invalid";
    case 11: return "Format invalid";
    case 12: return "Invalid file access code";
    case 13: return "Data invalid";
    case 14:
    case 20: return "Unknown unit";
    case 15: return "Invalid drive number";
    case 16: return "Cannot remove current directory";
    case 17: return "Cannot rename across drives";
    case 19: return "Disk write-protected";
    case 21: return "Drive not ready";
    case 22: return "Unknown command";
    case 23: return "CRC error in data";
    case 24: return "Bad drive request structure length";
    case 25: return "Disk seek error";
    case 26: return "Unknown media type";
    case 27: return "Disk sector not found";
    case 28: return "Printer out of paper";
    case 29: return "Device write fault";
    case 30: return "Device read fault";
    case 31: return "General failure";
    case 32: return "File sharing violation";
    case 33: return "File lock violation";
    case 34: return "Disk change invalid";
    case 35: return "File Control Block unavailable";
    case 36: return "File sharing buffer overflow";
    case 50: return "Unsupported network request";
    case 51: return "Remote machine not listening";
    case 52: return "Duplicate name on network";
    case 53: return "Network name not found";
    case 54: return "Network busy";
    case 55: return "Device no longer exists on network";
    case 56: return "Net-Bios command limit exceeded";
    case 57: return "Error in network adapter hardware";
    case 58: return "Incorrect response from network";
    case 59: return "Unexpected network error";
    case 60: return "Remote adapter incompatible";
    case 100: return "Disk read error";
    case 101: return "Disk write error (probable cause: Disk Full).";
    case 102: return "File not assigned";
    case 103: return "File not open";
    case 104: return "File not open for input";
    case 105: return "File not open for output";
    case 106: return "Invalid numeric format";
    case 200: return "Division by zero error";
    case 201: return "Range check error";
    case 202: return "Stack overflow error";
    case 203: return "Heap overflow error";
    case 204: return "Invalid pointer operation";
    case 205: return "Floating point overflow";
    case 206: return "Floating point underflow";
    case 207: return "Invalid floating point operation";
    case 208: return "Overlay-manager not installed";
    case 209: return "Overlay file read error";
    case 210: return "Not a dBASE data file";
    case 211: return "Invalid database field type encountered";
    case 212: return "Request beyond range";
    case 213: return "End of file found unexpectedly";
    case 214: return "File already in use";
    case 215: return "No database in use";
    case 216: return "GP Fault";
    case 217: return "Insufficient memory";
    case 218: return "Invalid pointer specified";
    case 219: return "Cannot duplicate file handle";
    case 220: return "Invalid parameter";
    case 221: return "Index file not open";
    case 222: return "Corrupted index file";
    case 223: return "Index version mismatch";
    case 224: return "Cyclical relationship detected";
    case 225: return "Exclusive Use() required";
    case 226: return "BROWSE not active";
    case 227: return "Insufficient disk space ";
    case 228: return "Unbalanced Push/Pop operation ";
    case 229: return "dBASE IV memo files not supported";
    case 230: return "No dBASE memory variables loaded";
    case 231: return "Screen library not open";
    case 239: return "Missing colon in time";
    case 240: return "Non-numeric character in time";
    case 241: return "Invalid time specified";
    case 242: return "Negative time specified";
    case 243: return "TimeDiff result negative";
    case 254: return "Zezud internal error";
    case 266: return "Invalid size";
    case 1003: return "Invalid memo address";
    case 1004: return "Disk full";
    case 1005: return "Memo file write error";
    case 1007: return "Memo file is already open";
    case 1012: return "Insufficient disk space to pack memo file";
    case 1017: return "Cannot lock memo file";
    case 1018: return "Cannot unlock memo file";
    case 1019: return "Invalid memo operation: database not open or no memo field in database";
    case 1100: return "Not a valid operation on Linked List";
    case 1101: return "Virtual File Manager Unit not Linked in";
    case 1102: return "Virtual File Memory Management Error";
    case 1103: return "Invalid Operation ";
    case 1200: return "Record not locked";
    case 1201: return "File not locked";
    case 1202:
        return "Semaphore file error. Possible solutions: log into network or load SHARE.EXE "
               "before running Windows";
    case 1300: return "File format not supported";
    default: break;
    }
    // 150..162 repeat the texts of 19..32.
    if (code >= 150 && code <= 162) {
        static const int kSame[] = {19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 32};
        return ErrorDescription(kSame[code - 150]);
    }
    if (code >= 1203 && code <= 1299) return "Network Error";
    return "Undefined error";
}

std::string ErrorReportText(int code, const std::string& context) {
    return "Error # " + std::to_string(code) + " (" + ErrorDescription(code) + ")\n" + context;
}

void SetHaltHook(THaltHook hook) {
    State().halt = std::move(hook);
}
void SetErrorMode(TErrorMode mode) {
    State().mode = mode;
}
TErrorMode ErrorMode() {
    return State().mode;
}
int LastErrorCode() {
    return State().code;
}
const std::string& LastErrorContext() {
    return State().context;
}
void ClearLastError() {
    State().code = 0;
    State().context.clear();
}
bool ReportingOn() {
    return State().reporting;
}
void SetReporting(bool on) {
    State().reporting = on;
}

TReportingOff::TReportingOff() : previous_(State().reporting) {
    State().reporting = false;
}
TReportingOff::~TReportingOff() {
    State().reporting = previous_;
}

void Fail(TErrorCode code, std::string context) {
    State().code = CodeValue(code);
    State().context = context;
    throw EZezudError(code, std::move(context));
}

void DispatchFailure(const EZezudError& error) {
    ErrorState& s = State();
    s.code = error.Code();
    s.context = error.Context();
    if (!s.reporting) return;
    if (s.mode == TErrorMode::Exception) throw error;
    const std::string text = error.what();
    if (s.halt) {
        s.halt(kHaltCaption, text);
    } else {
        std::fprintf(stderr, "%s\n%s\n", kHaltCaption, text.c_str());
    }
    std::exit(error.Code());
}

void SetMessageHook(TMessageHook hook) {
    State().message = std::move(hook);
}

void ShowEngineMessage(const std::string& text) {
    if (State().message) {
        State().message(text);
    } else {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
}

TErrorCode CodeFromErrno(int err, TIoKind kind) {
    switch (err) {
    case ENOENT: return TErrorCode::FileNotFound;
    case ENOTDIR: return TErrorCode::PathNotFound;
    case EMFILE:
    case ENFILE: return TErrorCode::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS: return TErrorCode::AccessDenied;
    case EBADF: return TErrorCode::InvalidHandle;
    case ENOMEM: return TErrorCode::NotEnoughMemory;
    case EAGAIN:
        return kind == TIoKind::Lock ? TErrorCode::LockViolation : TErrorCode::GeneralFailure;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return kind == TIoKind::Read ? TErrorCode::DiskRead : TErrorCode::DiskWrite;
    case EIO:
        return kind == TIoKind::Read ? TErrorCode::DeviceReadFault : TErrorCode::DeviceWriteFault;
    default: break;
    }
    switch (kind) {
    case TIoKind::Read: return TErrorCode::DiskRead;
    case TIoKind::Write: return TErrorCode::DiskWrite;
    case TIoKind::Lock: return TErrorCode::LockViolation;
    case TIoKind::Open: return TErrorCode::AccessDenied;
    }
    return TErrorCode::GeneralFailure;
}

} // namespace qm::table
