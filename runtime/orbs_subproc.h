// Child-process launcher of the runtime: starts a program without a shell,
// optionally inside a terminal window, and observes it by polling.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

class OrbsSubproc {
public:
    // Exit codes reported by getExitCode besides the program's own code.
    // A program killed by signal S reports 128 + S, the usual convention of
    // shells, so that every abnormal end is a non-zero code.
    static constexpr int kSignalBase = 128;
    // The program exists but could not be executed (permissions, format).
    static constexpr int kNotExecutable = 126;
    // The program could not be found when the terminal tried to start it.
    static constexpr int kNotFound = 127;
    // The terminal ended without the runner reporting the program's end:
    // the program's fate is unknown, which must not pass for success.
    static constexpr int kNoReport = 125;

    // Name of the helper that runs the program inside the terminal and
    // reports its end; it is installed next to the service executable.
    static constexpr const char* kRunnerName = "orbs_terminal_runner";

    OrbsSubproc();
    OrbsSubproc(const OrbsSubproc&) = delete;
    OrbsSubproc& operator=(const OrbsSubproc&) = delete;
    // An attached child still running is terminated and reaped; a detached
    // one keeps running on its own.
    virtual ~OrbsSubproc();

    // The three options apply to the next spawn.
    // Console: the child writes to the service's standard output and error;
    // without it both go to /dev/null.  Default: off.
    void setConsoleFlag(bool console);
    // Attached: the child shares the service's session, process group and
    // standard input and does not outlive the launcher.  Detached: the child
    // gets its own session, reads /dev/null, and survives the service.
    // Default: attached.
    void setAttachedFlag(bool attached);
    // Unescape: a command text given as a single element (the only element,
    // or the only one after the terminal's -e) is split into program and
    // arguments with splitCommandText.  Default: off.
    void setUnescapeFlag(bool unescape);

    // Starts argv[0] with the rest as arguments.  When argv[0] is an xterm
    // and holds -e, the command after -e is run through the terminal runner
    // so that its own exit code can be reported.  Returns the child's pid,
    // or 0 when nothing was started (the reason goes to the runtime log).
    int spawn(const std::vector<std::string>& argv);

    // Pid of the started child; 0 before spawn and once the child has ended,
    // has been reaped by monitor, and (terminal case) its report is in.
    int getPid() const;

    // Polls the child without blocking and records its end.  False when
    // nothing was started or the child cannot be observed any more (it was
    // reaped elsewhere).
    bool monitor();

    // The child's exit code once monitor has seen it end; 0 while it runs,
    // since no failure is known yet.
    int getExitCode() const;

    // Splits a command text into words: blanks (space, tab) separate words,
    // double quotes group text with blanks into one word ("" gives an empty
    // word), and a backslash escapes a double quote; any other backslash is
    // kept as it is, so Windows-like paths and regular expressions survive.
    // False, with `words` left empty, on an unterminated quote.
    static bool splitCommandText(const std::string& text, std::vector<std::string>& words);
    // The inverse for one word: the word between double quotes with each of
    // its double quotes escaped, so that splitting gives it back unchanged
    // and no value can ever become a second argument.  None for a word that
    // cannot be written so (checked by splitting the result).
    static std::optional<std::string> quoteWord(const std::string& word);

private:
    bool prepareArguments(const std::vector<std::string>& argv, std::vector<std::string>& finalArgv);
    void readRunnerReport();
    void discardStatusFile();
    void terminateAttachedChild();

    bool mConsole = false;
    bool mAttached = true;
    bool mUnescape = false;
    bool mChildAttached = false;  // the attached flag as it was at spawn

    pid_t mPid = 0;             // started child, 0 when none is being observed
    bool mChildReaped = false;  // waitpid has collected mPid
    int mExitCode = 0;

    // Terminal case: the runner's status file and what it reported.
    bool mThroughTerminal = false;
    std::string mStatusFile;
    pid_t mRunnerPid = 0;
    bool mRunnerReported = false;
};
