#pragma once

// A reporter that writes down everything a run reports, for the worker tests.

#include <engine/operations/logentry.h>
#include <engine/operations/progressreporter.h>

#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace enginetest {

class RecordingReporter final : public engine::ProgressReporter
{
public:
    void itemText(std::string_view text) override { events.push_back("item " + std::string(text)); }
    void statusText(int id) override { events.push_back("status " + std::to_string(id)); }
    void subTotal(std::int64_t t) override { events.push_back("subtotal " + std::to_string(t)); }
    void subPosition(std::int64_t p) override { events.push_back("subpos " + std::to_string(p)); }
    void total(std::int64_t c) override { events.push_back("total " + std::to_string(c)); }
    void step(std::int64_t c) override
    {
        events.push_back("step " + std::to_string(c));
        steps += c;
    }
    void statusLiteral(std::string_view text) override
    {
        events.push_back("literal " + std::string(text));
    }
    void bytes(std::int64_t done, std::int64_t total) override
    {
        bytesReports.emplace_back(done, total);
    }
    void log(const engine::LogEntry &entry) override
    {
        entries.push_back(entry);
        events.push_back("log " + line(entry));
    }
    void recordChanged(const engine::RecordChange &change) override { changes.push_back(change); }
    engine::UnchangedCopy unchangedCopy(std::string_view localPath) override
    {
        questions.emplace_back(localPath);
        if (onQuestion)
            onQuestion();
        return answer;
    }

    // "F 2043 /tmp/x|reason": kind letter, message number, arguments joined by "|".
    static std::string line(const engine::LogEntry &entry)
    {
        const char kind = entry.kind == engine::LogKind::Success   ? 'S'
                          : entry.kind == engine::LogKind::Warning ? 'W'
                                                                   : 'F';
        std::string text = std::string(1, kind) + " " + std::to_string(entry.messageId);
        for (std::size_t i = 0; i < entry.arguments.size(); ++i)
            text += (i == 0 ? " " : "|") + entry.arguments[i].toString();
        return text;
    }
    std::vector<std::string> lines() const
    {
        std::vector<std::string> out;
        for (const auto &e : entries)
            out.push_back(line(e));
        return out;
    }
    int count(engine::LogKind kind) const
    {
        int n = 0;
        for (const auto &e : entries)
            n += e.kind == kind ? 1 : 0;
        return n;
    }
    int cancelLines() const
    {
        int n = 0;
        for (const auto &e : entries)
            n += e.messageId == engine::kErrorTextMessage && e.code == platform::kCancelled ? 1 : 0;
        return n;
    }

    std::vector<std::string> events;
    std::vector<engine::LogEntry> entries;
    std::vector<engine::RecordChange> changes;
    std::vector<std::pair<std::int64_t, std::int64_t>> bytesReports;
    std::int64_t steps = 0;
    // The unchanged-copy questions asked (their local paths), and what they are answered.
    std::vector<std::string> questions;
    engine::UnchangedCopy answer = engine::UnchangedCopy::CheckIn;
    std::function<void()> onQuestion;
};

} // namespace enginetest
