#include "clisession.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace cli {

std::string oneLine(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += "  ";
        } else {
            out += c;
        }
    }
    return out;
}

std::string formatRate(double bytesPerSecond)
{
    static constexpr const char *kUnits[] = {"B/s", "KB/s", "MB/s", "GB/s"};
    std::size_t unit = 0;
    while (bytesPerSecond >= 1000.0 && unit + 1 < std::size(kUnits)) {
        bytesPerSecond /= 1000.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, bytesPerSecond < 10.0 && unit > 0 ? "%.1f %s" : "%.0f %s",
                  bytesPerSecond, kUnits[unit]);
    return text;
}

std::string formatDuration(std::int64_t seconds)
{
    seconds = std::max<std::int64_t>(seconds, 0);
    char text[32];
    if (seconds >= 3600)
        std::snprintf(
            text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
            static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    return text;
}

bool isUnreachable(platform::ResultCode rc)
{
    if (!platform::failed(rc) || (static_cast<std::uint32_t>(rc) & 0xFFFF0000u) != 0x80070000u)
        return false;
    const std::uint32_t error = platform::win32Error(rc);
    return error >= platform::err::InternetFirst && error <= platform::err::InternetLast;
}

Console::Console(std::FILE *out, std::FILE *err, bool showProgress)
    : m_out(out)
    , m_err(err)
    , m_showProgress(showProgress)
{
}

void Console::line(std::string_view text)
{
    clearProgress();
    const std::string flat = oneLine(text);
    std::fwrite(flat.data(), 1, flat.size(), m_out);
    std::fputc('\n', m_out);
    // Each outcome is visible at once, also through a pipe: a script watching a long get
    // sees the files as they arrive.
    std::fflush(m_out);
}

void Console::raw(std::string_view bytes)
{
    clearProgress();
    std::fwrite(bytes.data(), 1, bytes.size(), m_out);
    std::fflush(m_out);
}

void Console::problem(std::string_view text)
{
    clearProgress();
    std::fprintf(m_err, "ravelind-cli: %s\n", oneLine(text).c_str());
    std::fflush(m_err);
}

void Console::progress(std::string_view item, std::int64_t done, std::int64_t total)
{
    if (!m_showProgress)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (item != m_item) {
        m_item = std::string(item);
        m_itemStart = now;
    } else if (now - m_lastDraw < std::chrono::milliseconds(100) && done < total) {
        return; // a terminal redrawn more often than ten times a second only flickers
    }
    m_lastDraw = now;
    std::string text = oneLine(item);
    if (total > 0) {
        const double seconds = std::chrono::duration<double>(now - m_itemStart).count();
        const double rate = seconds > 0.05 ? static_cast<double>(done) / seconds : 0.0;
        char figures[64];
        std::snprintf(figures, sizeof figures, "  %lld/%lld bytes", static_cast<long long>(done),
                      static_cast<long long>(total));
        text += figures;
        if (rate > 0.0) {
            text += "  " + formatRate(rate);
            const auto left = static_cast<std::int64_t>(
                std::ceil(static_cast<double>(std::max<std::int64_t>(total - done, 0)) / rate));
            text += "  " + formatDuration(left) + " left";
        }
    }
    // "\r" and erase-to-end-of-line: one line that is rewritten in place.
    std::fprintf(m_err, "\r%s\033[K", text.c_str());
    std::fflush(m_err);
    m_progressShown = true;
}

void Console::clearProgress()
{
    if (!m_progressShown)
        return;
    std::fputs("\r\033[K", m_err);
    std::fflush(m_err);
    m_progressShown = false;
}

Session::Session(const engine::StringTable &strings, protocol::Service &service,
                 protocol::ServerProfile profile, platform::MachineIdentity machine,
                 Console &console)
    : m_strings(strings)
    , m_service(service)
    , m_profile(std::move(profile))
    , m_machine(std::move(machine))
    , m_console(console)
{
}

void Session::say(int id, std::initializer_list<std::string> args)
{
    m_console.line(m_strings.format(id, args));
}

void Session::sayFailed(int id, std::initializer_list<std::string> args, platform::ResultCode rc)
{
    say(id, args);
    noteFailure(rc);
}

void Session::noteFailure(platform::ResultCode rc)
{
    const int status = isUnreachable(rc) ? kExitTrouble : kExitFailed;
    m_exit = std::max(m_exit, status);
}

std::string Session::reason(const protocol::CallResult &result) const
{
    if (!result.errorText.empty())
        return result.errorText;
    return reason(result.code);
}

std::string Session::reason(platform::ResultCode rc) const
{
    return engine::errorText(m_strings, rc);
}

} // namespace cli
