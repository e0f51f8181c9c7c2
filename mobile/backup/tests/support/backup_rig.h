#pragma once
// The backup flows against the emulated phone: the sample phone served
// in-process on a pseudo-terminal, a phone session (the real phone-link
// worker on the serial layer) that runs the flows' batches on this thread,
// and a FlowUi that records what the flows say. Shared by the end-to-end
// test and the benchmark.

#include "mobile/backup/core/backup_flows.h"
#include "mobile/shell/core/phone_session.h"
#include "support/sim_phone.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

namespace backuptest {

class PhoneRig final : public backup::FlowUi {
public:
    explicit PhoneRig(const std::string& tag, int lineRate = 0) : phone_(tag, lineRate)
    {
        if (!phone_.ok())
            return;
        home_ = (phone_.dir() / "pc").string() + "/";
        std::filesystem::create_directories(home_);
        ::setenv("TELVANE_HOME", home_.c_str(), 1);
        session_ = std::make_unique<shell::PhoneSession>();
        const auto failure = session_->connect();
        connected_ = !failure;
        if (failure)
            std::fprintf(stderr, "backup rig: no connection (%d %s)\n", int(failure->failure), failure->detail.c_str());
    }

    [[nodiscard]] bool ok() const { return connected_; }
    [[nodiscard]] linktest::SimPhone& phone() { return phone_; }
    [[nodiscard]] const std::string& home() const { return home_; }
    std::vector<backup::Notice> notices;

    int runBatch(shell::BatchPlan plan) override
    {
        return session_ ? session_->runBatch(std::move(plan)) : shell::kBatchCancel;
    }
    void message(const backup::Notice& n) override { notices.push_back(n); }
    bool ask(int) override { return true; }
    [[nodiscard]] bool phoneModeConnected() const override { return connected_ && session_->state().phoneMode; }

    // Waits until the phone has finished what the last batch started: an
    // upload's success comes before its closing AT*END, which commits the
    // file on the phone.
    void Settle()
    {
        shell::BatchPlan plan;
        plan.steps.push_back(
            shell::BatchStep::Request(REQ_COMMAND, shell::NewRequest(plat::CurrentThreadId(), "AT\r")));
        (void)runBatch(std::move(plan));
    }

    // Every file of the phone's file system: path below the state directory -> bytes.
    [[nodiscard]] std::map<std::string, std::string> Files() const
    {
        std::map<std::string, std::string> files;
        const auto root = phone_.state() / "app";
        for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
            if (!e.is_regular_file())
                continue;
            std::FILE* f = std::fopen(e.path().c_str(), "rb");
            std::string data;
            char buf[65536];
            for (size_t n; f && (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
                data.append(buf, n);
            if (f)
                std::fclose(f);
            files["/app/" + std::filesystem::relative(e.path(), root).string()] = data;
        }
        return files;
    }
    // Deletes every file of the phone, keeping its directories.
    void WipeFiles() const
    {
        std::vector<std::filesystem::path> doomed;
        for (const auto& e : std::filesystem::recursive_directory_iterator(phone_.state() / "app"))
            if (e.is_regular_file())
                doomed.push_back(e.path());
        for (const auto& p : doomed)
            std::filesystem::remove(p);
    }

private:
    linktest::SimPhone phone_;
    std::string home_;
    std::unique_ptr<shell::PhoneSession> session_;
    bool connected_ = false;
};

}  // namespace backuptest
