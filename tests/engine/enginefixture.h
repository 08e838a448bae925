#pragma once

// What the worker tests share: a fake service, a recording reporter, a temporary working
// folder and a request filled as a launcher fills it.

#include "fakeservice.h"
#include "recordingreporter.h"

#include <engine/localfiles.h>
#include <engine/operations/operation.h>
#include <engine/operations/operationrunner.h>

#include <platform/tempfile.h>

#include <gtest/gtest.h>
#include <tempfolder.h>

#include <filesystem>
#include <string>
#include <vector>

namespace enginetest {

inline constexpr const char *kUserId = "U1";

// Names table rows after their `name` field.
struct CaseName
{
    template<class Param> std::string operator()(const ::testing::TestParamInfo<Param> &p) const
    {
        return p.param.name;
    }
};
inline constexpr CaseName caseName{};

class EngineTest : public ::testing::Test
{
protected:
    engine::OperationRequest request(engine::OperationKind kind) const
    {
        engine::OperationRequest r;
        r.kind = kind;
        r.profile.name = "Local";
        r.profile.userId = kUserId;
        r.logonUserName = "alice";
        r.ipAddress = "10.0.0.7";
        r.serverPath = "Root";
        r.localFolder = work();
        return r;
    }

    static engine::SelectedFile selected(const std::string &name, std::uint64_t row)
    {
        engine::SelectedFile s;
        s.row = row;
        s.record.fileName = name;
        return s;
    }

    platform::ResultCode run(engine::Operation &op) { return engine::runOperation(op, service); }
    platform::ResultCode run(const engine::OperationRequest &r)
    {
        engine::Operation op(r, &reporter);
        return run(op);
    }

    std::filesystem::path work() const { return m_tmp.path() / "work"; }
    std::filesystem::path local(const std::string &name) const { return work() / name; }

    void writeLocal(const std::string &name, const std::string &content, bool readOnly = false)
    {
        std::filesystem::create_directories(local(name).parent_path());
        if (std::filesystem::exists(local(name)))
            (void)engine::setReadOnly(local(name), false);
        writeText(local(name), content);
        if (readOnly)
            (void)engine::setReadOnly(local(name), true);
    }

    // Temporary files of the engine left in the private temporary folder.
    static std::vector<std::filesystem::path> leftoverTempFiles()
    {
        std::vector<std::filesystem::path> out;
        std::error_code ec;
        for (const auto &e : std::filesystem::directory_iterator(platform::tempDirectory(), ec))
            if (e.path().filename().string().starts_with("Zem"))
                out.push_back(e.path());
        return out;
    }

    FakeService service;
    RecordingReporter reporter;

private:
    TempFolder m_tmp;
};

} // namespace enginetest
