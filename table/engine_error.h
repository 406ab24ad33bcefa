// Error state and reporting of the dBase table engine.
//
// Every engine operation that fails records an error code and a context text
// (ending in the operation's name in brackets) and hands them to the reporter.
// Report mode shows "Program halted." through an installable hook and ends the
// process with the code; exception mode throws EZezudError instead. While
// reporting is switched off the failure is only recorded and the caller checks it.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace qm::table {

// The codes the engine raises (descriptions: ErrorDescription).
enum class TErrorCode : int {
    None = 0,
    FileNotFound = 2,
    PathNotFound = 3,
    TooManyOpenFiles = 4,
    AccessDenied = 5,
    InvalidHandle = 6,
    NotEnoughMemory = 8,
    DeviceWriteFault = 29,
    DeviceReadFault = 30,
    GeneralFailure = 31,
    SharingViolation = 32,
    LockViolation = 33,
    DiskRead = 100,
    DiskWrite = 101,
    NotDbase = 210,
    InvalidFieldType = 211,
    BeyondRange = 212,
    UnexpectedEof = 213,
    AlreadyInUse = 214,
    NoDatabase = 215,
    InsufficientMemory = 217,
    InvalidParameter = 220,
    IndexNotOpen = 221,
    CorruptedIndex = 222,
    IndexVersionMismatch = 223,
    ExclusiveRequired = 225,
    InsufficientDiskSpace = 227,
    MemoNotSupported = 229,
    WrongParserType = 254,
    IncorrectKeyLength = 266,
    ExpressionTooLong = 300,
    InvalidMemoAddress = 1003,
    DiskFull = 1004,
    MemoWriteError = 1005,
    MemoAlreadyOpen = 1007,
    MemoPackNoSpace = 1012,
    MemoLockFailed = 1017,
    MemoUnlockFailed = 1018,
    InvalidMemoOperation = 1019,
    InvalidOperation = 1103,
    RecordNotLocked = 1200,
    FileNotLocked = 1201,
    SemaphoreTimeout = 1202,
    FormatNotSupported = 1300,
};

constexpr int CodeValue(TErrorCode code) {
    return static_cast<int>(code);
}

class EZezudError : public std::runtime_error {
public:
    EZezudError(TErrorCode code, std::string context);
    int Code() const { return code_; }
    TErrorCode Error() const { return static_cast<TErrorCode>(code_); }
    const std::string& Context() const { return context_; }

private:
    int code_;
    std::string context_;
};

enum class TErrorMode { Report, Exception };

// The fixed description of an error code ("Undefined error" for unknown codes).
const char* ErrorDescription(int code);

// "Error # " + code + " (" + description + ")" + "\n" + context.
std::string ErrorReportText(int code, const std::string& context);

// Caption of the halt box.
inline constexpr const char* kHaltCaption = "Program halted.";

// Shown before the process ends in report mode: (caption, text).
using THaltHook = std::function<void(const std::string& caption, const std::string& text)>;
void SetHaltHook(THaltHook hook);

void SetErrorMode(TErrorMode mode);
TErrorMode ErrorMode();

int LastErrorCode();
const std::string& LastErrorContext();
void ClearLastError();

bool ReportingOn();
void SetReporting(bool on);

// Switches reporting off for its lifetime and restores the previous setting.
class TReportingOff {
public:
    TReportingOff();
    ~TReportingOff();
    TReportingOff(const TReportingOff&) = delete;
    TReportingOff& operator=(const TReportingOff&) = delete;

private:
    bool previous_;
};

// Records the failure and throws EZezudError. Engine internals use this;
// the public entry points decide what a failure means (see DispatchFailure).
[[noreturn]] void Fail(TErrorCode code, std::string context);

// Called at a public entry point with a failure that reached it: returns
// normally when reporting is off (the caller returns its failure value),
// rethrows in exception mode, and in report mode shows the halt box and
// ends the process with the error code.
void DispatchFailure(const EZezudError& error);

// Runs an engine operation and dispatches a failure; returns a value-initialised
// result (false, 0) when the failure was only recorded.
template <class F> std::invoke_result_t<F> Guarded(F&& body) {
    using R = std::invoke_result_t<F>;
    try {
        return body();
    } catch (const EZezudError& e) {
        DispatchFailure(e);
        if constexpr (!std::is_void_v<R>) return R{};
    }
}

// Non-fatal message boxes of the engine and the table component
// (lock failures, field-list corrections, "Could not create ...").
using TMessageHook = std::function<void(const std::string& text)>;
void SetMessageHook(TMessageHook hook);
void ShowEngineMessage(const std::string& text);

// The system error number of a failed file call mapped to the engine's codes.
enum class TIoKind { Open, Read, Write, Lock };
TErrorCode CodeFromErrno(int err, TIoKind kind);

} // namespace qm::table
