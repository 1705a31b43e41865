// Shared pieces of the tape module tests: a prompter that scripts answers and keeps the
// texts, a sound player that records, and a scratch folder per test.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/prompter.h"
#include "core/sound.h"

namespace mira::devices::test {

class ScriptPrompter final : public core::Prompter {
public:
    void info(const std::string& t) override { messages.push_back(t); }
    void error(const std::string& t) override { messages.push_back(t); }
    bool askYesNo(const std::string& t) override {
        messages.push_back(t);
        return next() == core::Answer::Yes;
    }
    core::Answer askYesNoCancel(const std::string& t) override {
        messages.push_back(t);
        return next();
    }
    core::Answer next() {
        if (answers.empty()) return core::Answer::Yes;
        const core::Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::vector<std::string> messages;
    std::deque<core::Answer> answers;
};

class SoundLog final : public core::SoundPlayer {
public:
    void play(core::SoundId id) override { events.emplace_back("play", id); }
    void playLooping(core::SoundId id) override { events.emplace_back("loop", id); }
    void stop(core::SoundId id) override { events.emplace_back("stop", id); }
    bool audible() const override { return heard; }
    bool heard = true;
    bool has(const char* what, core::SoundId id) const {
        for (const auto& e : events)
            if (e.first == what && e.second == id) return true;
        return false;
    }
    std::vector<std::pair<std::string, core::SoundId>> events;
};

class ScratchDir {
public:
    ScratchDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                (std::string("mira8_") + info->test_suite_name() + "_" + info->name() + "_" +
                 std::to_string(serial()++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() { std::filesystem::remove_all(path_); }
    std::filesystem::path file(const std::string& name) const { return path_ / name; }

private:
    static int& serial() {
        static int n = 0;
        return n;
    }
    std::filesystem::path path_;
};

}  // namespace mira::devices::test
