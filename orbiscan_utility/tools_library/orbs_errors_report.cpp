// Raising errors, the error and warning reports.
#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "orbs_core_generic_utility.h"
#include "orbs_core_time_man_utility.h"
#include "orbs_errors.h"
#include "orbs_utility_global_vars.h"

namespace {

constexpr std::size_t kDetailWidth = 48;   // CORBS_MAX_LEN_IN_ERROR
constexpr std::size_t kDetailLines = 3;    // CORBS_MAX_LINE_IN_ERROR
constexpr std::size_t kWarningWidth = 80;
constexpr std::size_t kWarningTotal = 240;
const std::string kBlankLine(66, ' ');

std::string cut(const std::string& text, std::size_t capacity) { return text.substr(0, capacity - 1); }

// A missing parameter prints as glibc prints a null "%s".
const char* orNull(const char* text) { return text ? text : "(null)"; }

// Breaks a text into lines of `width` characters, a break being made only
// when more than 5 characters remain; at most `budget` characters are kept.
std::vector<std::string> wrapText(const std::string& text, std::size_t width, std::size_t budget) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size() && budget > 0) {
        std::size_t take = text.size() - pos;
        if (take > width && take - width > 5) take = width;
        take = std::min(take, budget);
        lines.push_back(text.substr(pos, take));
        pos += take;
        budget -= take;
    }
    return lines;
}

// One line of the report block: a label of `width` characters and a value.
std::string label(const char* name, std::size_t width) {
    std::string text = std::string("* ") + name;
    text.resize(width - 2, ' ');
    return text + ": ";
}

void writeBlock(std::ostream& out, bool isLog, const CErrorExceptionManager& e, const std::string& title) {
    const std::size_t wide = 27;
    const std::size_t narrow = isLog ? 26 : 27;
    if (!title.empty())
        out << "\n\n************* " << title << "\n\n";
    else
        out << (isLog ? "\n\n************* ERROR  \n\n" : "\n\n************* ERROR \n\n");
    out << label("Software version", wide) << e.mSoftwareVersion << "\n";
    out << label("Actual step", narrow) << e.mActualStep << "\n";
    out << label("Source File", narrow) << e.mSourceFile << "\n";
    out << label("Error Line", wide) << e.mErrorLine << "\n";
    out << label("Error Code", wide) << e.mErrorCode << "\n";
    out << label("Primary Error Code", wide) << e.mPrimaryErrorCode << "\n";
    out << label("Primary Error Des", wide) << e.mPrimaryDescription << "\n";
    out << label("Secondary Error Code", wide) << e.mSecondaryErrorCode << "\n";
    out << label("Secondary Error Des", wide) << e.mSecondaryDescription << "\n";
    out << label("Error Parameter", wide) << e.mErrorParameter << "\n";
    out << "\n" << std::string(148, '*') << "\n\n";
    out.flush();
}

}  // namespace

CErrorExceptionManager::CErrorExceptionManager(int code, const char* sourceFile, int line, const char* parameter)
    : mActualStep(cut(NorvikCore::get_actual_step(), 1026)),
      mSourceFile(cut(sourceFile ? sourceFile : "", 1026)),
      mSoftwareVersion(cut(NorvikCore::get_software_version(), 1028)),
      mErrorLine(line),
      mErrorCode(code),
      mPrimaryErrorCode(code / 10000),
      mSecondaryErrorCode(code % 10000 - 1),
      mErrorParameter(cut(parameter ? parameter : "", 1028)) {
    NORBS_ERROR_MANAGER::getErrorMessage(NorvikCore::get_error_manager_ptr(), code, mPrimaryDescription,
                                         mSecondaryDescription);
    mPrimaryDescription = cut(mPrimaryDescription, 1026);
    mSecondaryDescription = cut(mSecondaryDescription, 1026);
}

void CErrorExceptionManager::writeReport(const std::string& title) const {
    if (!environmentExists()) return;
    if (NorvikCore::get_trace_level() >= 1) writeBlock(NorvikCore::get_process_trace_stream(), false, *this, title);
    std::ofstream& log = NorvikCore::get_process_log_stream();
    if (log.good()) writeBlock(log, true, *this, title);
}

namespace NORBS_ERROR_MANAGER {

void generic_abort_handler(int /*code*/) {}

std::vector<std::string> formatErrorDetails(int code, const std::vector<const char*>& texts) {
    std::vector<std::string> lines;
    std::size_t total = 0;
    const std::size_t maxTotal = kDetailWidth * kDetailLines;
    for (const char* raw : texts) {
        if (raw == nullptr || lines.size() >= kDetailLines) break;
        std::string text = raw;
        if (code >= 40000 && code <= 40006 && text.size() >= 4 && text.compare(text.size() - 4, 4, "_hdr") == 0)
            text.replace(text.size() - 4, 4, ".sml");
        if (NorvikCore::get_trace_level() >= 10) {
            traceDebug("(aTotLen + aLen) [%zu]\n", total + text.size());
            traceDebug("(CORBS_MAX_LEN_IN_ERROR * CORBS_MAX_LINE_IN_ERROR) [%zu]\n", maxTotal);
        }
        // An empty text is a line of its own, like any text shorter than a line.
        std::vector<std::string> pieces = wrapText(text, kDetailWidth, maxTotal - total);
        if (text.empty()) pieces.emplace_back();
        for (std::string& line : pieces) {
            if (lines.size() >= kDetailLines) break;
            total += line.size();
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

void writeErrorReport(int code, const std::vector<const char*>& texts) {
    if (NorvikCore::AbortHandler handler = NorvikCore::get_abort_handler()) handler(code);

    const std::string workFile = NorvikCore::get_work_file();
    const std::string message =
        getReportMessage(NorvikCore::get_error_manager_ptr(), code) + " [EC : " + std::to_string(code) + "]";
    const std::vector<std::string> details = formatErrorDetails(code, texts);

    std::string detailText;
    for (const std::string& line : details) detailText += line + "\n";
    detailText += kBlankLine + "\n" + kBlankLine + "\n";
    auto echoTexts = [&texts] {
        for (const char* text : texts)
            if (text) std::cerr << text << "\n";
    };

    // Without a work file (the set-up failed before choosing one) nothing
    // is written beside it: the report goes to the standard error only.
    if (workFile.empty()) {
        std::cerr << message << "\n" << detailText;
        return;
    }

    // A report that cannot be written (a full file system) is still seen
    // on the standard error, with the reason.
    bool reported = false;
    auto tellUnwritten = [&message, &reported](const std::string& path, int error) {
        if (!reported) std::cerr << message << "\n";
        reported = true;
        std::cerr << "The error report cannot be written to " << fdfWriteFailure(path, error) << "\n";
    };

    if (const int error = fdfWriteWholeFile(workFile + "_error", "-1\n" + message + "\n" + detailText))
        tellUnwritten(workFile + "_error", error);

    // A work file that cannot be opened may be held by its reader for a
    // moment; a directory or a device in its place will not change.
    for (int attempt = 0; attempt < 10 && !fdfRegularFileRefusal(workFile); ++attempt) {
        std::ifstream work(workFile);
        if (!work) {
            fdfPauseSeconds(attempt);
            continue;
        }
        std::string first, lastStep;
        std::getline(work, first);
        std::getline(work, lastStep);
        work.close();
        echoTexts();
        const std::string report =
            std::string(code == 10000 ? "-2" : "-1") + "\n" + lastStep + "\n" + message + "\n" + detailText;
        if (const int error = fdfWriteWholeFile(workFile, report)) tellUnwritten(workFile, error);
        return;
    }
    echoTexts();
    if (const int error = fdfWriteWholeFile(workFile + "_tmp", message + "\n" + detailText))
        tellUnwritten(workFile + "_tmp", error);
}

void raiseError(int code, const char* sourceFile, int line, const char* parameter) {
    NorvikCore::ensureInitialised();

    if (!NorvikCore::get_is_exit_enable_flag()) {
        CErrorExceptionManager exception(code, sourceFile, line, parameter);
        exception.writeReport("");
        throw exception;
    }

    std::string primary, secondary;
    getErrorMessage(NorvikCore::get_error_manager_ptr(), code, primary, secondary);
    if (!environmentExists()) std::exit(code);

    const std::string step = NorvikCore::get_actual_step();
    const std::string version = NorvikCore::get_software_version();
    if (code != 0) {
        fdfErrorReportPause();
        writeErrorReport(code, {parameter});
    } else {
        std::remove(NorvikCore::get_work_file().c_str());
    }
    traceInfo("\nERROR : %s [%s] (%s) \n %s   %s\n    FILE=%s   LINE=%d  (errno = %d)", primary.c_str(),
              secondary.c_str(), orNull(parameter), step.c_str(), version.c_str(), orNull(sourceFile), line, errno);
    if (code != 0)
        logPrint("\n\n-%s   %s\n\nERROR : [ERROR ID : %d]\n  %s [%s]\n  %s \n\n", step.c_str(), version.c_str(), code,
                 primary.c_str(), secondary.c_str(), parameter ? parameter : "");
    else
        logPrint("\n\nSUCCESSFUL\n\n\n");
    closeProcess(code, true, true, true);
    destroyEnvironmentTable();
    std::exit(code);
}

void issueWarning(const char* sourceFile, int line, int code, const char* format, ...) {
    const int savedErrno = errno;
    va_list args;
    va_start(args, format);
    char probe = 0;
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(&probe, 1, format, copy);
    va_end(copy);
    std::string text(needed > 0 ? static_cast<std::size_t>(needed) + 1 : 1, '\0');
    if (needed > 0) std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    text.resize(needed > 0 ? static_cast<std::size_t>(needed) : 0);

    writeWarningReport(sourceFile, line, code, text.c_str());
    std::string primary, secondary;
    getErrorMessage(NorvikCore::get_error_manager_ptr(), code, primary, secondary);
    const std::string step = NorvikCore::get_actual_step();
    const std::string version = NorvikCore::get_software_version();
    traceDebug("\nWARNING : [%s] (%s) \n %s   %s\n    FILE=%s   LINE=%d  (errno = %d)", secondary.c_str(),
               text.c_str(), step.c_str(), version.c_str(), orNull(sourceFile), line, savedErrno);
    logPrint("\nWARNING : [ERROR ID : %d] [%s] (%s) \n %s   %s\n    FILE=%s   LINE=%d  (errno = %d)", code,
             secondary.c_str(), text.c_str(), step.c_str(), version.c_str(), orNull(sourceFile), line, savedErrno);
}

int writeWarningReport(const char* sourceFile, int line, int code, const char* text) {
    const std::string source = sourceFile ? sourceFile : "";
    const std::string argument = text ? text : "";
    const std::string message = getReportMessage(NorvikCore::get_error_manager_ptr(), code);
    const std::string step = NorvikCore::get_actual_step();

    // A long text is cut at 240 characters and broken every 80.
    std::string wrapped = argument;
    if (argument.size() > kWarningWidth) {
        wrapped.clear();
        for (const std::string& part : wrapText(argument, kWarningWidth, kWarningTotal))
            wrapped += (wrapped.empty() ? "" : "\n") + part;
    }
    const std::string where = " [SOURCE : " + source + "] [LINE : " + std::to_string(line) + "]";
    const std::string codeLine = " [EC : " + std::to_string(code) + "] [" + message + "]";

    CTimeValue now;
    now.setNow();
    const std::string block = "\n********* " + now.formatIsoDashes(false) + std::string(97, '*') + "\nWARNING : " +
                              step + "\n" + where + "\n" + codeLine + "\n [" + wrapped + "]\n" + kBlankLine +
                              "\nPlease see the log file for more details ! \n";
    const std::string warningFile = NorvikCore::get_work_file() + "_warning";
    if (const int error = fdfWriteWholeFile(warningFile, block, true))
        std::cerr << "WARNING " << code << " cannot be written to " << fdfWriteFailure(warningFile, error) << "\n";

    const std::string fileLine = " [FILE : " + source + "] [LINE : " + std::to_string(line) + "]";
    logPrint("WARNING : \n%s\n%s\n [%s]\n%s\n", fileLine.c_str(), codeLine.c_str(), argument.c_str(),
             kBlankLine.c_str());
    if (NorvikCore::get_trace_level() >= 10) {
        traceDebug("WARNING : \n%s\n%s\n [theArg : %s]\n", fileLine.c_str(), codeLine.c_str(), argument.c_str());
        traceDebug("aStr [%s]\n%s\n", argument.c_str(), kBlankLine.c_str());
    }
    return 1;
}

}  // namespace NORBS_ERROR_MANAGER
