#pragma once

// What one run of ravelind-cli works with: the console it writes to, the string table its
// lines come from, the service and the profile, and the exit status so far.

#include "cliarguments.h"

#include <engine/stringtable.h>
#include <platform/machineidentity.h>
#include <platform/resultcode.h>
#include <protocol/callresult.h>
#include <protocol/records.h>
#include <protocol/service.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace cli {

enum ExitStatus : int {
    kExitOk = 0,
    kExitFailed = 1,  // an item failed or was refused
    kExitTrouble = 2, // usage error, or the server cannot be reached
};

// Outcome lines and listings go to standard output, one line each; progress goes to standard
// error, and only when that is a terminal (scripts reading both streams never see it).
class Console
{
public:
    Console(std::FILE *out, std::FILE *err, bool showProgress);

    // One outcome line; line breaks inside become two blanks, so a line is always a line.
    void line(std::string_view text);
    // Bytes as they are (a diff), on standard output.
    void raw(std::string_view bytes);
    // "ravelind-cli: text" on standard error.
    void problem(std::string_view text);

    bool showsProgress() const { return m_showProgress; }
    // Rewrites the progress line (item, bytes, speed, time left). Does nothing unless shown.
    void progress(std::string_view item, std::int64_t done, std::int64_t total);
    // Clears the progress line, so the next outcome line starts clean.
    void clearProgress();

private:
    std::FILE *m_out;
    std::FILE *m_err;
    bool m_showProgress;
    bool m_progressShown = false;
    std::string m_item;
    std::chrono::steady_clock::time_point m_itemStart;
    std::chrono::steady_clock::time_point m_lastDraw;
};

// A text as one line: "\r\n", "\n" and "\r" become two blanks, as in the window's log lines.
std::string oneLine(std::string_view text);

// "1.5 MB/s", "12 KB/s" and the like, for the progress line.
std::string formatRate(double bytesPerSecond);
// "0:07", "1:02:03".
std::string formatDuration(std::int64_t seconds);

// True for a failure that means the server was not reached at all (name, connection,
// time-out, TLS, proxy): the internet range of result codes.
bool isUnreachable(platform::ResultCode rc);

class Session
{
public:
    Session(const engine::StringTable &strings, protocol::Service &service,
            protocol::ServerProfile profile, platform::MachineIdentity machine, Console &console);

    const engine::StringTable &strings() const { return m_strings; }
    protocol::Service &service() { return m_service; }
    const protocol::ServerProfile &profile() const { return m_profile; }
    const std::string &userId() const { return m_profile.userId; }
    const platform::MachineIdentity &machine() const { return m_machine; }
    Console &console() { return m_console; }

    // Prints a formatted table string as one outcome line.
    void say(int id, std::initializer_list<std::string> args);
    // The same, and the run has failed (exit 1, or 2 when `rc` says the server is out of
    // reach).
    void sayFailed(int id, std::initializer_list<std::string> args,
                   platform::ResultCode rc = platform::kUnspecifiedFailure);
    // Records a failure without a line of its own (the line came from elsewhere).
    void noteFailure(platform::ResultCode rc);
    void noteTrouble() { m_exit = kExitTrouble; }

    // What the window shows for a failed call: the service's text, else the code's text.
    std::string reason(const protocol::CallResult &result) const;
    std::string reason(platform::ResultCode rc) const;

    int exitStatus() const { return m_exit; }

private:
    const engine::StringTable &m_strings;
    protocol::Service &m_service;
    protocol::ServerProfile m_profile;
    platform::MachineIdentity m_machine;
    Console &m_console;
    int m_exit = kExitOk;
};

// Runs a parsed command. Blocks until it is done; returns the exit status.
int runCommand(const Invocation &invocation, Session &session);

} // namespace cli
