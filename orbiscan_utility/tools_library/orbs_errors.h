// Error manager: the error catalogue, error and warning reports, the process
// trace and log, the progress (work) file and the closing routine.
#pragma once

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <vector>

#define ORBS_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))

// Codes raised by the driver and the core library.
constexpr int ORBS_EC_WORK_FILE_NOT_DELETED = 40000;
constexpr int ORBS_EC_FILE_NOT_OPENED = 40001;
constexpr int ORBS_EC_FILE_NOT_FOUND = 40002;
constexpr int ORBS_EC_COPY_FAILED = 40003;
constexpr int ORBS_EC_WRITE_FAILED = 40004;
constexpr int ORBS_EC_STOP_REQUESTED = 50000;
constexpr int ORBS_EC_NO_SUCH_COMMAND = 70003;
constexpr int ORBS_EC_ENVIRONMENT = 120000;
constexpr int ORBS_EC_UNEXPECTED_EXCEPTION = 140000;

// Catalogue of the error texts, loaded from "orbs_errors_catalog.des".
class CErrorCatalogue {
public:
    int32_t mPECNbr = 0;                            // 0: no catalogue
    std::vector<std::string> mPECName;              // token naming each PEC
    std::vector<std::string> mPECDes;               // primary descriptions
    std::vector<int32_t> mSECNbr;                   // secondary count per PEC
    std::vector<std::vector<std::string>> mSECDes;  // secondary descriptions
};

// Thrown by raiseError while exit mode is off (before the core set-up).
class CErrorExceptionManager : public std::exception {
public:
    CErrorExceptionManager(int code, const char* sourceFile, int line, const char* parameter);

    const char* what() const noexcept override { return mPrimaryDescription.c_str(); }

    std::string mActualStep;            // at most 1025 characters
    std::string mSourceFile;            // at most 1025
    std::string mSoftwareVersion;       // at most 1027
    int32_t mErrorLine = 0;
    int32_t mErrorCode = 0;
    int32_t mPrimaryErrorCode = 0;
    int32_t mSecondaryErrorCode = 0;
    std::string mPrimaryDescription;    // at most 1025
    std::string mSecondaryDescription;  // at most 1025
    std::string mErrorParameter;        // at most 1027

    // Writes the report block to the trace and to the log.  An empty title
    // gives the untitled "ERROR" block.
    void writeReport(const std::string& title) const;
};

namespace NORBS_ERRORS_CODE {

// Error state of objects that report failures to their caller.
class CNorvikErrorCode {
public:
    CNorvikErrorCode() = default;
    ~CNorvikErrorCode() { reset(); }
    CNorvikErrorCode(const CNorvikErrorCode&) = default;
    CNorvikErrorCode& operator=(const CNorvikErrorCode&) = default;

    void set(int code, const std::string& sourceName, const std::string& otherInfo, int line);
    void reset();

    int get_error_code() const { return mErrorCode; }
    const std::string& get_error_source_name() const { return mSourceName; }
    const std::string& get_error_other_info() const { return mOtherInfo; }
    int get_error_source_line() const { return mSourceLine; }

private:
    int32_t mErrorCode = 0;
    std::string mSourceName;
    std::string mOtherInfo;
    int32_t mSourceLine = 0;
};

}  // namespace NORBS_ERRORS_CODE

namespace NORBS_ERROR_MANAGER {

// Catalogue.
int loadErrorCatalogue(CErrorCatalogue& catalogue, const std::string& path, bool trim);
int getErrorMessage(const CErrorCatalogue* catalogue, int code, std::string& primary, std::string& secondary);
// The message text of the report files (the "_error", "_warning" and work files).
std::string getReportMessage(const CErrorCatalogue* catalogue, int code);

// Raising and reporting.  A null parameter text is "none".
[[noreturn]] void raiseError(int code, const char* sourceFile, int line, const char* parameter);
[[noreturn]] inline void raiseError(int code, const char* sourceFile, int line, const std::string& parameter) {
    raiseError(code, sourceFile, line, parameter.c_str());
}
void issueWarning(const char* sourceFile, int line, int code, const char* format, ...) ORBS_PRINTF(4, 5);
int writeWarningReport(const char* sourceFile, int line, int code, const char* text);
// The detail texts end the list (no terminating "none" needed).
void writeErrorReport(int code, const std::vector<const char*>& texts);
// The detail lines of an error report: at most three lines of 48 characters.
std::vector<std::string> formatErrorDetails(int code, const std::vector<const char*>& texts);
void generic_abort_handler(int code);

// Trace and log.
int traceInfo(const char* format, ...) ORBS_PRINTF(1, 2);
int traceDebug(const char* format, ...) ORBS_PRINTF(1, 2);
// Writes when the trace level is at least minLevel (the "VT]" lines use 15,
// the "VVT]" lines 20).
int traceAtLevel(int minLevel, const char* format, ...) ORBS_PRINTF(2, 3);
void traceToDebugFile(const char* format, ...) ORBS_PRINTF(1, 2);
int logPrint(const char* format, ...) ORBS_PRINTF(1, 2);
// Opens "Process.trace" in the working directory; sets the trace level to 10.
int fdfOpenOrbiscanTrace(bool append);
int fdfOpenOrbiscanLog();
// Path of the process trace last opened (kept after the streams are closed).
std::string fdfProcessTracePath();

// Progress file.
void setActualStep(const char* text);
int setProgressBar(int percent, const char* stepText, bool force, bool raiseOnStop);
// Forgets the last written percentage (a new run starts at -1).
void resetProgressBarState();

// Closing routine; returns only for code 0.
void closeProcess(int code, bool logFlag, bool successFlag, bool endFlag);

}  // namespace NORBS_ERROR_MANAGER
